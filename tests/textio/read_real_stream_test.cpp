// readReal through real streams: ConsoleIn bound on first use to a standard
// input that is a pipe, a file or closed, and a record whose reads are
// scripted to fail. Covers the token rules: blanks before and after a token,
// the byte that ends a token staying in the stream, tokens across buffer
// refills, the 64-byte limit and over-long tokens, malformed tokens and code
// 106, and the overflow trap.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "exceptions/exception_codes.h"
#include "extended/extended.h"
#include "tests/textio/number_test_support.h"
#include "tests/textio/text_stream_fixture.h"
#include "textio/number_conversions.h"
#include "textio/text_stream.h"

namespace {

using numbertest::bits;
using numbertest::trapCodes;
constexpr Extended positiveZero = bits(0x0000, 0);
constexpr Extended negativeZero = bits(0x8000, 0);

Extended integer(std::int64_t value) {
  return extended::fromInt64(value);
}

Extended converted(const std::string& text) {
  std::int32_t code = -1;
  const Extended value = textToReal(text.c_str(), code);
  EXPECT_EQ(code, 0) << text;
  return value;
}

class ReadRealStreamTest : public stream_testing::TextStreamTest {
 protected:
  void SetUp() override {
    TextStreamTest::SetUp();
    numbertest::enterProgramEnvironment();
  }
  void TearDown() override { numbertest::leaveProgramEnvironment(); }

