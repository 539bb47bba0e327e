// Writing through ConsoleOut and ConsoleErr over real files, pipes, a
// pseudo-terminal, /dev/null, /dev/full and a closed descriptor; the stand-in
// counts the writes and their sizes.

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "tests/platform/descriptor_support.h"
#include "tests/textio/text_stream_fixture.h"
#include "textio/text_stream.h"

namespace {

using stream_testing::TextStreamTest;
using testing_support::Descriptor;
using testing_support::SystemCallStandIn;
using Sizes = std::vector<std::size_t>;

TextStream& writeText(TextStream& stream, const std::string& text) {
  return writeBytes(stream, text.data(), static_cast<std::uint32_t>(text.size()));
}

Descriptor openPath(const char* path, int flags) {
  const int fd = ::open(path, flags | O_CLOEXEC);
  EXPECT_GE(fd, 0) << path << ": " << errno;
  return Descriptor(fd);
}

class OutputTest : public TextStreamTest {
 protected:
  // Standard output goes to a fresh regular file.
  int outputToFile() {
    file = testing_support::temporaryFile();
    standard.redirect(1, file.get());
    return file.get();
  }
  // Standard output goes to a pipe whose reader has already closed its end.
  void outputToPipeWithoutReader() {
    auto pipe = testing_support::makePipe();
    standard.redirect(1, pipe.writeEnd.get());
  }
  Descriptor file;
};

// ---- Files and pipes: blocks of 128, the rest at shutdown ----

TEST_F(OutputTest, FileOutputIsHeldUntilShutdown) {
  const int fd = outputToFile();
  SystemCallStandIn standIn;
  writeLine(ConsoleOut);
  EXPECT_EQ(ConsoleOut.bufPos, 2u);
  writeText(writeChar(writeText(ConsoleOut, "2"), ' '), "1.00 2.00");
  writeLine(ConsoleOut);
  EXPECT_EQ(standIn.writes, 0);
  EXPECT_EQ(testing_support::fileContents(fd), "");

  EXPECT_EQ(closeStandardStreams(), 0u);
  EXPECT_EQ(testing_support::fileContents(fd), "\r\n2 1.00 2.00\r\n");
  EXPECT_EQ(standIn.writeSizes, (Sizes{15}));
  EXPECT_EQ(ConsoleOut.mode, modeOutput);                     // closing leaves it bound
  EXPECT_EQ(pendingIoError, std::uint32_t{ioStreamNotOpen});  // ConsoleErr, never bound
}

TEST_F(OutputTest, PipeOutputIsHeldUntilShutdown) {
  auto pipe = testing_support::makePipe();
  standard.redirect(1, pipe.writeEnd.get());
  pipe.writeEnd.reset();
  writeText(ConsoleOut, "-1");
  writeLine(ConsoleOut);
  EXPECT_EQ(testing_support::readAvailable(pipe.readEnd.get(), 50), "");
  EXPECT_EQ(closeStandardStreams(), 0u);
  standard.restore();
  EXPECT_EQ(testing_support::readToEnd(pipe.readEnd.get()), "-1\r\n");
}

TEST_F(OutputTest, OneWriteOf300BytesGoesOutAsTwoBlocksAndHolds44) {
  const int fd = outputToFile();
  std::string text;
  for (int i = 0; i < 300; ++i) text.push_back(static_cast<char>('A' + i % 26));
  SystemCallStandIn standIn;
  writeText(ConsoleOut, text);
  EXPECT_EQ(standIn.writeSizes, (Sizes{128, 128}));
  EXPECT_EQ(ConsoleOut.bufPos, 44u);
  EXPECT_EQ(testing_support::fileContents(fd), text.substr(0, 256));
  closeStream(ConsoleOut);
  EXPECT_EQ(standIn.writeSizes, (Sizes{128, 128, 44}));
  EXPECT_EQ(testing_support::fileContents(fd), text);
}

TEST_F(OutputTest, BufferBoundaries) {
  // Each case writes into a fresh stream, then reports the write sizes and
  // what is held.
  struct Case {
    const char* what;
    void (*write)();
    Sizes writes;
    std::uint32_t held;
  };
  const Case cases[] = {
      {"exactly the room left is written at once",
       [] { writeText(writeText(ConsoleOut, std::string(100, 'a')), std::string(28, 'b')); },
       {128},
       0},
      {"one byte short of the room is held",
       [] { writeText(writeText(ConsoleOut, std::string(100, 'a')), std::string(27, 'b')); },
       {},
       127},
      {"writeChar filling the last place leaves the buffer full",
       [] {
         for (int i = 0; i < 128; ++i) writeChar(ConsoleOut, 'c');
       },
       {},
       128},
      {"the next writeChar writes the full buffer out first",
       [] {
         for (int i = 0; i < 129; ++i) writeChar(ConsoleOut, 'c');
       },
       {128},
       1},
      {"writeBytes after a full buffer writes it out first",
       [] {
         for (int i = 0; i < 128; ++i) writeChar(ConsoleOut, 'c');
         writeText(ConsoleOut, "xy");
       },
       {128},
       2},
      {"writeSpaces 130: runs of 64, 64 and 2", [] { writeSpaces(ConsoleOut, 130); }, {128}, 2},
      {"writeSpaces 64", [] { writeSpaces(ConsoleOut, 64); }, {}, 64},
      {"writeSpaces 65", [] { writeSpaces(ConsoleOut, 65); }, {}, 65},
      {"writeSpaces 256", [] { writeSpaces(ConsoleOut, 256); }, {128, 128}, 0},
      {"writeSpaces 0", [] { writeSpaces(ConsoleOut, 0); }, {}, 0},
      {"writeSpaces -5", [] { writeSpaces(ConsoleOut, -5); }, {}, 0},
      {"writeBytes of nothing", [] { writeBytes(ConsoleOut, nullptr, 0); }, {}, 0},
  };
  for (const Case& c : cases) {
    SetUp();
    const int fd = outputToFile();
    SystemCallStandIn standIn;
    c.write();
    EXPECT_EQ(standIn.writeSizes, c.writes) << c.what;
    EXPECT_EQ(ConsoleOut.bufPos, c.held) << c.what;
    EXPECT_EQ(pendingIoError, 0u) << c.what;
    closeStream(ConsoleOut);
    const std::string contents = testing_support::fileContents(fd);
    EXPECT_EQ(contents.size(), c.writes.empty() ? c.held : c.writes[0] * c.writes.size() + c.held)
        << c.what;
  }
}

TEST_F(OutputTest, WriteSpacesWritesSpaces) {
  const int fd = outputToFile();
  writeSpaces(writeChar(ConsoleOut, '['), 130);
  writeChar(ConsoleOut, ']');
  closeStream(ConsoleOut);
  std::string expected(132, ' ');
  expected.front() = '[';
  expected.back() = ']';
  EXPECT_EQ(testing_support::fileContents(fd), expected);
}

TEST_F(OutputTest, WriteSpacesNotBoundForNothing) {
  outputToFile();
  writeSpaces(ConsoleOut, 0);
  EXPECT_EQ(ConsoleOut.mode, modeClosed);
}

TEST_F(OutputTest, WriteSpacesStopsAfterARunWhenACodeIsPending) {
  outputToFile();
  pendingIoError = 106;  // stored earlier in the same statement
  writeSpaces(ConsoleOut, 130);
  EXPECT_EQ(ConsoleOut.bufPos, 64u);
  writeSpaces(ConsoleOut, 40);  // 64 or fewer are written regardless
  EXPECT_EQ(ConsoleOut.bufPos, 104u);
}

// ---- Failed writes ----

TEST_F(OutputTest, WriteSpacesStopsAfterTheRunWhoseWriteFailed) {
  outputToPipeWithoutReader();
  SystemCallStandIn standIn;
  // The second run of 64 fills the buffer and its write fails: the 172
  // spaces still to come are not taken into the emptied buffer.
  writeSpaces(ConsoleOut, 300);
  EXPECT_EQ(pendingIoError, std::uint32_t{EPIPE});
  EXPECT_EQ(standIn.writes, 1);
  EXPECT_EQ(ConsoleOut.bufPos, 0u);
}

TEST_F(OutputTest, ReaderClosingItsEndDropsTheHeldBytes) {
  outputToPipeWithoutReader();
  SystemCallStandIn standIn;
  writeText(ConsoleOut, std::string(300, 'x'));
  EXPECT_EQ(pendingIoError, std::uint32_t{EPIPE});
  EXPECT_EQ(ConsoleOut.bufPos, 0u);  // the rest of the call is dropped too
  EXPECT_EQ(standIn.writes, 1);
  EXPECT_EQ(ConsoleOut.mode, modeOutput);

  pendingIoError = 0;
  writeChar(ConsoleOut, 'y');
  EXPECT_EQ(ConsoleOut.bufPos, 1u);
  EXPECT_EQ(closeStandardStreams(), std::uint32_t{EPIPE});
  EXPECT_EQ(ConsoleOut.bufPos, 0u);
}

TEST_F(OutputTest, FullDeviceFailsAtTheLineEnd) {
  auto full = openPath("/dev/full", O_WRONLY);
  standard.redirect(1, full.get());
  writeText(ConsoleOut, "2 1.00 2.00");
  EXPECT_EQ(pendingIoError, 0u);
  writeLine(ConsoleOut);
  EXPECT_EQ(pendingIoError, std::uint32_t{ENOSPC});
  EXPECT_EQ(ConsoleOut.bufPos, 0u);
  EXPECT_EQ(ConsoleOut.mode, modeOutput);
}

TEST_F(OutputTest, FailedWriteInWriteCharDropsTheByte) {
  outputToFile();
  for (int i = 0; i < 128; ++i) writeChar(ConsoleOut, 'c');
  SystemCallStandIn standIn;
  standIn.writeScript = {EIO};
  writeChar(ConsoleOut, 'd');
  EXPECT_EQ(pendingIoError, std::uint32_t{EIO});
  EXPECT_EQ(ConsoleOut.bufPos, 0u);
}

TEST_F(OutputTest, ClosedStandardOutputFailsTheBindingUntilItIsOpen) {
  standard.close(1);
  writeLine(ConsoleOut);
  EXPECT_EQ(pendingIoError, std::uint32_t{ioNotOpenForOutput});
  EXPECT_EQ(ConsoleOut.mode, modeClosed);
  EXPECT_EQ(flushStream(ConsoleOut), 0u);
  EXPECT_EQ(pendingIoError, std::uint32_t{ioNotOpenForOutput});

  pendingIoError = 0;
  const int fd = outputToFile();
  writeLine(ConsoleOut);
  EXPECT_EQ(pendingIoError, 0u);
  EXPECT_EQ(ConsoleOut.mode, modeOutput);
  closeStream(ConsoleOut);
  EXPECT_EQ(testing_support::fileContents(fd), "\r\n");
}

TEST_F(OutputTest, UnknownHandleTypeFailsEveryWriteAndRetriesTheBinding) {
  const int fd = outputToFile();
  SystemCallStandIn standIn;
  standIn.fstatError = EIO;
  writeLine(ConsoleOut);
  EXPECT_EQ(pendingIoError, std::uint32_t{ioNotOpenForOutput});
  EXPECT_EQ(ConsoleOut.mode, modeClosed);
  pendingIoError = 0;
  writeChar(ConsoleOut, 'a');
  EXPECT_EQ(pendingIoError, std::uint32_t{ioNotOpenForOutput});
  pendingIoError = 0;
  writeText(ConsoleOut, "bc");
  EXPECT_EQ(pendingIoError, std::uint32_t{ioNotOpenForOutput});
  EXPECT_EQ(standIn.fstats, 3);  // one binding attempt per write
  EXPECT_EQ(standIn.writes, 0);
  EXPECT_NE(::fcntl(1, F_GETFD), -1);  // the descriptor was not closed

  standIn.fstatError = 0;
  pendingIoError = 0;
  writeText(ConsoleOut, "ok");
  closeStream(ConsoleOut);
  EXPECT_EQ(pendingIoError, 0u);
  EXPECT_EQ(testing_support::fileContents(fd), "ok");
}

// ---- Consoles: every line as it ends ----

TEST_F(OutputTest, ConsoleLineGoesOutInOneWriteAtItsEnd) {
  auto terminal = testing_support::makeTerminal();
  if (terminal.master.get() < 0) GTEST_SKIP() << "no pseudo-terminals here";
  standard.redirect(1, terminal.slave.get());
  SystemCallStandIn standIn;
  writeLine(ConsoleOut);
  writeText(writeChar(writeText(ConsoleOut, "2"), ' '), "1.00 2.00");
  EXPECT_EQ(standIn.writes, 1);
  writeLine(ConsoleOut);
  EXPECT_EQ(standIn.writeSizes, (Sizes{2, 13}));
  EXPECT_EQ(testing_support::readAvailable(terminal.master.get()), "\r\n2 1.00 2.00\r\n");

  // A line that fills the buffer with its line end still goes out in one
  // write; a longer one in a block during the writes and the rest at its end.
  writeText(ConsoleOut, std::string(126, 'y'));
  writeLine(ConsoleOut);
  writeText(ConsoleOut, std::string(200, 'z'));
  writeLine(ConsoleOut);
  EXPECT_EQ(standIn.writeSizes, (Sizes{2, 13, 128, 128, 74}));
  EXPECT_EQ(testing_support::readAvailable(terminal.master.get()),
            std::string(126, 'y') + "\r\n" + std::string(200, 'z') + "\r\n");
  // Room for the line end and one byte more; room for its first byte only.
  writeLine(writeText(ConsoleOut, std::string(125, 'u')));
  writeLine(writeText(ConsoleOut, std::string(127, 'v')));
  EXPECT_EQ(standIn.writeSizes, (Sizes{2, 13, 128, 128, 74, 127, 128, 1}));
  EXPECT_EQ(testing_support::readAvailable(terminal.master.get()),
            std::string(125, 'u') + "\r\n" + std::string(127, 'v') + "\r\n");
  EXPECT_EQ(pendingIoError, 0u);
}

TEST_F(OutputTest, NullDeviceIsAConsole) {
  auto null = openPath("/dev/null", O_WRONLY);
  standard.redirect(1, null.get());
  SystemCallStandIn standIn;
  writeLine(writeText(ConsoleOut, "a"));
  writeLine(ConsoleOut);
  EXPECT_EQ(standIn.writeSizes, (Sizes{3, 2}));
  EXPECT_EQ(closeStandardStreams(), 0u);
  EXPECT_EQ(standIn.writes, 2);
}

TEST_F(OutputTest, ConsoleLineIsReadableBeforeTheNextRead) {
  // The program side runs in a child on the terminal's slave side, as a
  // program started from a terminal does. Each of its reads blocks until
  // this side has seen the line before it and answered.
  auto terminal = testing_support::makeTerminal();
  if (terminal.master.get() < 0) GTEST_SKIP() << "no pseudo-terminals here";
  const int slave = terminal.slave.get();
  const pid_t child = testing_support::startChild([&] {
    ::dup2(slave, 0);
    ::dup2(slave, 1);
    writeLine(ConsoleOut);
    readLine(ConsoleIn);
    const bool ended = skipBlanks(ConsoleIn);
    const StreamByte first = readChar(ConsoleIn);
    writeChar(writeText(ConsoleOut, "got "), first.value);
    writeLine(ConsoleOut);
    // Ctrl-Z ends the input; nothing is read after it.
    const bool atCtrlZ = readChar(ConsoleIn).endOfInput;
    const bool stillEnded = skipBlanks(ConsoleIn);
    closeStandardStreams();
    const bool ok = !ended && first.value == '7' && atCtrlZ && stillEnded;
    return ok ? 0 : 1;
  });
  const int master = terminal.master.get();
  EXPECT_EQ(testing_support::readExpected(master, "\r\n"), "\r\n");
  testing_support::writeAll(master, "rest of the line\n  7");
  EXPECT_EQ(testing_support::readExpected(master, "got 7\r\n"), "got 7\r\n");
  testing_support::writeAll(master,
                            "\x1A"
                            "8\n");
  const int status = testing_support::waitForChild(child, 5000);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(testing_support::drainTerminal(terminal), "");
}

}  // namespace
