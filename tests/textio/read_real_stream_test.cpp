// readReal through real streams: a stream record bound to a pipe, and the
// standard input stream of a child process whose descriptor 0 is a pipe or a
// file. Covers the token rules: blanks before and after a token, the byte that
// ends a token staying in the stream, tokens across buffer refills, the
// 64-byte limit and over-long tokens, malformed tokens and code 106.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "extended/extended.h"
#include "extended/fpu_environment.h"
#include "platform/exception_codes.h"
#include "tests/textio/read_real_support.h"
#include "textio/number_conversions.h"
#include "textio/text_stream.h"

namespace {

using readrealtest::bits;
using readrealtest::defaultControlWord;
using readrealtest::trapCodes;
constexpr Extended positiveZero = bits(0x0000, 0);

Extended integer(std::int64_t value) {
  return extended::fromInt64(value);
}

Extended converted(const std::string& text) {
  std::int32_t code = -1;
  const Extended value = textToReal(text.c_str(), code);
  EXPECT_EQ(code, 0) << text;
  return value;
}

// A stream record bound for input to the read end of a pipe that holds
// `input` and whose writer has gone.
class PipeStream {
 public:
  explicit PipeStream(const std::string& input, std::uint16_t flags = crLfStyle) {
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    EXPECT_LT(input.size(), 60000u);  // fits the pipe without a reader
    EXPECT_EQ(write(fds[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
    close(fds[1]);
    readEnd_ = fds[0];
    stream_ = TextStream{};
    stream_.handle = readEnd_;
    stream_.mode = modeInput;
    stream_.flags = flags;
    stream_.bufSize = streamBufferSize;
    stream_.bufPtr = stream_.buffer;
    stream_.openOp = noOperation;
    stream_.transferOp = refillBuffer;
    stream_.flushOp = noOperation;
    stream_.closeOp = noOperation;
  }
  ~PipeStream() { close(readEnd_); }
  PipeStream(const PipeStream&) = delete;
  PipeStream& operator=(const PipeStream&) = delete;

  TextStream& stream() { return stream_; }

 private:
  int readEnd_ = -1;
  TextStream stream_;
};

class ReadRealStreamTest : public readrealtest::TrapRecordingTest {
 protected:
  void SetUp() override {
    TrapRecordingTest::SetUp();
    pendingIoError = 0;
  }
  void TearDown() override {
    TrapRecordingTest::TearDown();
    pendingIoError = 0;
  }
};

// One readReal call: the value expected and the code pending afterwards.
struct Read {
  Extended value;
  std::uint32_t pendingAfter;
};

struct Scenario {
  const char* name;
  std::string input;
  std::vector<Read> reads;
  int nextByte;  // what readChar delivers afterwards; -1: end of input
};

TEST_F(ReadRealStreamTest, TokenRules) {
  const std::string ones64(64, '1');
  const std::vector<Scenario> scenarios = {
      {"one line", "1 -3 2\r\n", {{integer(1), 0}, {integer(-3), 0}, {integer(2), 0}}, '\r'},
      {"three lines and control bytes",
       std::string("\t1\r\n\f-3\n\x01\x00\x1f 2\n", 14),
       {{integer(1), 0}, {integer(-3), 0}, {integer(2), 0}},
       '\n'},
      {"end of input ends the token", "  42", {{integer(42), 0}}, -1},
      {"empty input", "", {{positiveZero, 0}, {positiveZero, 0}}, -1},
      {"blanks only", " \t\r\n \x02", {{positiveZero, 0}}, -1},
      {"malformed, then a good token",
       "12.5x 7\n",
       {{integer(125), ioMalformedNumber}, {integer(7), ioMalformedNumber}},
       '\n'},
      {"byte from 0x80 up", "5\xE9 6", {{integer(5), ioMalformedNumber}}, ' '},
      {"token with NUL after it",
       std::string("8\0"
                   "9",
                   3),
       {{integer(8), 0}},
       0},
      {"exactly 64 bytes, then a blank",
       ones64 + " 5",
       {{converted(ones64), 0}, {integer(5), 0}},
       -1},
      {"exactly 64 bytes, then end of input", ones64, {{converted(ones64), 0}}, -1},
      {"70 digits are malformed as a whole",
       std::string(70, '1') + " 5\n",
       {{positiveZero, ioMalformedNumber}, {integer(5), ioMalformedNumber}},
       '\n'},
      {"65 bytes ended by end of input",
       std::string(65, '2'),
       {{positiveZero, ioMalformedNumber}},
       -1},
      {"over-long token across refills",
       std::string(300, '9') + "\t-6",
       {{positiveZero, ioMalformedNumber}, {integer(-6), ioMalformedNumber}},
       -1},
      {"token across a refill",
       std::string(126, ' ') + "3.25\n",
       {{bits(0x4000, 0xD000000000000000), 0}},
       '\n'},
      {"byte 26 ends the input", "5\x1a 7", {{integer(5), 0}, {positiveZero, 0}}, -1},
      {"signs and zeros",
       "-0 +0 -1e-9999",
       {{bits(0x8000, 0), 0}, {positiveZero, 0}, {bits(0x8000, 0), 0}},
       -1},
      {"mended zero exponent", "0e5120 -0e9999", {{positiveZero, 0}, {bits(0x8000, 0), 0}}, -1},
  };
  for (const Scenario& s : scenarios) {
    SCOPED_TRACE(s.name);
    pendingIoError = 0;
    PipeStream pipe(s.input);
    for (std::size_t i = 0; i < s.reads.size(); ++i) {
      EXPECT_EQ(readReal(pipe.stream()), s.reads[i].value) << "read " << i;
      EXPECT_EQ(pendingIoError, s.reads[i].pendingAfter) << "read " << i;
    }
    const StreamByte next = readChar(pipe.stream());
    if (s.nextByte < 0) {
      EXPECT_TRUE(next.endOfInput);
    } else {
      EXPECT_FALSE(next.endOfInput);
      EXPECT_EQ(next.value, s.nextByte);
    }
  }
  EXPECT_TRUE(trapCodes.empty());
}

TEST_F(ReadRealStreamTest, ByteTwentySixIsABlankWithoutLineStyle) {
  PipeStream pipe("5\x1a 7", 0);
  EXPECT_EQ(readReal(pipe.stream()), integer(5));
  EXPECT_EQ(readReal(pipe.stream()), integer(7));
  EXPECT_EQ(pendingIoError, 0u);
}

TEST_F(ReadRealStreamTest, PendingCodeIsKeptOrReplaced) {
  PipeStream pipe("4 x");
  pendingIoError = ioNotOpenForInput;
  EXPECT_EQ(readReal(pipe.stream()), integer(4));
  EXPECT_EQ(pendingIoError, static_cast<std::uint32_t>(ioNotOpenForInput));
  EXPECT_EQ(readReal(pipe.stream()), positiveZero);
  EXPECT_EQ(pendingIoError, static_cast<std::uint32_t>(ioMalformedNumber));
}

// A read that fails inside a token ends the token, which is converted; the
// read's code stays pending unless the conversion stores 106 over it.
std::vector<std::string> scriptedReads;
std::size_t nextScriptedRead = 0;
constexpr std::uint32_t scriptedFailure = 5;  // an operating-system code

std::uint32_t scriptedRead(TextStream& stream) {
  stream.bufPos = 0;
  stream.bufEnd = 0;
  if (nextScriptedRead == scriptedReads.size()) return 0;
  const std::string& chunk = scriptedReads[nextScriptedRead++];
  if (chunk.empty()) return scriptedFailure;
  std::memcpy(stream.bufPtr, chunk.data(), chunk.size());
  stream.bufEnd = static_cast<std::uint32_t>(chunk.size());
  return 0;
}

TEST_F(ReadRealStreamTest, FailingReadEndsTheToken) {
  scriptedReads = {"  12", "", "34 x", "", "9"};
  nextScriptedRead = 0;
  TextStream stream{};
  stream.mode = modeInput;
  stream.flags = crLfStyle;
  stream.bufSize = streamBufferSize;
  stream.bufPtr = stream.buffer;
  stream.openOp = noOperation;
  stream.transferOp = scriptedRead;
  stream.flushOp = noOperation;
  stream.closeOp = noOperation;
  EXPECT_EQ(readReal(stream), integer(12));
  EXPECT_EQ(pendingIoError, scriptedFailure);
  EXPECT_EQ(readReal(stream), integer(34));
  EXPECT_EQ(pendingIoError, scriptedFailure);
  EXPECT_EQ(readReal(stream), positiveZero);  // 'x', cut by the failing read
  EXPECT_EQ(pendingIoError, static_cast<std::uint32_t>(ioMalformedNumber));
  EXPECT_EQ(readReal(stream), integer(9));
  EXPECT_EQ(readReal(stream), positiveZero);
}

TEST_F(ReadRealStreamTest, OverflowTrapsThroughTheHook) {
  PipeStream pipe("1e4933 1e5120 1e4932");
  readReal(pipe.stream());
  ASSERT_EQ(trapCodes.size(), 1u);
  EXPECT_EQ(trapCodes[0], platform::statusFloatOverflow);
  EXPECT_EQ(readReal(pipe.stream()), bits(0x7FFF, 0x8000000000000000));
  EXPECT_EQ(readReal(pipe.stream()), bits(0x7FFE, 0xD72CB2A95C7EF6CD));
  EXPECT_EQ(trapCodes.size(), 1u);
  EXPECT_EQ(pendingIoError, 0u);
}

// ConsoleIn bound on first use to descriptor 0 of a child process. The child
// reads three values and reports their memory images, the pending code and
// the byte that follows through a pipe.
struct ChildReport {
  std::uint8_t images[3][extended::memoryImageSize];
  std::uint32_t pending;
  std::int32_t nextByte;
};

// `inputFd` -1: the child's standard input is closed.
ChildReport readThreeFromStandardInput(int inputFd) {
  int report[2];
  EXPECT_EQ(pipe(report), 0);
  const pid_t child = fork();
  if (child == 0) {
    close(report[0]);
    if (inputFd < 0) {
      close(STDIN_FILENO);
    } else {
      dup2(inputFd, STDIN_FILENO);
      close(inputFd);
    }
    ConsoleIn.mode = modeClosed;
    pendingIoError = 0;
    extended::resetEnvironment();
    extended::loadControlWord(defaultControlWord);
    ChildReport result{};
    for (auto& image : result.images) extended::toMemoryImage(readReal(ConsoleIn), image);
    result.pending = pendingIoError;
    const StreamByte next = readChar(ConsoleIn);
    result.nextByte = next.endOfInput ? -1 : next.value;
    const bool written = write(report[1], &result, sizeof result) == sizeof result;
    _exit(written ? 0 : 1);
  }
  close(report[1]);
  if (inputFd >= 0) close(inputFd);
  ChildReport result{};
  EXPECT_EQ(read(report[0], &result, sizeof result), static_cast<ssize_t>(sizeof result));
  close(report[0]);
  int status = 0;
  EXPECT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  return result;
}

void expectReport(const ChildReport& report, const std::vector<Extended>& values,
                  std::uint32_t pending, int nextByte) {
  for (std::size_t i = 0; i < values.size(); ++i) {
    EXPECT_EQ(extended::fromMemoryImage(report.images[i]), values[i]) << "value " << i;
  }
  EXPECT_EQ(report.pending, pending);
  EXPECT_EQ(report.nextByte, nextByte);
}

TEST_F(ReadRealStreamTest, StandardInputIsAPipe) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const std::string input = "1\n-3\t\t2\r\nrest";
  ASSERT_EQ(write(fds[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
  close(fds[1]);
  expectReport(readThreeFromStandardInput(fds[0]), {integer(1), integer(-3), integer(2)}, 0, '\r');
}

TEST_F(ReadRealStreamTest, StandardInputIsAFile) {
  char path[] = "/tmp/read_real_stream_XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  unlink(path);
  const std::string input = "  1e400 0.1\n1,5";
  ASSERT_EQ(write(fd, input.data(), input.size()), static_cast<ssize_t>(input.size()));
  ASSERT_EQ(lseek(fd, 0, SEEK_SET), 0);
  expectReport(readThreeFromStandardInput(fd),
               {bits(0x452F, 0xDA763FC8CB9FF9E5), bits(0x3FFB, 0xCCCCCCCCCCCCCCCD), integer(1)},
               ioMalformedNumber, -1);
}

TEST_F(ReadRealStreamTest, StandardInputClosed) {
  expectReport(readThreeFromStandardInput(-1), {positiveZero, positiveZero, positiveZero},
               ioNotOpenForInput, -1);
}

}  // namespace
