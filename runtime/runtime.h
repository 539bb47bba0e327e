// The run-time environment: start-up and shutdown, the floating-point
// environment, run-time errors and their message.
//
// A program sets consoleMode, calls initRuntime with its start-up table, runs
// its statements (each ending in one ioCheck) and ends with terminateProgram.
// Every failure that is not absorbed ends the program through runtimeError
// with an 8-bit code, which becomes the exit code. This header is what a
// program uses; runtime_internal.h holds the rest of the run-time's parts.
#pragma once

#include <cstdint>

// Where run-time error messages go: standard output when true, the platform's
// message box otherwise. Set by the program before initRuntime.
extern bool consoleMode;

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

// Starts the platform layer (on POSIX: a write to a closed pipe or beyond the
// file-size limit fails with a code instead of a signal ending the process),
// installs the trap hook and runs the table's start-up steps in order. The
// table is kept for terminateProgram's shutdown steps: it must be static.
void initRuntime(const StartupTable& table);

// Writes a pending message, runs the shutdown steps in reverse order, removes
// the trap hook and ends the process with exitCode.
[[noreturn]] void terminateProgram();

// End-of-statement check: a pending I/O code becomes a run-time error whose
// address is the position right after this call.
//
// The address is the call's return address: addr2line names the line of the
// call for address - 1 (the address itself belongs to the code that follows).
// The call must not be the tail call of its function, or the address would
// lie in the caller's caller.
void ioCheck();
