// Reading through ConsoleIn over real files, pipes, sockets, a directory and
// a closed descriptor; the stand-in counts the reads.

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <string>

#include "tests/platform/descriptor_support.h"
#include "tests/textio/text_stream_fixture.h"
#include "textio/record_input.h"
#include "textio/text_stream.h"

namespace {

using stream_testing::TextStreamTest;
using testing_support::SystemCallStandIn;

// Runs `operations` on ConsoleIn and describes what each one gave:
//   c  readChar: the byte as a number, or "end"
//   s  skipBlanks: "blank-end" or "blank-more"
//   l  readLine: "line"
std::string transcript(const std::string& operations) {
  std::string out;
  for (const char op : operations) {
    if (!out.empty()) out += ' ';
    switch (op) {
      case 'c': {
        const StreamByte next = readChar(ConsoleIn);
        if (next.endOfInput) {
          out += "end";
          EXPECT_EQ(next.value, 26);
        } else {
          out += std::to_string(next.value);
        }
        break;
      }
      case 's':
        out += skipBlanks(ConsoleIn) ? "blank-end" : "blank-more";
        break;
      case 'l':
        readLine(ConsoleIn);
        out += "line";
        break;
    }
  }
  return out;
}

std::string allBlanksButCtrlZ() {
  std::string blanks;
  for (int byte = 0; byte <= 32; ++byte) {
    if (byte != 26) blanks.push_back(static_cast<char>(byte));
  }
  return blanks;
}

struct InputCase {
  const char* what;
  std::string input;
  std::string operations;
  std::string expected;
  int reads;
};

const InputCase inputCases[] = {
    {"empty input", "", "cccsl", "end end end blank-end line", 1},
    {"end without a line end", "7", "lcc", "line end end", 2},
    {"Ctrl-Z in the middle",
     std::string("12\x1A"
                 "34\n",
                 6),
     "cccccsl", "49 50 end end end blank-end line", 1},
    {"Ctrl-Z first",
     "\x1A"
     "5",
     "sccl", "blank-end end end line", 1},
    {"x CR y LF z", "x\ry\nz", "lcc", "line 122 end", 2},
    {"CR LF", "\r\nq", "lc", "line 113", 1},
    {"lone CR is part of the line", "a\rb\r\n\rc\n", "lclc", "line 13 line end", 2},
    {"every blank but Ctrl-Z", allBlanksButCtrlZ() + "5 ", "scsc", "blank-more 53 blank-end end",
     2},
    {"NUL is a blank",
     std::string("\0\0"
                 "9",
                 3),
     "sc", "blank-more 57", 1},
    {"bytes above 32 are not blanks", "!\x7F\xFF", "sccc", "blank-more 33 127 255", 1},
};

TEST_F(TextStreamTest, InputFromFilesAndPipes) {
  for (const bool fromPipe : {false, true}) {
    for (const InputCase& c : inputCases) {
      SetUp();
      if (fromPipe) {
        inputFromPipe(c.input);
      } else {
        inputFromFile(c.input);
      }
      SystemCallStandIn standIn;
      EXPECT_EQ(transcript(c.operations), c.expected) << c.what << (fromPipe ? " (pipe)" : "");
      EXPECT_EQ(standIn.reads, c.reads) << c.what << (fromPipe ? " (pipe)" : "");
      EXPECT_EQ(pendingIoError, 0u) << c.what;
    }
  }
}

TEST_F(TextStreamTest, NumbersOnSeveralLinesReadLikeOneLine) {
  const auto tokens = [this](const std::string& input) {
    SetUp();
    inputFromFile(input);
    std::string all;
    while (!skipBlanks(ConsoleIn)) {
      for (StreamByte b = readChar(ConsoleIn); !b.endOfInput && b.value > 32;
           b = readChar(ConsoleIn)) {
        all.push_back(static_cast<char>(b.value));
      }
      all.push_back('|');
    }
    return all;
  };
  EXPECT_EQ(tokens("1 -3 2\r\n"), "1|-3|2|");
  EXPECT_EQ(tokens("1\r\n-3\r\n\t2"), "1|-3|2|");
  EXPECT_EQ(tokens(std::string("\f1\0-3\v\v2\x1A 4", 11)), "1|-3|2|");
}

TEST_F(TextStreamTest, InputReadInBlocksOf128) {
  std::string input(300, 'a');
  input[127] = 'b';
  input[128] = 'c';
  input[299] = '\n';
  inputFromFile(input);
  SystemCallStandIn standIn;
  std::string got;
  for (StreamByte b = readChar(ConsoleIn); !b.endOfInput; b = readChar(ConsoleIn)) {
    got.push_back(static_cast<char>(b.value));
  }
  EXPECT_EQ(got, input);
  EXPECT_EQ(standIn.readSizes, (std::vector<std::size_t>{128, 128, 44, 0}));
}

TEST_F(TextStreamTest, UnreadCharDeliversTheSameByteAgain) {
  inputFromFile("ab");
  EXPECT_EQ(readChar(ConsoleIn).value, 'a');
  unreadChar(ConsoleIn);
  EXPECT_EQ(readChar(ConsoleIn).value, 'a');
  EXPECT_EQ(readChar(ConsoleIn).value, 'b');
  unreadChar(ConsoleIn);
  EXPECT_EQ(readChar(ConsoleIn).value, 'b');
  EXPECT_TRUE(readChar(ConsoleIn).endOfInput);
}

TEST_F(TextStreamTest, WriterClosingItsEndIsTheEndOfInput) {
  auto pipe = testing_support::makePipe();
  standard.redirect(0, pipe.readEnd.get());
  pipe.readEnd.reset();
  testing_support::writeAll(pipe.writeEnd.get(), "ab");
  EXPECT_EQ(transcript("c"), "97");
  testing_support::writeAll(pipe.writeEnd.get(), "c");
  pipe.writeEnd.reset();
  SystemCallStandIn standIn;
  EXPECT_EQ(transcript("cccc"), "98 99 end end");
  EXPECT_EQ(standIn.reads, 2);
  EXPECT_EQ(pendingIoError, 0u);
}

TEST_F(TextStreamTest, BrokenPipeIsTheEndOfInputNotAnError) {
  auto file = testing_support::temporaryFile("5 ");
  standard.redirect(0, file.get());
  SystemCallStandIn standIn;
  standIn.readScript = {EPIPE};
  EXPECT_EQ(transcript("cc"), "end end");
  EXPECT_EQ(standIn.reads, 1);
  EXPECT_EQ(pendingIoError, 0u);
}

TEST_F(TextStreamTest, SocketResetIsAFailedReadAfterTheDataSent) {
  // The peer of a stream socket goes away with data of ours unread: reads
  // first deliver what it sent, then fail with a reset.
  int sockets[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets), 0);
  testing_support::Descriptor ours(sockets[0]), peer(sockets[1]);
  testing_support::writeAll(ours.get(), "unread by the peer");
  testing_support::writeAll(peer.get(), "5 ");
  peer.reset();
  standard.redirect(0, ours.get());

