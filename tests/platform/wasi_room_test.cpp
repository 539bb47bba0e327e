// The WASI room (wasi_io.cpp) on this machine, against a runtime's stand-ins
// for the interface's calls: the preopened folder that a name is opened in.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "platform/platform.h"
#include "platform/wasi_system_calls.h"

namespace {

namespace wasi = platform::wasi;

// The runtime's preopened folders (descriptors from 3 on), where it opened.
struct Runtime {
  std::vector<std::string> folders;
  wasi::Descriptor openedIn = 0;
  std::string openedPath;
};
Runtime runtime;

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
// The room's other calls, which these tests do not make.
Errno wasiReadVectors(Descriptor, const InputVector*, Size, Size*) {
  return errorIo;
}
Errno wasiWriteVectors(Descriptor, const OutputVector*, Size, Size*) {
  return errorIo;
}
Errno wasiPoll(const Subscription*, Event*, Size, Size*) {
  return errorIo;
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
      {{"/"}, "/etc/in", 3, "etc/in"},
      {{"/", "/data", "/data/deep"}, "/data/deep/f", 5, "f"},
      {{"/data"}, "/database/f", 0, ""},
      {{"."}, "in.txt", 3, "in.txt"},
      {{".", "/"}, "/in", 4, "in"},
  };
  for (const auto& c : cases) {
    runtime = Runtime{};
    runtime.folders = c.folders;
    const platform::Handle handle = platform::openFileForReading(c.name);
    EXPECT_EQ(handle, c.folder == 0 ? platform::invalidHandle : 99) << c.name;
    EXPECT_EQ(runtime.openedIn, c.folder) << c.name;
    EXPECT_EQ(runtime.openedPath, c.rest) << c.name;
    EXPECT_EQ(c.folder == 0 ? platform::lastError() : 13, 13u) << c.name;  // EACCES
  }
}

}  // namespace
