// The input/output part of the platform layer on Linux: standard handles,
// handle types, reads, writes, the last error code and the process exit.
//
// Handles are file descriptors; the standard handles are descriptors 0, 1 and
// 2. Reads and writes block as the synchronous Windows calls do: an
// interrupted call is repeated, and on a descriptor that was left non-blocking
// the call waits for it to become ready instead of failing with EAGAIN.

#include <cstddef>
#include <cstdint>

#include "platform/linux_kernel.h"
#include "platform/linux_signals.h"
#include "platform/linux_system_calls.h"
#include "platform/platform.h"

namespace platform {

namespace {

constexpr SystemCalls hostCalls = {
    .read = [](int fd, void* buffer,
               std::size_t count) { return kernel::call(kernel::Call::read, fd, buffer, count); },
    .write = [](int fd, const void* bytes,
                std::size_t count) { return kernel::call(kernel::Call::write, fd, bytes, count); },
    .fileStatus =
        [](int fd, kernel::FileStatus* status) {
          return kernel::call(kernel::Call::fileStatus, fd, status);
        },
    .descriptorFlags =
        [](int fd) {
          return kernel::call(kernel::Call::control, fd, kernel::controlGetDescriptorFlags);
        },
    .poll =
        [](kernel::PollEntry* entries, unsigned count) {
          // No time limit and no signal mask: a plain poll.
          return kernel::call(kernel::Call::pollWithMask, entries, count, nullptr, nullptr);
        },
};

// The code of the last failure. Process-wide: the program starts no thread,
// and a per-thread variable would need a thread pointer set up at start-up.
std::uint32_t lastErrorCode = 0;

// Largest count handed to one read or write; Linux transfers at most this
// much in one call anyway, and it keeps the count within a signed long
// everywhere.
constexpr std::size_t maxTransfer = 0x7FFFF000;

// Records the error number of a failed call. A failure always leaves a
// nonzero code, so that no caller can mistake it for success.
void recordFailure(std::uint32_t code) {
  lastErrorCode = code != 0 ? code : kernel::errorIo;
}

// Waits until a non-blocking descriptor is ready for `events`. False (with the
// code recorded) when the wait itself fails.
bool waitUntilReady(int fd, short events) {
  for (;;) {
    kernel::PollEntry entry = {.descriptor = fd, .events = events, .returnedEvents = 0};
    const long result = systemCalls().poll(&entry, 1);
    if (!kernel::failed(result)) return true;
    if (kernel::errorOf(result) != kernel::errorInterrupted) {
      recordFailure(kernel::errorOf(result));
      return false;
    }
    // A request to stop ends a wait for input, not one to write out a block.
    if (events == kernel::pollIn) stopIfRequested();
  }
}

// After a read or write on `fd` failed with error `code`: true when the call
// is to be repeated (it was interrupted, or the descriptor is non-blocking and
// has now become ready for `events`); false, with the code recorded, when the
// failure stands.
bool repeatAfterFailure(int fd, std::uint32_t code, short events) {
  if (code == kernel::errorInterrupted) return true;
  if (code == kernel::errorTryAgain) return waitUntilReady(fd, events);
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

Handle standardHandle(StandardHandle which) {
  int fd;
  switch (which) {
    case StandardHandle::input:
      fd = kernel::standardInputDescriptor;
      break;
    case StandardHandle::output:
      fd = kernel::standardOutputDescriptor;
      break;
    case StandardHandle::error:
      fd = kernel::standardErrorDescriptor;
      break;
    default:
      recordFailure(kernel::errorInvalid);
      return invalidHandle;
  }
  // Taken on trust: whether the descriptor is open shows at its first use,
  // the fstat of fileType() or the first read, which fail on a closed one
  // (isClosedHandle), so that binding a stream costs no call of its own.
  return fd;
}

bool isClosedHandle(Handle handle, std::uint32_t code) {
  // A descriptor open for the other direction fails with the same code.
  return code == kernel::errorBadDescriptor &&
         kernel::failed(systemCalls().descriptorFlags(descriptorOf(handle)));
}

FileType fileType(Handle handle) {
  kernel::FileStatus status{};
  if (const long result = systemCalls().fileStatus(descriptorOf(handle), &status);
      kernel::failed(result)) {
    recordFailure(kernel::errorOf(result));
    return FileType::unknown;
  }
  switch (status.mode() & kernel::modeTypeMask) {
    case kernel::modeCharacterDevice:  // terminals, /dev/null, /dev/full, ...
      return FileType::character;
    case kernel::modeRegular:
    case kernel::modeDirectory:
    case kernel::modeBlockDevice:
      return FileType::disk;
    case kernel::modeFifo:
    case kernel::modeSocket:
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
    // A request to stop that has arrived ends the program here, also one that
    // interrupted the read before.
    stopIfRequested();
    const long got = systemCalls().read(fd, buffer, request);
    if (!kernel::failed(got)) {
      delivered = static_cast<std::uint32_t>(got);
      return true;
    }
    if (!repeatAfterFailure(fd, kernel::errorOf(got), kernel::pollIn)) return false;
  }
}

bool writeFile(Handle handle, const void* bytes, std::uint32_t count) {
  const int fd = descriptorOf(handle);
  const auto* next = static_cast<const unsigned char*>(bytes);
  std::size_t left = count;
  while (left > 0) {
    const std::size_t request = left < maxTransfer ? left : maxTransfer;
    const long put = systemCalls().write(fd, next, request);
    if (kernel::failed(put)) {
      if (!repeatAfterFailure(fd, kernel::errorOf(put), kernel::pollOut)) return false;
      continue;
    }
    if (put > 0) {
      next += put;
      left -= static_cast<std::size_t>(put);
      continue;
    }
    // No progress and no reason given: repeating could loop for ever.
    recordFailure(kernel::errorIo);
    return false;
  }
  return true;
}

Handle openFileForReading(const char* name) {
  for (;;) {
    // Opening a FIFO waits for its writer: a request to stop ends the program
    // here as at a read, also one that interrupted the wait.
    stopIfRequested();
    const long result =
        kernel::call(kernel::Call::openAt, kernel::currentFolder, name,
                     kernel::openReadOnly | kernel::openCloseOnExec | kernel::openLargeFile);
    if (!kernel::failed(result)) return result;
    if (kernel::errorOf(result) != kernel::errorInterrupted) {
      recordFailure(kernel::errorOf(result));
      return invalidHandle;
    }
  }
}

void closeFile(Handle handle) {
  // Not repeated after EINTR: Linux has released the descriptor by then.
  kernel::call(kernel::Call::close, descriptorOf(handle));
}

std::uint32_t lastError() {
  return lastErrorCode;
}

bool isBrokenPipe(std::uint32_t code) {
  // A writer that has gone gives a read of 0 bytes on Linux. A socket reset by
  // its peer (ECONNRESET) is no end of the data: what the peer sent last may
  // be lost, so it is a failed read like any other.
  return code == kernel::errorBrokenPipe;
}

bool isReaderGone(std::uint32_t code) {
  return code == kernel::errorBrokenPipe;
}

void releaseHandle(Handle) {
  // Nothing to release: the standard descriptors stay open, since closing one
  // would let the next open() reuse its number.
}

void exitProcess(std::uint32_t code) {
  // Straight to the kernel, never through the replaceable table: this is the
  // end of every road out, the fault path's too. A request to stop that came
  // after the last read still ends the process by its signal.
  endByRequestedStop();
  for (;;) kernel::call(kernel::Call::exitProcess, code & 0xFF);
}

void abortProcess() {
  kernel::setSignalHandler(kernel::signalAbort, kernel::handlerDefault);
  kernel::raiseSignal(kernel::signalAbort);
  exitProcess(shellStatusBase + kernel::signalAbort);
}

void initPlatform() {
  // A write to a pipe whose reader has gone, or beyond the file-size limit,
  // then fails with EPIPE or EFBIG and becomes a reported error, instead of a
  // signal ending the process with held output unwritten.
  kernel::setSignalHandler(kernel::signalPipe, kernel::handlerIgnore);
  kernel::setSignalHandler(kernel::signalFileSize, kernel::handlerIgnore);
}

}  // namespace platform
