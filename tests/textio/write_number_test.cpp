// The number writers through a real stream: ConsoleOut bound on first use to
// a standard output redirected to a file. Covers the field beyond the 255
// characters of a counted text, narrow and negative widths, the chaining of
// one statement, and the spaces that stop once an error is pending while the
// text is still written.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>

#include "extended/extended.h"
#include "tests/textio/text_stream_fixture.h"
#include "textio/number_conversions.h"
#include "textio/text_stream.h"

namespace {

constexpr std::int32_t int32Min = std::numeric_limits<std::int32_t>::min();

class NumberWriters : public stream_testing::TextStreamTest {
 protected:
  // What `writes` put on standard output once ConsoleOut is closed.
  std::string written(const std::function<void()>& writes) {
    testing_support::Descriptor file = testing_support::temporaryFile();
    standard.redirect(1, file.get());
    writes();
    closeStream(ConsoleOut);
    return testing_support::fileContents(file.get());
  }
  // The same with a buffer of 1 KiB, as quadsolve-batch gives standard output:
  // a text is built in the buffer itself while the buffer has room for any
  // text, and through a counted text once it has not.
  std::string writtenThroughLargeBuffer(const std::function<void()>& writes) {
    static std::uint8_t block[1024];
    return written([&] {
      writeBytes(ConsoleOut, block, 0);
      ConsoleOut.bufPtr = block;
      ConsoleOut.bufSize = sizeof block;
      writes();
    });
  }
};

std::string spaces(std::size_t count) {
  return std::string(count, ' ');
}

Extended real(double value) {
  return extended::fromDouble(value);
}

TEST_F(NumberWriters, ResultLineOfTheSolver) {
  EXPECT_EQ(written([] {
              writeInteger(ConsoleOut, 2);
              writeChar(ConsoleOut, ' ');
              writeReal(ConsoleOut, real(1.0), 0, 2);
              writeChar(ConsoleOut, ' ');
              writeReal(ConsoleOut, real(-0.001), 0, 2);
              writeChar(ConsoleOut, ' ');
              writeReal(ConsoleOut, real(std::ldexp(1.0, 120)), 0, 2);
            }),
            "2 1.00 -0.00  1.3E+0036");
  EXPECT_EQ(pendingIoError, 0u);
}

TEST_F(NumberWriters, FieldRule) {
  const auto writes = [] {
    writeInteger(ConsoleOut, 7, 300);
    writeReal(ConsoleOut, real(1.5), 300, 2);
    writeReal(ConsoleOut, real(-2.0), 1000, -1);  // 18 digits: the width capped at 255
    writeReal(ConsoleOut, extended::negativeInfinity, 256, 2);
    CountedText text;
    intToText(-5, 0, text);
    writePadded(ConsoleOut, text, 2);
    writeInteger(ConsoleOut, 12345, 3);
    writeInteger(ConsoleOut, 7, -4);
    writeInteger(ConsoleOut, int32Min, int32Min);
    writeReal(ConsoleOut, real(3.0), int32Min, -1);
    writeInteger(ConsoleOut, 42, 5);
    writeReal(ConsoleOut, real(-0.125), 200, 2);
  };
  const std::string expected = spaces(299) + "7" + spaces(296) + "1.50" + spaces(974) +
                               "-2.00000000000000000E+0000" + spaces(252) + "-Inf" + "-5" +
                               "12345" + "7" + "-2147483648" + " 3.0E+0000" + "   42" +
                               spaces(195) + "-0.13";
  EXPECT_EQ(written(writes), expected);
  EXPECT_EQ(writtenThroughLargeBuffer(writes), expected);
  EXPECT_EQ(writtenThroughLargeBuffer([&] {
              for (int line = 0; line < 100; ++line) writes();
            }),
            [&] {
              std::string lines;
              for (int line = 0; line < 100; ++line) lines += expected;
              return lines;
            }());
}

TEST_F(NumberWriters, SpacesStopOnAPendingErrorButTheTextIsWritten) {
  EXPECT_EQ(written([] {
              setPendingIoError(99);
              // 145 spaces beyond the 255 of the text: one run of 64, then the
              // text, which carries its own 251 spaces.
              writeReal(ConsoleOut, real(1.5), 400, 2);
              writeInteger(ConsoleOut, -7, 100);  // one run of 64 of the 98, then "-7"
              writeInteger(ConsoleOut, 8, 64);    // 63 spaces: a single run, no test
            }),
            spaces(64) + spaces(251) + "1.50" + spaces(64) + "-7" + spaces(63) + "8");
  EXPECT_EQ(pendingIoError, 99u);
}

}  // namespace
