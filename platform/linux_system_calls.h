// The system calls of the Linux platform layer. Every call goes to the kernel
// through platformSystemCall, the one system-call routine of each processor
// (linux_<processor>.S); no C library stands in between, in the program or in
// its tests.
//
// The calls that read and write, and that inspect descriptors, go through a
// table, so that a test can stand in for the kernel: inject EINTR, EAGAIN,
// short writes and failures, or count the calls while passing them on. The
// table is constant data. Which table is in use is decided at link time: the
// program links linux_system_call_table.cpp, whose systemCalls() is the
// kernel's table with no pointer in writable memory to choose it; a test
// program links its own systemCalls() and setSystemCalls() instead
// (tests/platform/system_call_seam.cpp), and the library's member is then
// left out. Ending the process and the signal set-up are never routed
// through it.
//
// Each slot has the contract of the system call it is named after and returns
// the kernel's result: a count or 0 on success, the negated error number on
// failure (kernel::failed, kernel::errorOf).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/linux_kernel.h"

// Makes system call `number` with up to five arguments (unused ones are
// ignored) and returns the kernel's result. Async-signal-safe.
extern "C" long platformSystemCall(long a0, long a1, long a2, long a3, long a4, long number);

namespace platform {

namespace kernel {

// platformSystemCall with typed arguments.
template <typename... Arguments>
long call(Call number, Arguments... arguments) {
  static_assert(sizeof...(Arguments) <= 5, "a system call takes at most five arguments here");
  long values[5] = {(long)(arguments)...};
  return platformSystemCall(values[0], values[1], values[2], values[3], values[4],
                            static_cast<long>(number));
}

// rt_sigaction with the kernel's signal set: installs `action` (when not
// null) and keeps the one before in `previous` (when not null).
inline long setSignalAction(int signal, const SignalAction* action, SignalAction* previous) {
  return call(Call::signalAction, signal, action, previous, sizeof(SignalSet));
}

// Gives `signal` a handler value that is no function (handlerDefault,
// handlerIgnore), with no flags.
inline long setSignalHandler(int signal, std::uintptr_t handler) {
  SignalAction action{};
  action.handler = handler;
  return setSignalAction(signal, &action, nullptr);
}

// Sends `signal` to the calling thread, as raise() does (not to the process,
// which could hand it to another thread). Async-signal-safe.
inline long raiseSignal(int signal) {
  return call(Call::sendSignalToThread, call(Call::processId), call(Call::threadId), signal);
}

}  // namespace kernel

struct SystemCalls {
  long (*read)(int fd, void* buffer, std::size_t count);
  long (*write)(int fd, const void* bytes, std::size_t count);
  long (*fileStatus)(int fd, kernel::FileStatus* status);
  // fcntl(fd, F_GETFD): tells whether a descriptor is open.
  long (*descriptorFlags)(int fd);
  // Waits without a time limit until one of the entries is ready.
  long (*poll)(kernel::PollEntry* entries, unsigned count);
};

// The kernel's own calls.
const SystemCalls& hostSystemCalls();

// The table in use: in the program, always the kernel's calls; in a test
// program, the table that its setSystemCalls() put in use.
const SystemCalls& systemCalls();

// Defined by test programs only: puts `calls` in use and returns the table
// used before. The table must outlive its use. Not synchronised with calls
// running on other threads.
const SystemCalls& setSystemCalls(const SystemCalls& calls);

}  // namespace platform
