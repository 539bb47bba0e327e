// main's arguments, for a program whose main takes them.
//
// _start calls main by the name that a main without parameters has in
// WebAssembly code, __main_void; a main(int, char**) is named
// __main_argc_argv instead, and leaves __main_void to this file, which the
// link then takes from the platform library: it fetches the arguments from the
// runtime and calls that main with them. A program whose main takes none
// defines __main_void itself, so that this file, and the imports of the
// arguments' calls, stay out of it.
//
// The arguments go into memory that the module grows for them (whole pages
// of 64 KiB, zeroed): no fixed buffer limits them, and nothing else of the
// program allocates. Their addresses first, argv[argc] null, then their bytes.
#include <cstddef>
#include <cstdint>

#include "platform/platform.h"
#include "platform/wasi_system_calls.h"

extern "C" int programMain(int argumentCount, char** arguments) __asm__("__main_argc_argv");

namespace {

constexpr std::size_t pageSize = 64 * 1024;
constexpr std::size_t growFailed = static_cast<std::size_t>(-1);

[[noreturn]] void argumentsUnavailable(const char* reason) {
  static constexpr char prefix[] = "the program's arguments: ";
  static constexpr char lineEnd = '\n';
  const platform::Handle handle = platform::standardHandle(platform::StandardHandle::error);
  if (handle != platform::invalidHandle) {
    std::uint32_t length = 0;
    while (reason[length] != 0) ++length;
    platform::writeFile(handle, prefix, sizeof prefix - 1);
    platform::writeFile(handle, reason, length);
    platform::writeFile(handle, &lineEnd, 1);
  }
  platform::abortProcess();
}

}  // namespace

extern "C" int mainWithArguments() __asm__("__main_void");

extern "C" __attribute__((weak)) int mainWithArguments() {
  using namespace platform;
  wasi::Size count = 0;
  wasi::Size bytes = 0;
  if (wasi::wasiArgumentSizes(&count, &bytes) != wasi::success) {
    argumentsUnavailable("the runtime does not give them");
  }
  const std::size_t addressBytes = (std::size_t{count} + 1) * sizeof(char*);
  const std::size_t pages = (addressBytes + bytes + pageSize - 1) / pageSize;
  const std::size_t firstPage = __builtin_wasm_memory_grow(0, pages);
  if (firstPage == growFailed) argumentsUnavailable("no memory for them");
  auto** const arguments = reinterpret_cast<char**>(firstPage * pageSize);
  char* const text = reinterpret_cast<char*>(firstPage * pageSize + addressBytes);
  if (wasi::wasiArguments(arguments, text) != wasi::success) {
    argumentsUnavailable("the runtime does not give them");
  }
  return programMain(static_cast<int>(count), arguments);
}
