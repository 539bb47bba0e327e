// The entry of the Windows program linked without a C run-time: the process
// starts here, sets the stack protector's guard from the system's random
// source, splits its command line into main's arguments, runs main, which
// ends the process itself, and should main return, ends with its result as
// the exit code.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <cstdint>

#include "platform/command_line.h"
#include "platform/win32_internal.h"

#define QUADSOLVE_STRING(text) #text
#define QUADSOLVE_SYMBOL(prefix, name) QUADSOLVE_STRING(prefix) name

// main under its symbol name (calling it by its C++ name is not allowed).
extern "C" int programMain(int argumentCount,
                           char** arguments) __asm__(QUADSOLVE_SYMBOL(__USER_LABEL_PREFIX__,
                                                                      "main"));

namespace {

using platform::argumentCapacity;

// In UTF-8 each unit of the command line becomes at most 3 bytes (a surrogate
// pair, two units, 4).
constexpr int commandLineBytes = 3 * platform::commandLineUnits + 1;

char commandLine[commandLineBytes];
char* arguments[argumentCapacity];

// The process's command line in UTF-8, split into arguments (argument 0 the
// program's name), with the patterns among them marked. A line that cannot
// be converted gives no argument at all.
int splitProcessCommandLine() {
  const int length = WideCharToMultiByte(CP_UTF8, 0, GetCommandLineW(), -1, commandLine,
                                         commandLineBytes, nullptr, nullptr);
  if (length <= 0) commandLine[0] = 0;
  return platform::splitCommandLine(commandLine, arguments, argumentCapacity,
                                    platform::argumentPatterns);
}

}  // namespace

bool platform::argumentPatterns[argumentCapacity];

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
  const int argumentCount = splitProcessCommandLine();
  ExitProcess(static_cast<UINT>(programMain(argumentCount, arguments)));
}

}  // extern "C"
