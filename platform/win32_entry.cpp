// The entry of the Windows program linked without a C run-time: the process
// starts here, runs main, which ends the process itself, and should main
// return, ends with its result as the exit code.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#define QUADSOLVE_STRING(text) #text
#define QUADSOLVE_SYMBOL(prefix, name) QUADSOLVE_STRING(prefix) name

// main under its symbol name (calling it by its C++ name is not allowed).
extern "C" int programMain() __asm__(QUADSOLVE_SYMBOL(__USER_LABEL_PREFIX__, "main"));

extern "C" {

// GCC calls __main at the start of main on Windows to run the static
// constructors; the program has none, so there is nothing to run.
void __main() {}

[[noreturn]] void platformEntry() {
  ExitProcess(static_cast<UINT>(programMain()));
}

}  // extern "C"
