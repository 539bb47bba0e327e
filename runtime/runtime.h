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
// the trap hook and ends the process with the code of the run-time error that
// ended the program, else that of the first record that ended in an error (a
// record program), else 0.
[[noreturn]] void terminateProgram();

// End-of-statement check: a pending I/O code becomes a run-time error whose
// address is the position right after this call.
//
// The address is the call's return address: addr2line names the line of the
// call for address - 1 (the address itself belongs to the code that follows).
// The call must not be the tail call of its function, or the address would
// lie in the caller's caller.
void ioCheck();

// ---- Programs that answer many records ----
//
// A record program (quadsolve-batch) runs its statements once per record. A
// run-time error of a record ends that record, not the program: the
// record's remaining statements are not run, its error line is written in
// place of its result, and the next record starts from the state that a
// program starts from. What no record can absorb ends the program as ioCheck
// and the trap hook end any program: a pending code other than 106 (a failed
// read or write, a stream that cannot be bound), a processor exception, a
// signal sent from outside. The program's exit code is then that error's;
// otherwise terminateProgram ends it with the code of the first record that
// ended in an error (unless excludeRecordErrorsFromStatus was called), or 0.
//
// A record's statements:
//   beginRuntimeRecord();
//   ...statement...;
//   if (recordCheck()) { ...statement...; if (recordCheck()) ... }
//   endRuntimeRecord();
// endRuntimeRecord after the last check keeps every check out of tail
// position (see ioCheck).

// Whole lines only, once ConsoleOut is bound and has its buffer: ConsoleOut
// writes out whole lines only (writeWholeLinesOnly), so that output that ends
// early, whatever the reason, ends at a line end; and a request to stop from
// outside (SIGINT, SIGTERM or SIGHUP on Linux; platform.h, installStopHook)
// writes out the whole lines that ConsoleOut holds and then ends the program
// by its signal, at the next read of input or open of a file or at the
// program's end; half a second after the signal at the latest, wherever the
// program is then.
void keepOutputLinesWhole();

// Starts a record: the floating-point environment reset with the control word
// loaded (as at start-up), no I/O code pending, no error. From here on an
// unmasked exception of the extended model becomes the record's error (its
// code and the address of the operation's caller, as the trap hook gives
// them) and the operation finishes with its masked result.
void beginRuntimeRecord();

// The end-of-statement check of a record program. A pending 106 (a malformed
// number) becomes the record's error at the position right after this call;
// any other pending code ends the program there, as ioCheck would, and so
// does a failed read of the records' source (recordSourceFailure, which it
// reports in place of the 106 of a token that the failure cut). The first
// error of a record stands: one that follows it, in the same or a later
// statement, changes nothing. Returns true while the record has no error: its
// next statement is to run. The call must not be a tail call (see ioCheck).
bool recordCheck();

// Ends the record: when it had an error, writes the error's line ("Runtime
// error ccc at aaaaaaaa" and the line end) to ConsoleOut in place of its
// result, leaving a failed write's code pending for the program's next
// check. A malformed number's code is no longer pending afterwards.
void endRuntimeRecord();

// The code of the current record's first error, 0 while it has none; it
// stands until the next record begins.
std::uint8_t recordErrorCode();

// From here on the records' errors no longer set the exit code: the program
// ends with 0 when every record got its line, its result or its error line.
void excludeRecordErrorsFromStatus();

// Ends a record program that refuses its input, without a run-time error:
// as terminateProgram ends it (the lines it holds written out, a failed write
// of them ending it with that write's error), with `status` as its exit code
// in place of the records' code.
[[noreturn]] void terminateProgramWithStatus(std::uint8_t status);

// A record program's word on the failure that ends it, on standard error:
// `report` is called once, after the run-time error line is written and
// before the streams are closed, with the error's code and, when the error
// is the program's pending I/O code (a failed read or write, a stream that
// cannot be bound), that whole code, else 0. Held in constant data, as the
// trap hooks are; null removes it.
struct FailureReport {
  void (*report)(std::uint8_t code, std::uint32_t ioCode);
};
void setFailureReport(const FailureReport* report);
