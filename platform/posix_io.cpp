// The input/output part of the platform layer on POSIX: standard handles,
// handle types, reads, writes, the last error code and the process exit.
//
// Handles are file descriptors; the standard handles are descriptors 0, 1 and
// 2. Reads and writes block as the synchronous Windows calls do: an
// interrupted call is repeated, and on a descriptor that was left non-blocking
// the call waits for it to become ready instead of failing with EAGAIN.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>

#include "platform/platform.h"
#include "platform/posix_system_calls.h"

namespace platform {

namespace {

constexpr SystemCalls hostCalls = {
    .read = [](int fd, void* buffer, size_t count) { return ::read(fd, buffer, count); },
    .write = [](int fd, const void* bytes, size_t count) { return ::write(fd, bytes, count); },
    .fstat = [](int fd, struct stat* status) { return ::fstat(fd, status); },
    .descriptorFlags = [](int fd) { return ::fcntl(fd, F_GETFD); },
    .poll = [](struct pollfd* fds, nfds_t count,
               int timeoutMs) { return ::poll(fds, count, timeoutMs); },
    .sigaction =
        [](int signalNumber, const struct sigaction* action, struct sigaction* previous) {
          return ::sigaction(signalNumber, action, previous);
        },
    .exit = [](int status) { ::_exit(status); },
};

constinit SystemCalls currentCalls = hostCalls;

// Like GetLastError, the code belongs to the calling thread.
thread_local std::uint32_t lastErrorCode = 0;

// Largest count handed to one read or write; Linux transfers at most this
// much in one call anyway, and it keeps the count within ssize_t everywhere.
constexpr std::size_t maxTransfer = 0x7FFFF000;

// Records the errno value of a failed call. A failure always leaves a nonzero
// code, so that no caller can mistake it for success.
void recordFailure(int code) {
  lastErrorCode = code != 0 ? static_cast<std::uint32_t>(code) : EIO;
}

// Waits until a non-blocking descriptor is ready for `events`. False (with the
// code recorded) when the wait itself fails.
bool waitUntilReady(int fd, short events) {
  for (;;) {
    struct pollfd entry = {.fd = fd, .events = events, .revents = 0};
    if (currentCalls.poll(&entry, 1, -1) >= 0) return true;
    if (errno != EINTR) {
      recordFailure(errno);
      return false;
    }
  }
}

// After a read or write on `fd` failed with errno `code`: true when the call
// is to be repeated (it was interrupted, or the descriptor is non-blocking and
// has now become ready for `events`); false, with the code recorded, when the
// failure stands.
bool repeatAfterFailure(int fd, int code, short events) {
  if (code == EINTR) return true;
  if (code == EAGAIN || code == EWOULDBLOCK) return waitUntilReady(fd, events);
  recordFailure(code);
  return false;
}

int descriptorOf(Handle handle) {
  return static_cast<int>(handle);
}

}  // namespace

const SystemCalls& hostSystemCalls() {
  return hostCalls;
}

const SystemCalls& systemCalls() {
  return currentCalls;
}

SystemCalls setSystemCalls(const SystemCalls& calls) {
  const SystemCalls previous = currentCalls;
  currentCalls = calls;
  return previous;
}

Handle standardHandle(StandardHandle which) {
  int fd;
  switch (which) {
    case StandardHandle::input:
      fd = STDIN_FILENO;
      break;
    case StandardHandle::output:
      fd = STDOUT_FILENO;
      break;
    case StandardHandle::error:
      fd = STDERR_FILENO;
      break;
    default:
      recordFailure(EINVAL);
      return invalidHandle;
  }
  // A descriptor that is not open is no handle: the next open() could take
  // its number, and output would land in whatever file that is.
  if (currentCalls.descriptorFlags(fd) == -1) {
    recordFailure(errno);
    return invalidHandle;
  }
  return fd;
}

FileType fileType(Handle handle) {
  struct stat status {};
  if (currentCalls.fstat(descriptorOf(handle), &status) != 0) {
    recordFailure(errno);
    return FileType::unknown;
  }
  switch (status.st_mode & S_IFMT) {
    case S_IFCHR:  // terminals, /dev/null, /dev/full, ...
      return FileType::character;
    case S_IFREG:
    case S_IFDIR:
    case S_IFBLK:
      return FileType::disk;
    case S_IFIFO:
    case S_IFSOCK:
      return FileType::pipe;
    default:
      return FileType::unknown;
  }
}

bool readFile(Handle handle, void* buffer, std::uint32_t count, std::uint32_t& delivered) {
  delivered = 0;
  const int fd = descriptorOf(handle);
  const std::size_t request = count < maxTransfer ? count : maxTransfer;
  for (;;) {
    const ssize_t got = currentCalls.read(fd, buffer, request);
    if (got >= 0) {
      delivered = static_cast<std::uint32_t>(got);
      return true;
    }
    if (!repeatAfterFailure(fd, errno, POLLIN)) return false;
  }
}

bool writeFile(Handle handle, const void* bytes, std::uint32_t count) {
  const int fd = descriptorOf(handle);
  const auto* next = static_cast<const unsigned char*>(bytes);
  std::size_t left = count;
  while (left > 0) {
    const std::size_t request = left < maxTransfer ? left : maxTransfer;
    const ssize_t put = currentCalls.write(fd, next, request);
    if (put > 0) {
      next += put;
      left -= static_cast<std::size_t>(put);
      continue;
    }
    if (put == 0) {
      // No progress and no reason given: repeating could loop for ever.
      recordFailure(EIO);
      return false;
    }
    if (!repeatAfterFailure(fd, errno, POLLOUT)) return false;
  }
  return true;
}

std::uint32_t lastError() {
  return lastErrorCode;
}

bool isBrokenPipe(std::uint32_t code) {
  return code == EPIPE || code == ECONNRESET;
}

void releaseHandle(Handle) {
  // Nothing to release: the standard descriptors stay open, since closing one
  // would let the next open() reuse its number.
}

void exitProcess(std::uint32_t code) {
  currentCalls.exit(static_cast<int>(code & 0xFF));
  // Only a stand-in that broke its contract gets here.
  ::_exit(static_cast<int>(code & 0xFF));
}

void initPlatform() {
  // A write to a pipe whose reader has gone, or beyond the file-size limit,
  // then fails with EPIPE or EFBIG and becomes a reported error, instead of a
  // signal ending the process with held output unwritten.
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  currentCalls.sigaction(SIGPIPE, &ignore, nullptr);
  currentCalls.sigaction(SIGXFSZ, &ignore, nullptr);
}

}  // namespace platform
