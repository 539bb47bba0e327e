// The input/output part of the platform layer under WASI: standard handles,
// handle types, reads, writes, the last error code and the process exit, over
// the interface's descriptor calls (wasi_system_calls.h).
//
// Handles are the interface's descriptors; the standard handles are 0, 1 and
// 2. Error codes are kept in Linux's numbering, so that a failure ends the
// program with the run-time error code that it has on Linux.
#include <cstdint>

#include "platform/platform.h"
#include "platform/wasi_system_calls.h"

namespace platform {

namespace {

// The bits of an exit code that a Linux process's exit status keeps; a
// runtime on Linux passes the code on to the process that runs it.
constexpr std::uint32_t exitStatusBits = 0xFF;

// The code of the last failure. The module runs one thread.
std::uint32_t lastErrorCode = 0;

// Records the Linux error number of a failed call. A failure always leaves a
// nonzero code, so that no caller can mistake it for success; a number that
// the interface does not define reads as an input/output error.
void recordFailure(wasi::Errno code) {
  lastErrorCode = code >= 1 && code <= wasi::errorNotCapable ? wasi::linuxErrorNumbers[code - 1]
                                                             : wasi::linuxErrorIo;
}

wasi::Descriptor descriptorOf(Handle handle) {
  return static_cast<wasi::Descriptor>(handle);
}

// Waits until a descriptor that the host left non-blocking (Node leaves a
// terminal so) is ready for `type`. False, with the code recorded, when the
// wait itself fails, as where the runtime cannot wait.
bool waitUntilReady(wasi::Descriptor descriptor, wasi::EventType type) {
  wasi::Subscription subscription{};
  subscription.type = type;
  subscription.descriptor = descriptor;
  wasi::Event event{};
  wasi::Size reported = 0;
  wasi::Errno result = wasi::wasiPoll(&subscription, &event, 1, &reported);
  if (result == wasi::success && reported == 1) result = event.error;
  if (result != wasi::success) {
    recordFailure(result);
    return false;
  }
  return true;
}

// After a read or write on `descriptor` failed with `result`: true when the
// call is to be repeated (it was interrupted, or the descriptor is
// non-blocking and has now become ready for `type`); false, with the code
// recorded, when the failure stands.
bool repeatAfterFailure(wasi::Descriptor descriptor, wasi::Errno result, wasi::EventType type) {
  if (result == wasi::errorInterrupted) return true;
  if (result == wasi::errorAgain) return waitUntilReady(descriptor, type);
  recordFailure(result);
  return false;
}

}  // namespace

Handle standardHandle(StandardHandle which) {
  wasi::Descriptor descriptor;
  switch (which) {
    case StandardHandle::input:
      descriptor = wasi::standardInput;
      break;
    case StandardHandle::output:
      descriptor = wasi::standardOutput;
      break;
    case StandardHandle::error:
      descriptor = wasi::standardError;
      break;
    default:
      recordFailure(wasi::errorBadDescriptor);
      return invalidHandle;
  }
  // A runtime that does not give the module this descriptor makes it no
  // handle.
  wasi::DescriptorStatus status{};
  if (const wasi::Errno result = wasi::wasiDescriptorStatus(descriptor, &status);
      result != wasi::success) {
    recordFailure(result);
    return invalidHandle;
  }
  return static_cast<Handle>(descriptor);
}

FileType fileType(Handle handle) {
  wasi::DescriptorStatus status{};
  if (const wasi::Errno result = wasi::wasiDescriptorStatus(descriptorOf(handle), &status);
      result != wasi::success) {
    recordFailure(result);
    return FileType::unknown;
  }
  switch (status.fileType) {
    case wasi::FileType::characterDevice:  // a terminal, /dev/null
      return FileType::character;
    case wasi::FileType::regularFile:
    case wasi::FileType::directory:
    case wasi::FileType::blockDevice:
      return FileType::disk;
    case wasi::FileType::socketStream:
    case wasi::FileType::socketDatagram:
      return FileType::pipe;
    default:
      // The interface has no kind for a pipe: runtimes report one as a
      // socket or as unknown, and a browser's stand-in streams as unknown.
      // An open descriptor of unknown kind is read and written as a pipe.
      return FileType::pipe;
  }
}

bool readFile(Handle handle, void* buffer, std::uint32_t count, std::uint32_t& delivered) {
  delivered = 0;
  const wasi::InputVector vector = {static_cast<std::uint8_t*>(buffer), count};
  for (;;) {
    wasi::Size got = 0;
    const wasi::Errno result = wasi::wasiReadVectors(descriptorOf(handle), &vector, 1, &got);
    if (result == wasi::success) {
      delivered = got;
      return true;
    }
    if (!repeatAfterFailure(descriptorOf(handle), result, wasi::EventType::descriptorRead)) {
      return false;
    }
  }
}

bool writeFile(Handle handle, const void* bytes, std::uint32_t count) {
  wasi::OutputVector vector = {static_cast<const std::uint8_t*>(bytes), count};
  while (vector.length > 0) {
    wasi::Size put = 0;
    const wasi::Errno result = wasi::wasiWriteVectors(descriptorOf(handle), &vector, 1, &put);
    if (result != wasi::success) {
      if (!repeatAfterFailure(descriptorOf(handle), result, wasi::EventType::descriptorWrite)) {
        return false;
      }
      continue;
    }
    if (put == 0 || put > vector.length) {
      // No progress and no reason given: repeating could loop for ever.
      recordFailure(wasi::errorIo);
      return false;
    }
    vector.buffer += put;
    vector.length -= put;
  }
  return true;
}

namespace {

// The preopened folder under which `name` lies, and where the rest of the
// name begins: the folder whose own name is the longest leading part of
// `name` up to a '/', or "." for a relative name. False when none is given.
bool findFolder(const char* name, wasi::Descriptor& folder, const char*& rest) {
  constexpr wasi::Size maxFolderName = 4096;
  static char folderName[maxFolderName];
  std::uint32_t best = 0;
  bool found = false;
  for (wasi::Descriptor descriptor = wasi::firstPreopened;; ++descriptor) {
    wasi::PreopenedStatus status{};
    if (wasi::wasiPreopenedStatus(descriptor, &status) != wasi::success) break;
    if (status.kind != wasi::preopenedFolder || status.nameLength > maxFolderName ||
        wasi::wasiPreopenedName(descriptor, folderName, status.nameLength) != wasi::success) {
      continue;
    }
    std::uint32_t length = status.nameLength;
    while (length > 1 && folderName[length - 1] == '/') --length;
    const bool current = length == 1 && folderName[0] == '.';
    std::uint32_t matched = 0;
    if (current) {
      if (name[0] == '/') continue;
    } else {
      while (matched < length && name[matched] == folderName[matched]) ++matched;
      if (matched < length ||
          (name[matched] != '/' && name[matched] != 0 && !(length == 1 && folderName[0] == '/'))) {
        continue;
      }
    }
    if (found && matched < best) continue;
    found = true;
    best = matched;
    folder = descriptor;
    rest = name + matched;
  }
  if (!found) return false;
  while (*rest == '/') ++rest;
  if (*rest == 0) rest = ".";
  return true;
}

}  // namespace

Handle openFileForReading(const char* name) {
  wasi::Descriptor folder = 0;
  const char* rest = nullptr;
  if (!findFolder(name, folder, rest)) {
    // Outside every folder that the module was given.
    recordFailure(wasi::errorNotCapable);
    return invalidHandle;
  }
  wasi::Size length = 0;
  while (rest[length] != 0) ++length;
  wasi::Descriptor opened = 0;
  if (const wasi::Errno result = wasi::wasiOpenPath(folder, wasi::lookupFollowLinks, rest, length,
                                                    0, wasi::rightRead, 0, 0, &opened);
      result != wasi::success) {
    recordFailure(result);
    return invalidHandle;
  }
  return static_cast<Handle>(opened);
}

void closeFile(Handle handle) {
  wasi::wasiClose(descriptorOf(handle));
}

std::uint32_t lastError() {
  return lastErrorCode;
}

bool isBrokenPipe(std::uint32_t code) {
  // A connection reset by its peer is a failed read, as on Linux.
  return code == wasi::linuxErrorBrokenPipe;
}

bool isReaderGone(std::uint32_t code) {
  return code == wasi::linuxErrorBrokenPipe;
}

bool isClosedHandle(Handle, std::uint32_t) {
  // standardHandle() gives no handle for a descriptor that is not open.
  return false;
}

void releaseHandle(Handle) {
  // Nothing to release: the standard descriptors stay open.
}

void exitProcess(std::uint32_t code) {
  wasi::wasiExit(code & exitStatusBits);
}

void abortProcess() {
  // No signals here: the module traps, and its runtime ends the run and
  // reports the trap.
  __builtin_trap();
}

void initPlatform() {
  // Nothing to set up: the interface has no signals, and a write to a closed
  // pipe fails with EPIPE.
}

void installStopHook(const StopHook&) {
  // The interface delivers no signals: a run that is stopped from outside
  // ends where its runtime stops it.
}

}  // namespace platform
