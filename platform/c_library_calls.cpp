// The C library functions that compiled code calls on its own, for the
// program linked without the C library:
//  - the report of a failed assert() (in a build without NDEBUG), which the
//    assert macro of the C library's header calls: the message goes to
//    standard error and the process ends as an abort ends it, by SIGABRT on
//    Linux, with exit code 3 on Windows;
//  - raise() on Linux, which libgcc's integer division routines of 32-bit ARM
//    call with SIGFPE for a division by zero.
#include <cstdint>
#include <cstring>

#include "platform/platform.h"
#if !defined(_WIN32)
#include "platform/linux_system_calls.h"
#endif

namespace {

void writeText(platform::Handle handle, const char* text) {
  platform::writeFile(handle, text, static_cast<std::uint32_t>(std::strlen(text)));
}

void writeNumber(platform::Handle handle, unsigned value) {
  char digits[10];
  int count = 0;
  do {
    digits[sizeof digits - 1 - count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  platform::writeFile(handle, digits + sizeof digits - count, static_cast<std::uint32_t>(count));
}

// "Assertion failed: <expression>, file <file>, line <line>" and a line end.
[[noreturn]] void assertionFailed(const char* expression, const char* file, unsigned line) {
  const platform::Handle handle = platform::standardHandle(platform::StandardHandle::error);
  if (handle != platform::invalidHandle) {
    writeText(handle, "Assertion failed: ");
    writeText(handle, expression);
    writeText(handle, ", file ");
    writeText(handle, file);
    writeText(handle, ", line ");
    writeNumber(handle, line);
    writeText(handle, "\n");
  }
  platform::abortProcess();
}

}  // namespace

#if defined(_WIN32)
// The header declares _assert as imported from the C run-time's DLL, so the
// compiled code calls it through the import's address slot, given here.
extern "C" {
void assertionEntry(const char* expression, const char* file, unsigned line) {
  assertionFailed(expression, file, line);
}
extern void (*const importedAssert)(const char*, const char*, unsigned) __asm__(
#if defined(__i386__)
    "__imp___assert"
#else
    "__imp__assert"
#endif
);
void (*const importedAssert)(const char*, const char*, unsigned) = assertionEntry;
}
#else
extern "C" int raise(int signal) {
  return platform::kernel::failed(platform::kernel::raiseSignal(signal)) ? -1 : 0;
}

extern "C" [[noreturn]] void __assert_fail(const char* expression, const char* file, unsigned line,
                                           const char* /*function*/) {
  assertionFailed(expression, file, line);
}
#endif
