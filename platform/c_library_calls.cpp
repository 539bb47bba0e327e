// The C library functions that compiled code calls on its own, for the
// program linked without the C library:
//  - the report of a failed assert() (in a build without NDEBUG), which the
//    assert macro of the C library's header calls: the message goes to
//    standard error and the process ends as an abort ends it, by SIGABRT on
//    Linux, with exit code 3 on Windows, by a trap of the module under WASI;
//  - raise() on Linux, which libgcc's integer division routines of 32-bit ARM
//    call with SIGFPE for a division by zero;
//  - the stack protector's guard (where the compiler reads it from a
//    variable) and its check's failure, __stack_chk_fail.
#include <cstdint>
#include <cstring>

#include "platform/platform.h"
#if defined(__linux__)
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
#if defined(__linux__)
// 32-bit ARM has no division fault: libgcc's division routines call
// raise(SIGFPE) for a division by zero instead. That is reported as the
// processor reports its own division fault on other processors (code
// FPE_INTDIV, with the division routine's address), so that it reaches the
// trap hook as run-time error 200, not as a signal sent from outside. Every
// other signal is sent to the calling thread as raise() sends it.
extern "C" int raise(int signal) {
  using namespace platform::kernel;
  long result;
  if (signal == signalFloat) {
    SignalInfoRecord report = {};
    report.info.number = signalFloat;
    report.info.code = integerDivide;
    report.info.address = __builtin_extract_return_addr(__builtin_return_address(0));
    result = call(Call::queueSignalToThread, call(Call::processId), call(Call::threadId), signal,
                  &report);
  } else {
    result = raiseSignal(signal);
  }
  return failed(result) ? -1 : 0;
}
#endif

#if defined(__aarch64__) || defined(__arm__) || defined(__riscv)
// The stack guard, where the compiler reads it on these processors; the
// start-up sets it before any protected function runs (linux_start.cpp). In
// relocated data, so that the start-up makes it read-only with the rest.
extern "C" {
[[gnu::section(".data.rel.ro.stack_guard")]] std::uintptr_t __stack_chk_guard = 0;
}
#endif

// A protected function found its guard overwritten: its stack is no longer
// what it wrote, so nothing more of the program runs (no shutdown, no flush
// of held output, no message through the streams). The process ends by
// SIGABRT, as the C library's check ends it.
extern "C" [[noreturn]] void __stack_chk_fail() {
  platform::abortProcess();
}

extern "C" [[noreturn]] void __assert_fail(const char* expression, const char* file, unsigned line,
                                           const char* /*function*/) {
  assertionFailed(expression, file, line);
}
#endif
