// The run-time environment: start-up and shutdown, the floating-point
// environment, run-time errors and their message.
//
// A program sets consoleMode, calls initRuntime with its start-up table, runs
// its statements (each ending in one ioCheck) and ends with terminateProgram.
// Every failure that is not absorbed ends the program through runtimeError
// with an 8-bit code, which becomes the exit code.
#pragma once

#include <cstdint>

// Where run-time error messages go: standard output when true, the platform's
// message box otherwise. Set by the program before initRuntime.
extern bool consoleMode;

// The control word loaded at start-up and on the exception paths.
extern std::uint16_t defaultFpuControl;

// The exit code and the code address of the pending run-time error (nonzero
// address: a message is due at shutdown).
extern std::int32_t exitCode;
extern std::uintptr_t errorAddress;

// One entry of a start-up table: optional start-up and shutdown steps.
struct StartupEntry {
  void (*startup)();
  void (*shutdown)();
};
struct StartupTable {
  const StartupEntry* entries;
  std::int32_t count;
};
// The program's own table; its run-time library entry holds initRuntimeLibrary
// and finalizeRuntimeLibrary.
extern const StartupTable startupTable;
// Entries whose start-up has begun.
extern std::int32_t startedCount;

// Installs the trap hook and runs the table's start-up steps in order.
void initRuntime(const StartupTable& table);
void initRuntimeLibrary();
void finalizeRuntimeLibrary();
// Resets the extended model's environment and loads defaultFpuControl.
void resetFpu();
// Replaces the six mask bits of defaultFpuControl from the registry value, when
// the keyboard condition holds.
void fpuMaskOverride();

// Writes a pending message, runs the shutdown steps in reverse order, removes
// the trap hook and ends the process with exitCode.
[[noreturn]] void terminateProgram();

// End-of-statement check: a pending I/O code becomes a run-time error whose
// address is the position right after this call.
void ioCheck();
[[noreturn]] void raiseErrorKind(std::uint8_t kind);
[[noreturn]] void runtimeError(std::uint8_t code, std::uintptr_t address);
std::uint8_t mapExceptionCode(std::uint32_t exceptionCode);
// The process-wide handler of processor exceptions and extended-model traps.
[[noreturn]] void topLevelExceptionHandler(std::uint32_t exceptionCode, std::uintptr_t address);
void formatErrorMessage();
void writeErrorMessage();
