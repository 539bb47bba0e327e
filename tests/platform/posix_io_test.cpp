// The input/output part of the POSIX platform layer, over real descriptors,
// with the system-call stand-in where a failure or an interruption has to be
// forced.

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "gtest/gtest.h"
#include "platform/platform.h"
#include "tests/platform/descriptor_support.h"

namespace {

using platform::FileType;
using testing_support::Descriptor;
using testing_support::SystemCallStandIn;

Descriptor openPath(const char* path, int flags) {
  const int fd = ::open(path, flags | O_CLOEXEC);
  EXPECT_GE(fd, 0) << path << ": " << errno;
  return Descriptor(fd);
}

std::string readOnce(int fd, std::uint32_t count, bool& ok) {
  std::string buffer(count, '\0');
  std::uint32_t delivered = 12345;
  ok = platform::readFile(fd, buffer.data(), count, delivered);
  buffer.resize(delivered);
  return buffer;
}

// ---- Handle types ----

TEST(FileType, TellsCharacterDevicesFromDisksAndPipes) {
  auto pipe = testing_support::makePipe();
  auto terminal = testing_support::makeTerminal();
  int sockets[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets), 0);
  Descriptor socketA(sockets[0]), socketB(sockets[1]);
  const std::string folder = testing_support::temporaryFolder();
  const std::string fifoPath = folder + "/fifo";
  ASSERT_EQ(::mkfifo(fifoPath.c_str(), 0600), 0);
  Descriptor fifo = openPath(fifoPath.c_str(), O_RDWR);
  ::unlink(fifoPath.c_str());
  ::rmdir(folder.c_str());

  struct Case {
    const char* what;
    int fd;
    FileType type;
  };
  auto file = testing_support::temporaryFile("x");
  auto directory = openPath("/tmp", O_RDONLY | O_DIRECTORY);
  auto null = openPath("/dev/null", O_RDWR);
  auto full = openPath("/dev/full", O_WRONLY);
  std::vector<Case> cases = {
      {"regular file", file.get(), FileType::disk},
      {"directory", directory.get(), FileType::disk},
      {"pipe, read end", pipe.readEnd.get(), FileType::pipe},
      {"pipe, write end", pipe.writeEnd.get(), FileType::pipe},
      {"socket", socketA.get(), FileType::pipe},
      {"FIFO", fifo.get(), FileType::pipe},
      {"/dev/null", null.get(), FileType::character},
      {"/dev/full", full.get(), FileType::character},
  };
  if (terminal.slave.get() >= 0) {
    cases.push_back({"terminal", terminal.slave.get(), FileType::character});
  }
  for (const Case& c : cases) {
    EXPECT_EQ(platform::fileType(c.fd), c.type) << c.what;
  }
}

TEST(FileType, UnusableHandleIsUnknownWithItsCode) {
  SystemCallStandIn standIn;
  standIn.fstatError = EIO;
  EXPECT_EQ(platform::fileType(1), FileType::unknown);
  EXPECT_EQ(platform::lastError(), std::uint32_t{EIO});
}

// ---- Standard handles ----

TEST(StandardHandle, OpenDescriptorsAreTheHandles) {
  EXPECT_EQ(platform::standardHandle(platform::StandardHandle::input), 0);
  EXPECT_EQ(platform::standardHandle(platform::StandardHandle::output), 1);
  EXPECT_EQ(platform::standardHandle(platform::StandardHandle::error), 2);
}

// A closed standard descriptor is still the handle; its first use tells:
// no type, and a read that fails as on no open descriptor, which a descriptor
// open for writing only is not.
TEST(StandardHandle, ClosedDescriptorShowsAtItsFirstUse) {
  const struct {
    platform::StandardHandle which;
    int fd;
    bool close;
  } cases[] = {{platform::StandardHandle::input, 0, true},
               {platform::StandardHandle::output, 1, true},
               {platform::StandardHandle::error, 2, true},
               {platform::StandardHandle::input, 0, false}};
  for (const auto& c : cases) {
    testing_support::StandardDescriptors standard;
    Descriptor writeOnly = openPath("/dev/null", O_WRONLY);
    c.close ? standard.close(c.fd) : standard.redirect(c.fd, writeOnly.get());
    const platform::Handle handle = platform::standardHandle(c.which);
    const FileType type = platform::fileType(handle);
    bool ok = true;
    readOnce(handle, 1, ok);
    const std::uint32_t code = platform::lastError();
    const bool closed = platform::isClosedHandle(handle, code);
    standard.restore();
    EXPECT_EQ(handle, c.fd);
    EXPECT_EQ(type, c.close ? FileType::unknown : FileType::character) << c.fd;
    EXPECT_FALSE(ok) << c.fd;
    EXPECT_EQ(code, std::uint32_t{EBADF}) << c.fd;
    EXPECT_EQ(closed, c.close) << c.fd;
  }
}

