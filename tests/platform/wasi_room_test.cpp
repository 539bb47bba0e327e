// The WASI room of the platform layer (wasi_io.cpp) on this machine, against
// a runtime's stand-ins for the interface's calls: the preopened folder that
// a name is opened in, the interface's error numbers in Linux's numbering, and
// reads and writes repeated after an interruption or a wait.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "platform/platform.h"
#include "platform/wasi_system_calls.h"

namespace {

namespace wasi = platform::wasi;

// The runtime: its preopened folders (descriptors from 3 on), where it opened
// a path, the results of the next reads and writes (then success), how far a
// write gets, and what a wait gives.
struct Runtime {
  std::vector<std::string> folders;
  wasi::Descriptor openedIn = 0;
  std::string openedPath;
  std::vector<wasi::Errno> results;
  wasi::Size writeProgress = 0;
  wasi::Errno waitResult = wasi::success;
  int waits = 0;
};
Runtime runtime;

wasi::Errno nextResult() {
  if (runtime.results.empty()) return wasi::success;
  const wasi::Errno result = runtime.results.front();
  runtime.results.erase(runtime.results.begin());
  return result;
}

}  // namespace

namespace platform::wasi {
extern "C" {
Errno wasiPreopenedStatus(Descriptor folder, PreopenedStatus* status) {
  if (folder - firstPreopened >= runtime.folders.size()) return errorBadDescriptor;
  *status = {preopenedFolder, static_cast<Size>(runtime.folders[folder - firstPreopened].size())};
  return success;
}
Errno wasiPreopenedName(Descriptor descriptor, char* name, Size length) {
  std::memcpy(name, runtime.folders[descriptor - firstPreopened].data(), length);
  return success;
}
Errno wasiOpenPath(Descriptor folder, std::uint32_t, const char* path, Size length, std::uint16_t,
                   std::uint64_t, std::uint64_t, std::uint16_t, Descriptor* opened) {
  runtime.openedIn = folder;
  runtime.openedPath.assign(path, length);
  *opened = 99;
  return success;
}
Errno wasiReadVectors(Descriptor, const InputVector* vectors, Size, Size* read) {
  const Errno result = nextResult();
  *read = result == success ? vectors->length : 0;
  return result;
}
Errno wasiWriteVectors(Descriptor, const OutputVector* vectors, Size, Size* written) {
  const Errno result = nextResult();
  *written = result == success ? std::min(vectors->length, runtime.writeProgress) : 0;
  return result;
}
Errno wasiPoll(const Subscription*, Event* events, Size, Size* reported) {
  ++runtime.waits;
  events->error = runtime.waitResult;
  *reported = 1;
  return success;
}
Errno wasiDescriptorStatus(Descriptor, DescriptorStatus*) {
  return success;
}
Errno wasiClose(Descriptor) {
  return success;
}
void wasiExit(std::uint32_t) {
  std::abort();
}
}  // extern "C"
}  // namespace platform::wasi

namespace {

constexpr std::uint32_t linuxNoAccess = 13;
constexpr std::uint32_t linuxIo = 5;

// Where a name is opened: in the folder whose name is the longest leading
// part of it up to a '/' (trailing slashes of a folder's name aside, the root
// a leading part of every absolute name), or "." for a relative name; a name
// under no folder is refused with EACCES. Folder 0: refused.
TEST(WasiRoom, NameOpenedInTheFolderThatHoldsIt) {
  const struct {
    std::vector<std::string> folders;
    const char* name;
    wasi::Descriptor folder;
    const char* rest;
  } cases[] = {
      {{"/data"}, "/data/in.txt", 3, "in.txt"},
      {{"/data//"}, "/data//in.txt", 3, "in.txt"},
      {{"/data"}, "/data/", 3, "."},
      {{"/data"}, "/data", 3, "."},
      {{"/"}, "/etc/in", 3, "etc/in"},
      {{"/", "/data", "/data/deep"}, "/data/deep/f", 5, "f"},
      {{"/data/deep", "/data", "/"}, "/data/deep/f", 3, "f"},
      {{"/", "/data"}, "/database/f", 3, "database/f"},
      {{"/data"}, "/database/f", 0, ""},
      {{"."}, "in.txt", 3, "in.txt"},
      {{"./"}, "sub/in", 3, "sub/in"},
      {{".", "/"}, "/in", 4, "in"},
      {{"."}, "/in", 0, ""},
      {{"/data"}, "in.txt", 0, ""},
      {{}, "in.txt", 0, ""},
  };
  for (const auto& c : cases) {
    runtime = Runtime{};
    runtime.folders = c.folders;
    const platform::Handle handle = platform::openFileForReading(c.name);
    EXPECT_EQ(handle, c.folder == 0 ? platform::invalidHandle : 99) << c.name;
    EXPECT_EQ(runtime.openedIn, c.folder) << c.name;
    EXPECT_EQ(runtime.openedPath, c.rest) << c.name;
    EXPECT_EQ(c.folder == 0 ? platform::lastError() : linuxNoAccess, linuxNoAccess) << c.name;
  }
}

// A read or a write that fails: interrupted, repeated; not ready, repeated
// after a wait; otherwise the interface's number in Linux's numbering (one
// that it does not define, and a write that gets nowhere, an input/output
// error).
TEST(WasiRoom, FailuresInLinuxNumbersAndRepeatedCalls) {
  const struct {
    bool write;
    std::vector<wasi::Errno> results;
    wasi::Errno waitResult;
    wasi::Size writeProgress;
    bool succeeds;
    std::uint32_t code;
    int waits;
  } cases[] = {
      {false, {wasi::errorInterrupted, wasi::errorInterrupted}, 0, 0, true, 0, 0},
      {false, {wasi::errorAgain}, wasi::success, 0, true, 0, 1},
      {false, {wasi::errorAgain}, wasi::errorIo, 0, false, linuxIo, 1},
      {false, {64 /* PIPE */}, 0, 0, false, 32, 0},
      {false, {wasi::errorNotCapable}, 0, 0, false, linuxNoAccess, 0},
      {false, {wasi::errorNotCapable + 1}, 0, 0, false, linuxIo, 0},
      {true, {51 /* NOSPC */}, 0, 4, false, 28, 0},
      {true, {wasi::errorAgain, wasi::errorInterrupted}, wasi::success, 3, true, 0, 1},
      {true, {}, 0, 0, false, linuxIo, 0},
  };
  for (const auto& c : cases) {
    runtime = Runtime{};
    runtime.results = c.results;
    runtime.waitResult = c.waitResult;
    runtime.writeProgress = c.writeProgress;
    char bytes[10] = {};
    std::uint32_t delivered = 0;
    const bool succeeded = c.write ? platform::writeFile(1, bytes, sizeof bytes)
                                   : platform::readFile(0, bytes, sizeof bytes, delivered);
    const std::string row = "row " + std::to_string(&c - cases);
    EXPECT_EQ(succeeded, c.succeeds) << row;
    EXPECT_EQ(c.succeeds ? 0 : platform::lastError(), c.code) << row;
    EXPECT_EQ(delivered, c.succeeds && !c.write ? sizeof bytes : 0) << row;
    EXPECT_EQ(runtime.waits, c.waits) << row;
  }
}

}  // namespace
