// The stack protector on Windows, where no C run-time provides it to the
// program or to the test programs: the guard that protected functions
// (-fstack-protector-strong) keep below their return address and check before
// they return, and the end of the process when a check fails.
//
// The program's entry (win32_entry.cpp) replaces the guard with a value from
// the system's random source before any protected function runs; a program
// with the C run-time's own entry (the tests) keeps the value given here.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <cstdint>

extern "C" {

std::uintptr_t __stack_chk_guard = static_cast<std::uintptr_t>(0x2F8A6C15E94DB307ull);

// A protected function found its guard overwritten: its stack is no longer
// what it wrote, so nothing more of the program runs (no shutdown, no flush
// of held output, no message). The process ends at once with
// STATUS_STACK_BUFFER_OVERRUN, the status with which Windows ends a program
// whose own stack check failed.
[[noreturn]] void __stack_chk_fail() {
  constexpr UINT stackBufferOverrun = 0xC0000409;
  TerminateProcess(GetCurrentProcess(), stackBufferOverrun);
  __builtin_trap();
}

}  // extern "C"