  SystemCallStandIn standIn;
  EXPECT_EQ(transcript("ccc"), "53 32 end");
  EXPECT_EQ(standIn.reads, 2);
  EXPECT_EQ(pendingIoError, std::uint32_t{ECONNRESET});
}

TEST_F(TextStreamTest, ReadFailureIsPendingAndTheNextReadTriesAgain) {
  auto directory = ::open("/tmp", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(directory, 0);
  testing_support::Descriptor closeLater(directory);
  standard.redirect(0, directory);

  SystemCallStandIn standIn;
  EXPECT_EQ(transcript("c"), "end");
  EXPECT_EQ(pendingIoError, std::uint32_t{EISDIR});
  EXPECT_EQ(ConsoleIn.bufEnd, 0u);
  EXPECT_EQ(transcript("sl"), "blank-end line");
  EXPECT_EQ(standIn.reads, 3);
  EXPECT_EQ(ConsoleIn.mode, modeInput);
}

TEST_F(TextStreamTest, ReadSucceedsAfterAFailedRead) {
  inputFromFile("ok");
  SystemCallStandIn standIn;
  standIn.readScript = {EIO};
  EXPECT_EQ(transcript("cccc"), "end 111 107 end");
  EXPECT_EQ(pendingIoError, std::uint32_t{EIO});  // nothing here clears it
  EXPECT_EQ(standIn.reads, 3);
}

TEST_F(TextStreamTest, ClosedStandardInputFailsTheBindingUntilItIsOpen) {
  standard.close(0);
  EXPECT_EQ(transcript("csl"), "end blank-end line");
  EXPECT_EQ(pendingIoError, std::uint32_t{ioNotOpenForInput});
  EXPECT_EQ(ConsoleIn.mode, modeClosed);

  pendingIoError = 0;
  inputFromFile("z");
  EXPECT_EQ(transcript("cc"), "122 end");
  EXPECT_EQ(pendingIoError, 0u);
  EXPECT_EQ(ConsoleIn.mode, modeInput);
}

TEST_F(TextStreamTest, UninitialisedRecordIsNotBound) {
  inputFromFile("z");
  ConsoleIn.mode = 0;  // as at load, before start-up
  SystemCallStandIn standIn;
  EXPECT_EQ(transcript("c"), "end");
  EXPECT_EQ(pendingIoError, std::uint32_t{ioNotOpenForInput});
  EXPECT_EQ(ConsoleIn.mode, 0);
  EXPECT_EQ(standIn.reads + standIn.descriptorChecks, 0);
}

TEST_F(TextStreamTest, WithoutCrLfStyleCtrlZIsDataAndTheEndIsNotRemembered) {
  inputFromFile(
      "a\x1A"
      "b");
  TextStream plain{};
  plain.mode = modeClosed;
  ASSERT_EQ(openStream(plain, modeInput), 0u);
  SystemCallStandIn standIn;
  std::string got;
  for (int i = 0; i < 5; ++i) {
    const StreamByte b = readChar(plain);
    got += b.endOfInput ? "end " : std::to_string(b.value) + " ";
  }
  EXPECT_EQ(got, "97 26 98 end end ");
  EXPECT_EQ(standIn.reads, 3);  // the data, then one read per call at the end
}

// The records of a file as the word-at-a-time line-feed scan cuts them, against
// the bytes cut at each line feed: seeded bytes next to a line feed's value (no
// borrow may mark one), in a buffer of odd size, so words start at any offset.
TEST_F(TextStreamTest, RecordsEndAtEachLineFeedLikeTheBytesSay) {
  constexpr char bytes[] = {'\n', 0x00, 0x01, 0x09, 0x0B, 0x0D, 0x1A, '\x8A', '\x89', '\xFF', 'x'};
  std::mt19937 random(20261208);
  std::string content;
  while (content.size() < 400000) content += bytes[random() % sizeof bytes];
  content += "last";  // a last record without a line feed
  inputFromFile(content);
  static std::uint8_t block[4099];
  ASSERT_EQ(setStreamBuffer(ConsoleIn, modeInput, block, sizeof block), 0u);
  useRecordSource(ConsoleIn);
  std::size_t at = 0;
  while (startInputRecord()) {
    std::string record;
    do {
      ASSERT_EQ(RecordIn.transferOp(RecordIn), 0u);
      record.append(reinterpret_cast<const char*>(RecordIn.bufPtr), RecordIn.bufEnd);
    } while (RecordIn.bufEnd != 0);
    ASSERT_EQ(record, content.substr(at, content.find('\n', at) + 1 - at)) << "at " << at;
    at += record.size();
  }
  EXPECT_EQ(at, content.size());
}

}  // namespace
