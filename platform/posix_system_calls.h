// The operating-system calls of the POSIX platform layer, gathered in one
// table. Every call the layer's input/output part makes goes through this
// table, so that a test can stand in for the operating system: inject EINTR,
// EAGAIN, short writes and failures, or count the reads and writes while
// passing them on to the real calls.
//
// Each slot has the contract of the POSIX call it is named after: on failure
// it returns -1 and leaves the reason in errno.
#pragma once

#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>

namespace platform {

struct SystemCalls {
  ssize_t (*read)(int fd, void* buffer, size_t count);
  ssize_t (*write)(int fd, const void* bytes, size_t count);
  int (*fstat)(int fd, struct stat* status);
  // fcntl(fd, F_GETFD): tells whether a descriptor is open.
  int (*descriptorFlags)(int fd);
  int (*poll)(struct pollfd* fds, nfds_t count, int timeoutMs);
  int (*sigaction)(int signalNumber, const struct sigaction* action, struct sigaction* previous);
  // _exit: must not return.
  void (*exit)(int status);
};

// The operating system's own calls.
const SystemCalls& hostSystemCalls();

// The table in use: the host's calls unless a test has replaced them.
const SystemCalls& systemCalls();

// Replaces the table in use and returns the previous one. Meant for tests;
// not synchronised with calls running on other threads.
SystemCalls setSystemCalls(const SystemCalls& calls);

}  // namespace platform
