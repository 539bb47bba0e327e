// A FILE's name as quadsolve-batch's line on standard error shows it.
#include "solver/shown_name.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string shown(const std::string& name, std::uint32_t capacity = 64) {
  std::string text(capacity, '#');
  text.resize(showName(name.c_str(), text.data(), capacity));
  return text;
}

TEST(ShownName, PrintableAsItIsElseQuotedAsAShellReadsIt) {
  const struct {
    std::string name;
    std::string shown;
  } cases[] = {
      {"a b/c.txt", "a b/c.txt"},
      {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"},
      {"", "''"},
      {"no\nsuch", "'no'$'\\n''such'"},
      {"\a\b\t\v\f\r\x7f", "''$'\\a\\b\\t\\v\\f\\r\\177'"},
      {"it's\x01", "'it'\\''s'$'\\001'"},
      {"'\n", "''\\'$'\\n'"},
      {"c1\xc2\x9b", "'c1'$'\\302\\233'"},                  // a C1 control
      {"x\xc0\xaf", "'x'$'\\300\\257'"},                    // an overlong form
      {"x\xed\xa0\x80", "'x'$'\\355\\240\\200'"},           // a surrogate
      {"x\xf4\x90\x80\x80", "'x'$'\\364\\220\\200\\200'"},  // beyond U+10FFFF
      {"x\xe2\x82", "'x'$'\\342\\202'"},                    // cut short
  };
  for (const auto& c : cases) EXPECT_EQ(shown(c.name), c.shown) << c.name;
}

TEST(ShownName, TooLongKeepsItsFirstAndLastCharactersWhole) {
  EXPECT_EQ(shown(std::string(40, 'a') + std::string(40, 'b'), 23), "aaaaaaaaaa...bbbbbbbbbb");
  // Neither part ends inside a character or a quoted run.
  EXPECT_EQ(shown("\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9", 9), "\xc3\xa9...\xc3\xa9\xc3\xa9");
  EXPECT_EQ(shown("\n" + std::string(30, 'x') + "\n", 24), "''$'\\n''xx'...'xx'$'\\n'");
}

}  // namespace