  // Reads `expected.size()` values, checking each value and the code pending
  // after it, then the byte that follows (-1: the end of input).
  struct Read {
    Extended value;
    std::uint32_t pendingAfter;
  };
  void expectReads(TextStream& stream, const std::vector<Read>& expected, int nextByte) {
    for (std::size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(readReal(stream), expected[i].value) << "read " << i;
      EXPECT_EQ(pendingIoError, expected[i].pendingAfter) << "read " << i;
    }
    const StreamByte next = readChar(stream);
    EXPECT_EQ(next.endOfInput ? -1 : next.value, nextByte);
  }
};

TEST_F(ReadRealStreamTest, TokenRulesOnStandardInput) {
  const std::string ones64(64, '1');
  const struct {
    const char* name;
    std::string input;
    std::vector<Read> reads;
    int nextByte;
  } scenarios[] = {
      {"one line", "1 -3 2\r\n", {{integer(1), 0}, {integer(-3), 0}, {integer(2), 0}}, '\r'},
      {"control bytes and lines",
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
      {"byte 33 is no blank",
       "5! 6",
       {{integer(5), ioMalformedNumber}, {integer(6), ioMalformedNumber}},
       -1},
      {"NUL ends a token",
       std::string("8\0"
                   "9",
                   3),
       {{integer(8), 0}},
       0},
      {"exactly 64 bytes", ones64 + " 5", {{converted(ones64), 0}, {integer(5), 0}}, -1},
      {"exactly 64 bytes at the end", ones64, {{converted(ones64), 0}}, -1},
      {"70 digits are malformed as a whole",
       std::string(70, '1') + " 5\n",
       {{positiveZero, ioMalformedNumber}, {integer(5), ioMalformedNumber}},
       '\n'},
      {"65 bytes at the end", std::string(65, '2'), {{positiveZero, ioMalformedNumber}}, -1},
      {"over-long token across refills",
       std::string(300, '9') + "\t-6",
       {{positiveZero, ioMalformedNumber}, {integer(-6), ioMalformedNumber}},
       -1},
      {"token across a refill",
       std::string(126, ' ') + "3.25\n",
       {{bits(0x4000, 0xD000000000000000), 0}},
       '\n'},
      {"everyday tokens, converted in the buffer",
       "2 -65.11 +0.150 1234567890123456789\n",
       {{integer(2), 0},
        {converted("-65.11"), 0},
        {converted("0.15"), 0},
        {converted("1234567890123456789"), 0}},
       '\n'},
      {"tokens for the general conversion",
       "99999999999999999999 5. .5 -.5 2.5e1 -",
       {{converted("99999999999999999999"), 0},
        {integer(5), 0},
        {converted(".5"), 0},
        {converted("-.5"), 0},
        {integer(25), 0},
        {positiveZero, ioMalformedNumber}},
       -1},
      {"token ending where the buffer ends",
       std::string(124, ' ') + "3.25 1\n",
       {{bits(0x4000, 0xD000000000000000), 0}, {integer(1), 0}},
       '\n'},
      {"byte 26 ends the input", "5\x1a 7", {{integer(5), 0}, {positiveZero, 0}}, -1},
      {"signs and zeros",
       "-0 +0 -1e-9999 0e5120 -0e9999",
       {{negativeZero, 0},
        {positiveZero, 0},
        {negativeZero, 0},
        {positiveZero, 0},
        {negativeZero, 0}},
       -1},
  };
  for (const auto& s : scenarios) {
    SCOPED_TRACE(s.name);
    stream_testing::resetStream(ConsoleIn);
    pendingIoError = 0;
    inputFromPipe(s.input);
    expectReads(ConsoleIn, s.reads, s.nextByte);
  }
  EXPECT_TRUE(trapCodes.empty());
}

TEST_F(ReadRealStreamTest, StandardInputIsAFile) {
  inputFromFile("  1e400 0.1\n1,5");
  expectReads(ConsoleIn,
              {{bits(0x452F, 0xDA763FC8CB9FF9E5), 0},
               {bits(0x3FFB, 0xCCCCCCCCCCCCCCCD), 0},
               {integer(1), ioMalformedNumber}},
              -1);
}

// Not open for input: the stream's code is pending, and +0 is read.
TEST_F(ReadRealStreamTest, StandardInputClosed) {
  standard.close(0);
  expectReads(ConsoleIn, {{positiveZero, ioNotOpenForInput}, {positiveZero, ioNotOpenForInput}},
              -1);
}

TEST_F(ReadRealStreamTest, PendingCodeIsKeptOrReplaced) {
  inputFromPipe("4 x");
  pendingIoError = ioNotOpenForInput;
  expectReads(ConsoleIn, {{integer(4), ioNotOpenForInput}, {positiveZero, ioMalformedNumber}}, -1);
}

TEST_F(ReadRealStreamTest, OverflowTrapsThroughTheHook) {
  inputFromPipe("1e4933 1e5120 1e4932");
  readReal(ConsoleIn);
  ASSERT_EQ(trapCodes.size(), 1u);
  EXPECT_EQ(trapCodes[0], platform::statusFloatOverflow);
  expectReads(ConsoleIn,
              {{bits(0x7FFF, 0x8000000000000000), 0}, {bits(0x7FFE, 0xD72CB2A95C7EF6CD), 0}}, -1);
  EXPECT_EQ(trapCodes.size(), 1u);
}

// A record whose reads deliver the scripted chunks in turn; an empty chunk is
// a failing read.
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

TextStream scriptedStream(std::vector<std::string> chunks, std::uint16_t flags) {
  scriptedReads = std::move(chunks);
  nextScriptedRead = 0;
  TextStream stream{};
  setInputSlots(stream, scriptedRead, noOperation);
  stream.flags = flags;
  return stream;
}

// A read that fails inside a token ends the token, which is converted; the
// read's code stays pending unless the conversion stores 106 over it.
TEST_F(ReadRealStreamTest, FailingReadEndsTheToken) {
  TextStream stream = scriptedStream({"  12", "", "34 x", "", "9"}, crLfStyle);
  expectReads(stream,
              {{integer(12), scriptedFailure},
               {integer(34), scriptedFailure},
               {positiveZero, ioMalformedNumber},  // 'x', cut by the failing read
               {integer(9), ioMalformedNumber},
               {positiveZero, ioMalformedNumber}},
              -1);
}

TEST_F(ReadRealStreamTest, ByteTwentySixIsABlankWithoutLineStyle) {
  TextStream stream = scriptedStream({"5\x1a 7"}, 0);
  expectReads(stream, {{integer(5), 0}, {integer(7), 0}}, -1);
}

// The everyday token converted in the buffer, against the general conversion:
// seeded tokens of 1 to 24 digits, some with a sign or a point, across refills.
TEST_F(ReadRealStreamTest, BufferedDecimalsAsTheGeneralConversionGivesThem) {
  std::mt19937 random(20261208);
  std::vector<std::string> tokens(200000), chunks;
  std::string input;
  for (std::string& token : tokens) {
    const std::size_t signs = random() % 2;
    token = std::string(signs, "+-"[random() % 2]);
    // The point goes where an insert at `point` would put it; appended in
    // order, as GCC 12 warns falsely on the insert in an optimised build.
    const std::size_t digits = 1 + random() % 24, point = random() % (signs + digits);
    for (std::size_t index = signs; index < signs + digits; ++index) {
      if (index == point && point > 0) token += '.';
      token += static_cast<char>('0' + random() % 10);
    }
    input += token + (random() % 4 == 0 ? "\r\n" : " ");
  }
  for (std::size_t at = 0; at < input.size(); at += streamBufferSize) {
    chunks.push_back(input.substr(at, streamBufferSize));
  }
  TextStream stream = scriptedStream(chunks, crLfStyle);
  for (const std::string& token : tokens) {
    std::int32_t code = 0;
    ASSERT_EQ(readReal(stream), textToReal(token.c_str(), code)) << token;
  }
  EXPECT_EQ(pendingIoError, 0u);
}

}  // namespace
