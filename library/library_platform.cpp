// The platform layer under the library. The library reads and writes only its
// callers' memory, through streams whose transfer slots are its own, and
// reaches no standard stream, file, signal, registry or process: the calls
// that the shared code names find no handle and change nothing.
#include "platform/platform.h"

namespace platform {

namespace {

// The code of every failed call here: there is no such device. Constant, as
// the calls keep no state.
constexpr std::uint32_t noDevice = 6;

}  // namespace

Handle standardHandle(StandardHandle) {
  return invalidHandle;
}

FileType fileType(Handle) {
  return FileType::unknown;
}

bool readFile(Handle, void*, std::uint32_t, std::uint32_t& delivered) {
  delivered = 0;
  return false;
}

bool writeFile(Handle, const void*, std::uint32_t) {
  return false;
}

std::uint32_t lastError() {
  return noDevice;
}

bool isBrokenPipe(std::uint32_t) {
  return false;
}

bool isClosedHandle(Handle, std::uint32_t) {
  return false;
}

void releaseHandle(Handle) {}

Handle openFileForReading(const char*) {
  return invalidHandle;
}

void closeFile(Handle) {}

void initPlatform() {}

void installTrapHook(const TrapHook&) {}

// No keyboard and no registry: the control word is always the programs'.
std::int32_t keyboardType(std::int32_t) {
  return 0;
}

bool openRegistryKey(const char*, RegistryKey&) {
  return false;
}

bool queryRegistryValue(RegistryKey, const char*, std::uint32_t&) {
  return false;
}

void closeRegistryKey(RegistryKey) {}

void removeTrapHook() {}

void showMessageBox(const char*, const char*) {}

// The roads that end a program are the ones of a failed read or write, which
// the library's streams never have; a record's own errors end the record
// only. Were one taken all the same, the caller's process stops here rather
// than going on from a state that no call expects.
void exitProcess(std::uint32_t) {
  __builtin_trap();
}

// An address in the image that holds the library (the shared object, or the
// program that linked the static archive), as its symbol tables know it.
extern "C" const char __ehdr_start[] __attribute__((visibility("hidden")));

std::uintptr_t moduleCodeAddress(std::uintptr_t runtimeAddress) {
  return runtimeAddress - reinterpret_cast<std::uintptr_t>(__ehdr_start);
}

}  // namespace platform
