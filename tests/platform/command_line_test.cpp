// The Windows command line split as Windows programs split theirs.
#include "platform/command_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

// The arguments, each pattern among them written as "glob:" and its text.
std::vector<std::string> split(std::string line, std::int32_t capacity = 64) {
  std::vector<char*> arguments(static_cast<std::size_t>(capacity), nullptr);
  std::vector<char> patterns(static_cast<std::size_t>(capacity), 2);
  line.push_back('\0');
  const std::int32_t count = platform::splitCommandLine(line.data(), arguments.data(), capacity,
                                                        reinterpret_cast<bool*>(patterns.data()));
  std::vector<std::string> result;
  const std::int32_t kept = count < capacity - 1 ? count : capacity - 1;
  for (std::int32_t index = 0; index < kept; ++index) {
    EXPECT_LT(patterns[static_cast<std::size_t>(index)], 2);
    result.emplace_back(patterns[static_cast<std::size_t>(index)] != 0 ? "glob:" : "");
    result.back() += arguments[index];
  }
  EXPECT_EQ(arguments[static_cast<std::size_t>(kept)], nullptr);
  if (count > kept) {
    result.emplace_back(1, '+');
    result.back() += std::to_string(count - kept);
  }
  return result;
}

using Arguments = std::vector<std::string>;

TEST(CommandLine, SplitsAsWindowsProgramsDo) {
  const struct {
    const char* line;
    Arguments arguments;
  } cases[] = {
      {"", {""}},
      {"prog", {"prog"}},
      {"prog a b", {"prog", "a", "b"}},
      {"prog  \t a\t\tb  ", {"prog", "a", "b"}},
      {R"("C:\Program Files\q.exe" x)", {R"(C:\Program Files\q.exe)", "x"}},
      {R"(C:\dir\"q".exe x)", {R"(C:\dir\q.exe)", "x"}},
      {R"(prog "a b" c)", {"prog", "a b", "c"}},
      {R"(prog a"b c"d)", {"prog", "ab cd"}},
      {R"(prog "" x)", {"prog", "", "x"}},
      {R"(prog "")", {"prog", ""}},
      {R"(prog \"a)", {"prog", R"("a)"}},
      {R"(prog \\"a b")", {"prog", R"(\a b)"}},
      {R"(prog \\\"a)", {"prog", R"(\"a)"}},
      {R"(prog \\\\"a")", {"prog", R"(\\a)"}},
      {R"(prog a\\b c\d\)", {"prog", R"(a\\b)", R"(c\d\)"}},
      {R"(prog "a\\" b)", {"prog", R"(a\)", "b"}},
      {R"(prog "a""b" c)", {"prog", R"(a"b)", "c"}},
      {R"(prog "a"" b")", {"prog", R"(a" b)"}},
      {R"(prog "unended b)", {"prog", "unended b"}},
      {"prog caf\xc3\xa9 \"\xe2\x82\xac x\"", {"prog", "caf\xc3\xa9", "\xe2\x82\xac x"}},
      {R"(*q?.exe *.txt "*.txt" a"*"b a?"b c" /? \"*)",
       {"*q?.exe", "glob:*.txt", "*.txt", "a*b", "glob:a?b c", "glob:/?", R"(glob:"*)"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(split(c.line), c.arguments);
  }
}

TEST(CommandLine, KeepsWhatFitsAndCountsTheRest) {
  EXPECT_EQ(split("prog a b c d", 3), (Arguments{"prog", "a", "+3"}));
  EXPECT_EQ(split("prog a", 1), (Arguments{"+2"}));
}

// A pattern's matches in order, ties and all, from any order they came in.
TEST(CommandLine, SortsInPlace) {
  std::mt19937 random(35);
  for (const std::uint32_t count : {0u, 1u, 2u, 3u, 8u, 1000u}) {
    std::vector<std::uint32_t> items(count);
    for (std::uint32_t& item : items) item = random() % (count / 2 + 1);
    std::vector<std::uint32_t> sorted = items;
    std::sort(sorted.begin(), sorted.end());
    platform::sortInPlace(items.data(), count,
                          [](std::uint32_t a, std::uint32_t b) { return a < b; });
    EXPECT_EQ(items, sorted) << count;
  }
}

}  // namespace
