// The entry of the Windows program linked without a C run-time: the process
// starts here, sets the stack protector's guard from the system's random
// source, runs main, which ends the process itself, and should main return,
// ends with its result as the exit code.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <cstdint>

#define QUADSOLVE_STRING(text) #text
#define QUADSOLVE_SYMBOL(prefix, name) QUADSOLVE_STRING(prefix) name

// main under its symbol name (calling it by its C++ name is not allowed).
extern "C" int programMain() __asm__(QUADSOLVE_SYMBOL(__USER_LABEL_PREFIX__, "main"));

extern "C" {

// GCC calls __main at the start of main on Windows to run the static
// constructors; the program has none, so there is nothing to run.
void __main() {}

// RtlGenRandom, exported by ADVAPI32 under this name: random bytes from the
// system's source.
BOOLEAN WINAPI SystemFunction036(PVOID buffer, ULONG length);

extern std::uintptr_t __stack_chk_guard;  // win32_stack_guard.cpp

// Not protected itself: it changes the guard that a protected function would
// check on its way out.
[[noreturn]] __attribute__((no_stack_protector)) void platformEntry() {
  std::uintptr_t guard;
  if (SystemFunction036(&guard, sizeof guard)) __stack_chk_guard = guard;
  ExitProcess(static_cast<UINT>(programMain()));
}

}  // extern "C"