// ---- Reads ----

TEST(ReadFile, DeliversUpToTheCountThenZeroAtTheEnd) {
  auto file = testing_support::temporaryFile("hello");
  bool ok = false;
  EXPECT_EQ(readOnce(file.get(), 3, ok), "hel");
  EXPECT_TRUE(ok);
  EXPECT_EQ(readOnce(file.get(), 128, ok), "lo");
  EXPECT_TRUE(ok);
  EXPECT_EQ(readOnce(file.get(), 128, ok), "");
  EXPECT_TRUE(ok);
}

TEST(ReadFile, PipeWhoseWriterClosedEndsTheData) {
  auto pipe = testing_support::makePipe();
  testing_support::writeAll(pipe.writeEnd.get(), "ab");
  pipe.writeEnd.reset();
  bool ok = false;
  EXPECT_EQ(readOnce(pipe.readEnd.get(), 128, ok), "ab");
  EXPECT_TRUE(ok);
  EXPECT_EQ(readOnce(pipe.readEnd.get(), 128, ok), "");
  EXPECT_TRUE(ok);
}

TEST(ReadFile, FailuresReportTheErrnoValue) {
  auto directory = openPath("/tmp", O_RDONLY | O_DIRECTORY);
  // A stream socket whose peer closed with data unread reports a reset: a
  // failure, not the end of the data.
  int sockets[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets), 0);
  Descriptor reader(sockets[0]), writer(sockets[1]);
  testing_support::writeAll(reader.get(), "unread");
  writer.reset();
  int closedFd = ::dup(0);
  ::close(closedFd);

  const struct {
    const char* what;
    int fd;
    std::uint32_t code;
    bool brokenPipe;
  } cases[] = {
      {"directory", directory.get(), EISDIR, false},
      {"socket reset by its peer", reader.get(), ECONNRESET, false},
      {"closed descriptor", closedFd, EBADF, false},
  };
  for (const auto& c : cases) {
    bool ok = true;
    EXPECT_EQ(readOnce(c.fd, 128, ok), "") << c.what;
    EXPECT_FALSE(ok) << c.what;
    EXPECT_EQ(platform::lastError(), c.code) << c.what;
    EXPECT_EQ(platform::isBrokenPipe(platform::lastError()), c.brokenPipe) << c.what;
  }
  EXPECT_TRUE(platform::isBrokenPipe(EPIPE));
}

TEST(ReadFile, InterruptedReadsAreRepeated) {
  auto file = testing_support::temporaryFile("data");
  SystemCallStandIn standIn;
  standIn.readScript = {EINTR, EINTR};
  bool ok = false;
  EXPECT_EQ(readOnce(file.get(), 128, ok), "data");
  EXPECT_TRUE(ok);
  EXPECT_EQ(standIn.reads, 3);
}

std::atomic<int> alarms{0};
void countAlarm(int) {
  alarms.fetch_add(1);
}

