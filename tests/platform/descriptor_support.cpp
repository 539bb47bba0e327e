#include "tests/platform/descriptor_support.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "gtest/gtest.h"

namespace testing_support {

namespace {

// Moves a new descriptor above the standard ones, so that a test that closed
// one of them does not get it back by accident.
int aboveStandard(int fd) {
  if (fd < 0 || fd > 2) return fd;
  const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
  ::close(fd);
  return moved;
}

// The temporary directory: TMPDIR, or /tmp.
std::string temporaryDirectory() {
  const char* dir = std::getenv("TMPDIR");
  return dir != nullptr && *dir != '\0' ? dir : "/tmp";
}

}  // namespace

Descriptor& Descriptor::operator=(Descriptor&& other) noexcept {
  if (this != &other) {
    reset();
    fd_ = other.release();
  }
  return *this;
}

int Descriptor::release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

void Descriptor::reset() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

Descriptor temporaryFile(const std::string& contents) {
  std::string path = temporaryDirectory() + "/streamsXXXXXX";
  const int fd = aboveStandard(::mkstemp(path.data()));
  if (fd < 0) ADD_FAILURE() << "mkstemp: " << errno;
  ::unlink(path.c_str());
  Descriptor file(fd);
  writeAll(fd, contents);
  ::lseek(fd, 0, SEEK_SET);
  return file;
}

std::string temporaryFolder() {
  std::string path = temporaryDirectory() + "/streamsXXXXXX";
  if (::mkdtemp(path.data()) == nullptr) ADD_FAILURE() << "mkdtemp: " << errno;
  return path;
}

std::string fileContents(int fd) {
  std::string all;
  char chunk[4096];
  for (off_t at = 0;;) {
    const ssize_t got = ::pread(fd, chunk, sizeof chunk, at);
    if (got <= 0) break;
    all.append(chunk, static_cast<std::size_t>(got));
    at += got;
  }
  return all;
}

Pipe makePipe() {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) ADD_FAILURE() << "pipe: " << errno;
  return Pipe{Descriptor(aboveStandard(ends[0])), Descriptor(aboveStandard(ends[1]))};
}

Terminal makeTerminal() {
  int master = -1;
  int slave = -1;
  if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return Terminal{};
  struct termios mode {};
  ::tcgetattr(slave, &mode);
  ::cfmakeraw(&mode);
  mode.c_cc[VMIN] = 1;
  mode.c_cc[VTIME] = 0;
  ::tcsetattr(slave, TCSANOW, &mode);
  Terminal terminal{Descriptor(aboveStandard(master)), Descriptor(aboveStandard(slave))};
  for (const int fd : {terminal.master.get(), terminal.slave.get()})
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  return terminal;
}

void writeAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      ADD_FAILURE() << "write: " << errno;
      return;
    }
    done += static_cast<std::size_t>(put);
  }
}

std::string readAvailable(int fd, int timeoutMs, std::size_t limit) {
  std::string got;
  char chunk[4096];
  while (got.size() < limit) {
    struct pollfd entry = {fd, POLLIN, 0};
    if (::poll(&entry, 1, timeoutMs) <= 0) break;
    const ssize_t n = ::read(fd, chunk, std::min(sizeof chunk, limit - got.size()));
    if (n <= 0) break;
    got.append(chunk, static_cast<std::size_t>(n));
  }
  return got;
}

std::string readToEnd(int fd) {
  std::string got;
  char chunk[4096];
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got.append(chunk, static_cast<std::size_t>(n));
  }
  return got;
}

std::string readTerminalUntilChildEnds(Terminal& terminal, pid_t child, int& status,
                                       int timeoutMs) {
  // Read on a thread of its own, so that a child that writes more than the
  // terminal holds is not left waiting for room while this one waits for it.
  std::string output;
  std::thread reader([&] { output = readToEnd(terminal.master.get()); });
  status = waitForChild(child, timeoutMs);
  terminal.slave.reset();
  reader.join();
  return output;
}

std::string drainTerminal(Terminal& terminal) {
  terminal.slave.reset();
  return readToEnd(terminal.master.get());
}

StandardDescriptors::StandardDescriptors() {
  for (int fd = 0; fd < 3; ++fd) saved_[fd] = ::fcntl(fd, F_DUPFD_CLOEXEC, 10);
}

