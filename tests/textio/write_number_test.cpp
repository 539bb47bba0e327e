// The number writers through a real stream: ConsoleOut bound to a pipe in a
// forked child, whose bytes the parent collects. Covers the field beyond the
// 255 characters of a counted text, the chaining of one statement, and the
// spaces that stop once an error is pending while the text is still written.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>

#include "extended/extended.h"
#include "textio/number_conversions.h"
#include "textio/text_stream.h"

namespace {

struct ChildOutput {
  std::string bytes;
  int exitCode;
};

// Runs `writes` in a child whose standard output is a pipe, with ConsoleOut
// closed as start-up leaves it, closes ConsoleOut (writing out held output)
// and exits with the low byte of the pending I/O code.
ChildOutput runWriter(const std::function<void()>& writes) {
  int fds[2];
  if (pipe(fds) != 0) return {"pipe failed", -1};
  const pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    dup2(fds[1], STDOUT_FILENO);
    close(fds[1]);
    ConsoleOut.mode = modeClosed;
    writes();
    closeStream(ConsoleOut);
    _exit(static_cast<int>(pendingIoError & 0xFF));
  }
  close(fds[1]);
  std::string bytes;
  char buffer[4096];
  ssize_t got;
  while ((got = read(fds[0], buffer, sizeof buffer)) > 0)
    bytes.append(buffer, static_cast<std::size_t>(got));
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return {bytes, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

std::string spaces(std::size_t count) {
  return std::string(count, ' ');
}

Extended real(double value) {
  return extended::fromDouble(value);
}

TEST(NumberWriters, ResultLineOfTheSolver) {
  const ChildOutput out = runWriter([] {
    writeInteger(ConsoleOut, 2);
    writeChar(ConsoleOut, ' ');
    writeReal(ConsoleOut, real(1.0), 0, 2);
    writeChar(ConsoleOut, ' ');
    writeReal(ConsoleOut, real(-0.001), 0, 2);
    writeChar(ConsoleOut, ' ');
    writeReal(ConsoleOut, real(std::ldexp(1.0, 120)), 0, 2);
  });
  EXPECT_EQ(out.bytes, "2 1.00 -0.00  1.3E+0036");
  EXPECT_EQ(out.exitCode, 0);
}

TEST(NumberWriters, FieldsWiderThanACountedText) {
  const ChildOutput out = runWriter([] {
    writeInteger(ConsoleOut, 7, 300);
    writeReal(ConsoleOut, real(1.5), 300, 2);
    writeReal(ConsoleOut, real(-2.0), 1000, -1);  // 18 digits: the width capped at 255
    writeReal(ConsoleOut, extended::negativeInfinity, 256, 2);
  });
  EXPECT_EQ(out.bytes, spaces(299) + "7" + spaces(296) + "1.50" + spaces(974) +
                           "-2.00000000000000000E+0000" + spaces(252) + "-Inf");
  EXPECT_EQ(out.exitCode, 0);
}

TEST(NumberWriters, NarrowAndNegativeWidthsAddNothing) {
  const ChildOutput out = runWriter([] {
    writeInteger(ConsoleOut, 12345, 3);
    writeInteger(ConsoleOut, 7, -4);
    writeInteger(ConsoleOut, std::numeric_limits<std::int32_t>::min(),
                 std::numeric_limits<std::int32_t>::min());
    writeReal(ConsoleOut, real(123.456), 2, 2);
    writeReal(ConsoleOut, real(3.0), std::numeric_limits<std::int32_t>::min(), -1);
    writeInteger(ConsoleOut, 42, 5);
  });
  EXPECT_EQ(out.bytes,
            "12345"
            "7"
            "-2147483648"
            "123.46"
            " 3.0E+0000"
            "   42");
}

TEST(NumberWriters, SpacesStopOnAPendingErrorButTheTextIsWritten) {
  const ChildOutput out = runWriter([] {
    setPendingIoError(99);
    // 145 spaces beyond the 255 of the text: one run of 64, then the text,
    // which carries its own 251 spaces.
    writeReal(ConsoleOut, real(1.5), 400, 2);
    writeInteger(ConsoleOut, -7, 100);  // one run of 64 of the 98, then "-7"
    writeInteger(ConsoleOut, 8, 64);    // 63 spaces: a single run, no test
  });
  EXPECT_EQ(out.bytes, spaces(64) + spaces(251) + "1.50" + spaces(64) + "-7" + spaces(63) + "8");
  EXPECT_EQ(out.exitCode, 99);
}

TEST(NumberWriters, PaddedTextAsGiven) {
  const ChildOutput out = runWriter([] {
    CountedText text;
    realToText(real(3.0), 300, 2, text);  // already 255 wide
    writePadded(ConsoleOut, text, 300);
    intToText(-5, 0, text);
    writePadded(ConsoleOut, text, 2);
  });
  EXPECT_EQ(out.bytes, spaces(296) + "3.00" + "-5");
}

}  // namespace