TEST(ReadFile, ReadInterruptedByARealSignalIsRepeated) {
  auto pipe = testing_support::makePipe();
  struct sigaction action {
  }, previous{};
  action.sa_handler = countAlarm;  // no SA_RESTART: the read fails with EINTR
  sigemptyset(&action.sa_mask);
  ASSERT_EQ(::sigaction(SIGALRM, &action, &previous), 0);

  // The data is written only once a read has been interrupted and is being
  // repeated (the second read), so the first one waits for an alarm.
  SystemCallStandIn standIn;
  std::promise<void> repeated;
  std::future<void> readRepeated = repeated.get_future();
  standIn.beforeRead = [&] {
    if (standIn.reads == 2) repeated.set_value();
  };
  // Only this thread may take the alarm.
  sigset_t alarmOnly, old;
  sigemptyset(&alarmOnly);
  sigaddset(&alarmOnly, SIGALRM);
  pthread_sigmask(SIG_BLOCK, &alarmOnly, &old);
  std::thread writer([&] {
    readRepeated.wait();
    testing_support::writeAll(pipe.writeEnd.get(), "late");
  });
  pthread_sigmask(SIG_SETMASK, &old, nullptr);

  // An alarm every 50 ms until the data arrives: a single one could fall
  // before the read begins on a busy machine, and then nothing would be tested.
  alarms = 0;
  struct itimerval timer {};
  timer.it_value.tv_usec = 50'000;
  timer.it_interval.tv_usec = 50'000;
  ::setitimer(ITIMER_REAL, &timer, nullptr);
  bool ok = false;
  const std::string got = readOnce(pipe.readEnd.get(), 128, ok);
  const struct itimerval stop {};
  ::setitimer(ITIMER_REAL, &stop, nullptr);
  if (standIn.reads < 2) repeated.set_value();  // a read that was not repeated
  writer.join();
  ::sigaction(SIGALRM, &previous, nullptr);

  EXPECT_TRUE(ok);
  EXPECT_EQ(got, "late");
  // Every interrupted read was repeated, and only an alarm interrupts one.
  EXPECT_GE(standIn.reads, 2);
  EXPECT_LE(standIn.reads, alarms.load() + 1);
}

TEST(ReadFile, NonBlockingDescriptorWaitsForData) {
  auto pipe = testing_support::makePipe();
  ::fcntl(pipe.readEnd.get(), F_SETFL, O_NONBLOCK);
  // The data is written once the layer, having found the pipe empty, waits.
  SystemCallStandIn standIn;
  std::promise<void> waiting;
  std::future<void> layerWaits = waiting.get_future();
  standIn.beforePoll = [&] {
    if (standIn.polls == 1) waiting.set_value();
  };
  std::thread writer([&] {
    layerWaits.wait();
    testing_support::writeAll(pipe.writeEnd.get(), "x");
  });
  bool ok = false;
  const std::string got = readOnce(pipe.readEnd.get(), 128, ok);
  if (standIn.polls == 0) waiting.set_value();  // a read that did not wait
  writer.join();
  EXPECT_TRUE(ok);
  EXPECT_EQ(got, "x");
  EXPECT_GE(standIn.polls, 1);
}

TEST(ReadFile, FailedWaitIsReported) {
  auto pipe = testing_support::makePipe();
  ::fcntl(pipe.readEnd.get(), F_SETFL, O_NONBLOCK);
  SystemCallStandIn standIn;
  standIn.pollScript = {EINTR, ENOMEM};
  bool ok = true;
  EXPECT_EQ(readOnce(pipe.readEnd.get(), 128, ok), "");
  EXPECT_FALSE(ok);
  EXPECT_EQ(platform::lastError(), std::uint32_t{ENOMEM});
  EXPECT_EQ(standIn.polls, 2);
}

// ---- Writes ----

TEST(WriteFile, ShortAndInterruptedWritesAreContinued) {
  auto pipe = testing_support::makePipe();
  std::string bytes;
  for (int i = 0; i < 100; ++i) bytes.push_back(static_cast<char>('!' + i % 90));
  {
    SystemCallStandIn standIn;
    standIn.writeLimit = 7;
    standIn.writeScript = {0, EINTR, 0, EINTR, EINTR};
    EXPECT_TRUE(platform::writeFile(pipe.writeEnd.get(), bytes.data(), 100));
    EXPECT_EQ(standIn.writes, 15 + 3);  // 15 writes of at most 7, 3 interrupted
  }
  pipe.writeEnd.reset();
  EXPECT_EQ(testing_support::readToEnd(pipe.readEnd.get()), bytes);
}

TEST(WriteFile, FullNonBlockingPipeIsWaitedFor) {
  auto pipe = testing_support::makePipe();
  ::fcntl(pipe.writeEnd.get(), F_SETFL, O_NONBLOCK);
  const std::string bytes(1 << 20, 'q');
  std::string received;
  std::thread reader([&] { received = testing_support::readToEnd(pipe.readEnd.get()); });
  SystemCallStandIn standIn;
  const bool ok = platform::writeFile(pipe.writeEnd.get(), bytes.data(),
                                      static_cast<std::uint32_t>(bytes.size()));
  EXPECT_GE(standIn.polls, 1);  // the pipe holds far less than 1 MiB
  pipe.writeEnd.reset();
  reader.join();
  EXPECT_TRUE(ok);
  EXPECT_EQ(received.size(), bytes.size());
  EXPECT_EQ(received, bytes);
}

