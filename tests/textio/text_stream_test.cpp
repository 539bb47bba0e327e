// Binding, flushing and closing: the codes of the stream operations, the
// standard error stream, and the per-thread pending code.

#include "textio/text_stream.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "tests/platform/descriptor_support.h"
#include "tests/textio/text_stream_fixture.h"

namespace {

using stream_testing::resetStream;
using stream_testing::TextStreamTest;

TEST_F(TextStreamTest, UninitialisedRecordIsLeftUntouched) {
  TextStream record{};
  record.mode = 0x1234;
  TextStream before = record;
  EXPECT_EQ(openStream(record, modeOutput), std::uint32_t{ioRecordNotInitialised});
  EXPECT_EQ(pendingIoError, std::uint32_t{ioRecordNotInitialised});
  EXPECT_EQ(std::memcmp(&record, &before, sizeof record), 0);
}

TEST_F(TextStreamTest, ZeroFilledStandardStreamStoresTheWriteCode) {
  auto file = testing_support::temporaryFile();
  standard.redirect(1, file.get());
  ConsoleOut.mode = 0;  // as at load, before start-up
  writeLine(ConsoleOut);
  EXPECT_EQ(pendingIoError, std::uint32_t{ioNotOpenForOutput});
  EXPECT_EQ(ConsoleOut.mode, 0);
}

TEST_F(TextStreamTest, LineWithoutCrLfStyleEndsInLfAlone) {
  auto file = testing_support::temporaryFile();
  standard.redirect(1, file.get());
  TextStream plain{};
  plain.mode = modeClosed;
  ASSERT_EQ(openStream(plain, modeOutput), 0u);
  writeLine(writeChar(plain, 'a'));
  closeStream(plain);
  EXPECT_EQ(testing_support::fileContents(file.get()), "a\n");
}

TEST_F(TextStreamTest, ErrorStreamWritesToDescriptorTwoOnly) {
  auto out = testing_support::temporaryFile();
  auto err = testing_support::temporaryFile();
  standard.redirect(1, out.get());
  standard.redirect(2, err.get());
  writeLine(writeBytes(ConsoleErr, "e", 1));
  writeLine(writeBytes(ConsoleOut, "o", 1));
  const std::uint32_t result = closeStandardStreams();
  standard.restore();
  EXPECT_EQ(result, 0u);
  EXPECT_EQ(pendingIoError, 0u);
  EXPECT_EQ(testing_support::fileContents(err.get()), "e\r\n");
  EXPECT_EQ(testing_support::fileContents(out.get()), "o\r\n");
}

TEST_F(TextStreamTest, FlushAndCloseOfStreamsThatAreNotOpen) {
  TextStream other{};
  const struct {
    const char* what;
    TextStream& stream;
    std::uint32_t flush;
    std::uint32_t close;
  } cases[] = {
      {"ConsoleIn", ConsoleIn, ioStreamNotOpen, 0},
      {"ConsoleOut", ConsoleOut, 0, ioStreamNotOpen},
      {"ConsoleErr", ConsoleErr, 0, ioStreamNotOpen},
      {"another stream", other, ioStreamNotOpen, ioStreamNotOpen},
  };
  for (const auto& c : cases) {
    resetStream(c.stream);
    pendingIoError = 7;
    EXPECT_EQ(flushStream(c.stream), c.flush) << c.what;
    EXPECT_EQ(pendingIoError, c.flush != 0 ? c.flush : 7) << c.what;
    pendingIoError = 7;
    EXPECT_EQ(closeStream(c.stream), c.close) << c.what;
    EXPECT_EQ(pendingIoError, c.close != 0 ? c.close : 7) << c.what;
  }
}

TEST_F(TextStreamTest, BoundStreamsFlushAndCloseWithoutCodes) {
  auto file = testing_support::temporaryFile("in");
  standard.redirect(0, file.get());
  auto out = testing_support::temporaryFile();
  standard.redirect(1, out.get());
  readChar(ConsoleIn);
  writeChar(ConsoleOut, 'x');
  EXPECT_EQ(flushStream(ConsoleIn), 0u);
  EXPECT_EQ(flushStream(ConsoleOut), 0u);  // a file: nothing written yet
  EXPECT_EQ(ConsoleOut.bufPos, 1u);
  EXPECT_EQ(closeStream(ConsoleIn), 0u);
  EXPECT_EQ(closeStream(ConsoleOut), 0u);
  EXPECT_EQ(ConsoleIn.mode, modeInput);
  EXPECT_EQ(ConsoleOut.mode, modeOutput);
  EXPECT_EQ(pendingIoError, 0u);
  // Still bound: writing after closing holds again.
  writeChar(ConsoleOut, 'y');
  EXPECT_EQ(closeStream(ConsoleOut), 0u);
  EXPECT_EQ(testing_support::fileContents(out.get()), "xy");
}

TEST_F(TextStreamTest, ShutdownReportsConsoleOutsResult) {
  // Never bound: nothing was written, and closing says the stream is not open.
  EXPECT_EQ(closeStandardStreams(), std::uint32_t{ioStreamNotOpen});
  // A failing final write.
  TextStreamTest::SetUp();
  auto pipe = testing_support::makePipe();
  standard.redirect(1, pipe.writeEnd.get());
  pipe.readEnd.reset();
  writeChar(ConsoleOut, 'x');
  EXPECT_EQ(closeStandardStreams(), std::uint32_t{EPIPE});
}

// A stream that cannot be bound in the mode asked for stays closed, so that
// no read or write goes through slots that were never set.
TEST_F(TextStreamTest, StreamThatCannotBeBoundStaysClosed) {
  TextStream named{};
  named.mode = modeClosed;
  std::strcpy(named.name, "results.txt");
  const struct {
    const char* what;
    TextStream& stream;
    std::uint16_t mode;
  } cases[] = {
      {"ConsoleOut for reading and writing", ConsoleOut, modeInOut},
      {"ConsoleIn for reading and writing", ConsoleIn, modeInOut},
      {"a named stream without an open operation", named, modeOutput},
  };
  for (const auto& c : cases) {
    pendingIoError = 0;
    EXPECT_EQ(openStream(c.stream, c.mode), std::uint32_t{ioStreamNotOpen}) << c.what;
    EXPECT_EQ(c.stream.mode, modeClosed) << c.what;
    EXPECT_EQ(pendingIoError, std::uint32_t{ioStreamNotOpen}) << c.what;
  }
}

TEST_F(TextStreamTest, ReopeningAnOpenStreamClosesItFirst) {
  auto out = testing_support::temporaryFile();
  standard.redirect(1, out.get());
  writeBytes(ConsoleOut, "held", 4);
  EXPECT_EQ(openStream(ConsoleOut, modeOutput), 0u);
  EXPECT_EQ(testing_support::fileContents(out.get()), "held");
  EXPECT_EQ(ConsoleOut.bufPos, 0u);
}

}  // namespace