StandardDescriptors::~StandardDescriptors() {
  restore();
  for (int fd : saved_) {
    if (fd >= 0) ::close(fd);
  }
}

void StandardDescriptors::redirect(int standardFd, int fd) {
  if (::dup2(fd, standardFd) != standardFd) ADD_FAILURE() << "dup2: " << errno;
}

void StandardDescriptors::close(int standardFd) {
  ::close(standardFd);
}

void StandardDescriptors::restore() {
  for (int fd = 0; fd < 3; ++fd) {
    if (saved_[fd] >= 0) {
      ::dup2(saved_[fd], fd);
    } else {
      ::close(fd);
    }
  }
}

pid_t startChild(const std::function<int()>& body) {
  std::fflush(nullptr);
  const pid_t child = ::fork();
  if (child == 0) ::_exit(body());
  return child;
}

int waitForChild(pid_t child, int timeoutMs) {
  int status = 0;
  for (int waited = 0;; waited += 5) {
    const pid_t done = ::waitpid(child, &status, WNOHANG);
    if (done == child) return status;
    if (done < 0 && errno != EINTR) return -1;
    if (waited >= timeoutMs) {
      ADD_FAILURE() << "child " << child << " did not end in time";
      ::kill(child, SIGKILL);
      ::waitpid(child, &status, 0);
      return status;
    }
    ::usleep(5000);
  }
}

int runInChild(const std::function<int()>& body) {
  return waitForChild(startChild(body));
}

std::string readExpected(int fd, const std::string& expected, int timeoutMs) {
  std::string got;
  char chunk[256];
  while (got.size() < expected.size()) {
    struct pollfd entry = {fd, POLLIN, 0};
    if (::poll(&entry, 1, timeoutMs) <= 0) break;
    const ssize_t n = ::read(fd, chunk, std::min(sizeof chunk, expected.size() - got.size()));
    if (n <= 0) break;
    got.append(chunk, static_cast<std::size_t>(n));
  }
  return got;
}

namespace {

SystemCallStandIn* active = nullptr;

// Takes the next scripted entry; 0 when the script is empty.
int nextScripted(std::deque<int>& script) {
  if (script.empty()) return 0;
  const int code = script.front();
  script.pop_front();
  return code;
}

// A failure as the kernel reports it: the negated error number.
long failure(int code) {
  return -static_cast<long>(code);
}

const platform::SystemCalls standInCalls = {
    .read = [](int fd, void* buffer, std::size_t count) -> long {
      ++active->reads;
      if (const int code = nextScripted(active->readScript); code != 0) return failure(code);
      if (active->beforeRead) active->beforeRead();
      const long got = platform::hostSystemCalls().read(fd, buffer, count);
      if (got >= 0) active->readSizes.push_back(static_cast<std::size_t>(got));
      return got;
    },
    .write = [](int fd, const void* bytes, std::size_t count) -> long {
      ++active->writes;
      if (const int code = nextScripted(active->writeScript); code != 0) return failure(code);
      const std::size_t request = std::min(count, active->writeLimit);
      if (active->writeResult >= 0) {
        active->writeSizes.push_back(static_cast<std::size_t>(active->writeResult));
        return active->writeResult;
      }
      const long put = platform::hostSystemCalls().write(fd, bytes, request);
      if (put >= 0) active->writeSizes.push_back(static_cast<std::size_t>(put));
      return put;
    },
    .fileStatus =
        [](int fd, platform::kernel::FileStatus* status) {
          ++active->fstats;
          if (active->fstatError != 0) return failure(active->fstatError);
          return platform::hostSystemCalls().fileStatus(fd, status);
        },
    .descriptorFlags =
        [](int fd) {
          ++active->descriptorChecks;
          return platform::hostSystemCalls().descriptorFlags(fd);
        },
    .poll =
        [](platform::kernel::PollEntry* entries, unsigned count) {
          ++active->polls;
          if (const int code = nextScripted(active->pollScript); code != 0) return failure(code);
          if (active->beforePoll) active->beforePoll();
          return platform::hostSystemCalls().poll(entries, count);
        },
};

}  // namespace

SystemCallStandIn::SystemCallStandIn() : previous_(platform::setSystemCalls(standInCalls)) {
  active = this;
}

SystemCallStandIn::~SystemCallStandIn() {
  platform::setSystemCalls(previous_);
  active = nullptr;
}

}  // namespace testing_support