TEST(WriteFile, FailuresReportTheErrnoValue) {
  platform::initPlatform();
  auto full = openPath("/dev/full", O_WRONLY);
  auto pipe = testing_support::makePipe();
  pipe.readEnd.reset();
  auto readOnly = openPath("/dev/null", O_RDONLY);
  // A memory file sealed against writes refuses them with EPERM, whose number
  // is 1: the smallest code there is.
  testing_support::Descriptor sealed(::memfd_create("sealed", MFD_ALLOW_SEALING));
  ASSERT_EQ(::fcntl(sealed.get(), F_ADD_SEALS, F_SEAL_WRITE), 0);
  int closedFd = ::dup(0);
  ::close(closedFd);
  const struct {
    const char* what;
    int fd;
    std::uint32_t code;
  } cases[] = {
      {"memory file sealed against writes", sealed.get(), EPERM},
      {"full device", full.get(), ENOSPC},
      {"pipe whose reader closed", pipe.writeEnd.get(), EPIPE},
      {"descriptor open for reading only", readOnly.get(), EBADF},
      {"closed descriptor", closedFd, EBADF},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(platform::writeFile(c.fd, "abc", 3)) << c.what;
    EXPECT_EQ(platform::lastError(), c.code) << c.what;
  }
}

TEST(WriteFile, WriteThatMakesNoProgressFails) {
  auto file = testing_support::temporaryFile();
  SystemCallStandIn standIn;
  standIn.writeResult = 0;
  EXPECT_FALSE(platform::writeFile(file.get(), "abc", 3));
  EXPECT_EQ(platform::lastError(), std::uint32_t{EIO});
  EXPECT_EQ(standIn.writes, 1);
}

TEST(WriteFile, FileSizeLimitFailsWithTooLarge) {
  auto file = testing_support::temporaryFile();
  const int status = testing_support::runInChild([&] {
    platform::initPlatform();
    struct rlimit limit = {10, 10};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    if (platform::writeFile(file.get(), "0123456789abc", 13)) return 1;
    return static_cast<int>(platform::lastError());
  });
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), EFBIG);
  EXPECT_EQ(testing_support::fileContents(file.get()), "0123456789");
}

// ---- Start-up, exit, release, last error ----

TEST(InitPlatform, WriteToClosedPipeFailsInsteadOfEndingTheProcess) {
  for (const bool initialised : {false, true}) {
    auto pipe = testing_support::makePipe();
    pipe.readEnd.reset();
    const int status = testing_support::runInChild([&] {
      ::signal(SIGPIPE, SIG_DFL);
      if (initialised) platform::initPlatform();
      if (platform::writeFile(pipe.writeEnd.get(), "x", 1)) return 1;
      return static_cast<int>(platform::lastError());
    });
    if (initialised) {
      ASSERT_TRUE(WIFEXITED(status)) << status;
      EXPECT_EQ(WEXITSTATUS(status), EPIPE);
    } else {
      ASSERT_TRUE(WIFSIGNALED(status)) << status;
      EXPECT_EQ(WTERMSIG(status), SIGPIPE);
    }
  }
}

TEST(ExitProcess, EndsWithTheLowEightBitsOfTheCode) {
  const struct {
    std::uint32_t code;
    int status;
  } cases[] = {{0, 0}, {7, 7}, {255, 255}, {300, 44}};
  for (const auto& c : cases) {
    const int status = testing_support::runInChild([&]() -> int { platform::exitProcess(c.code); });
    ASSERT_TRUE(WIFEXITED(status)) << c.code;
    EXPECT_EQ(WEXITSTATUS(status), c.status) << c.code;
  }
}

TEST(ReleaseHandle, LeavesTheDescriptorOpen) {
  auto file = testing_support::temporaryFile();
  platform::releaseHandle(file.get());
  EXPECT_NE(::fcntl(file.get(), F_GETFD), -1);
}

// The texts that messages give for failures' codes, and for a code without one.
TEST(ErrorText, TextsOfTheCodesThatMessagesName) {
  for (const auto& [code, expected] :
       {std::pair<std::uint32_t, std::string>{2, "No such file or directory"},
        {20, "Not a directory"},
        {32, "Broken pipe"},
        {122, "Disk quota exceeded"},
        {3, "Unknown error 3"}}) {
    char text[64];
    EXPECT_EQ(std::string(text, platform::errorText(code, text, sizeof text)), expected);
  }
}

}  // namespace
