// The operating-system layer: the one seam through which the program reaches
// the operating system. Everything above it (streams, run-time, solver) is
// platform independent. This header is the whole interface; linux_*.cpp
// implement it on Linux, straight on the kernel's system calls, win32_*.cpp
// on Windows, and wasi_*.cpp in WebAssembly, on the WebAssembly System
// Interface's calls.
//
// Calls report failure the Windows way: a false or invalid result, with the
// code of the failure kept for lastError(). On Linux that code is the error
// number of the failed system call; under WASI the interface's error number
// turned into Linux's.
#pragma once

#include <cstdint>

namespace platform {

// An operating-system handle: a file descriptor on Linux, a HANDLE on Windows.
using Handle = std::intptr_t;
inline constexpr Handle invalidHandle = -1;

// The three standard handles, numbered as the Windows console numbers them.
enum class StandardHandle : std::int32_t { input = -10, output = -11, error = -12 };

// The kind of a handle, numbered as GetFileType numbers them.
enum class FileType : std::uint32_t {
  unknown = 0,    // not usable
  disk = 1,       // a regular file
  character = 2,  // a terminal or other character device (/dev/null too)
  pipe = 3,       // a pipe, FIFO or socket
};

// Returns the handle of a standard stream, or invalidHandle when the system
// has none for it (lastError() then tells why). On Linux it is the standard
// descriptor's number whether or not the descriptor is open: its first use
// tells, fileType() reporting unknown and a read failing with a code for which
// isClosedHandle() is true.
Handle standardHandle(StandardHandle which);

// Returns the kind of a handle; unknown for one that cannot be used.
FileType fileType(Handle handle);

// Reads up to `count` bytes into `buffer`. On success returns true with the
// number delivered in `delivered`: 0 only at the end of the data. Interrupted
// reads are retried. On failure returns false with `delivered` 0; a broken
// pipe is reported as a failure whose code satisfies isBrokenPipe().
bool readFile(Handle handle, void* buffer, std::uint32_t count, std::uint32_t& delivered);

// Writes all `count` bytes or fails: interrupted and partial writes are
// continued until every byte is written. Returns true on success.
bool writeFile(Handle handle, const void* bytes, std::uint32_t count);

// ---- The program's arguments and the files it names ----
//
// The entry of the process hands main its arguments as a C program gets
// them, `int main(int argc, char** argv)`: argc of them in argv[0] to
// argv[argc - 1], argv[argc] null, argument 0 the program's name, each a
// zero-terminated string that stays valid until the process ends. On Linux
// the entry reads them from the initial stack that the kernel lays out
// (linux_start.cpp), as bytes; on Windows it splits the process's command
// line (GetCommandLineW) by splitCommandLine (command_line.h) and hands them
// over in UTF-8, the encoding that openFileForReading takes. A program that
// takes no arguments may declare `int main()`.

// Opens an existing file for reading by its name, relative to the current
// folder unless absolute. Returns its handle, or invalidHandle with the
// failure's code in lastError(): on Linux the error number (2 for a missing
// file, 13 for no permission; a folder opens, and its first read fails with
// 21), on Windows the system's error code (2, 3, 5...). The handle is not
// inherited by processes that the program starts.
Handle openFileForReading(const char* name);

// Closes a handle that openFileForReading returned. Nothing of a file opened
// for reading can be lost, so a failure is not reported.
void closeFile(Handle handle);

// The files that main's argument `index` (1 or more), `argument`, names as a
// FILE operand, for operandFileName(0) to operandFileName(count - 1); returns
// their count. On Linux and under WASI an argument names itself (a shell has
// expanded its patterns before the program starts): the count is 1. On
// Windows, where cmd and PowerShell hand a program `*.txt` as it was typed, an
// argument with * or ? outside double quotes (splitCommandLine) is a pattern:
// its last part is matched against the names in its folder (the part before
// the last \, / or :, else the current folder), "." and ".." left out, and it
// names the matches, that folder part before each, in name order (ordinal,
// letters' case ignored, as NTFS orders a folder). A pattern that matches
// nothing gives 0 with the system's code in lastError() (2 for no such file,
// 3 for a missing folder, 123 for a pattern in a folder's part), as does one
// whose names exceed the layer's room for them (8, not enough memory).
std::int32_t listOperandFiles(std::int32_t index, const char* argument);

// A name of the last listOperandFiles, in UTF-8: valid until the next call
// of either.
const char* operandFileName(std::int32_t position);

// The operating system's text for a failure code (the reason that a message
// names: "No such file or directory"), without a line end: writes at most
// `capacity` bytes of it to `text` and returns their count. A code that the
// system has no text for gives "Unknown error " and its number.
std::uint32_t errorText(std::uint32_t code, char* text, std::uint32_t capacity);

// The code of the last failed call of this layer. Process-wide: the program
// starts no thread.
std::uint32_t lastError();

// True for the code of a read from a pipe whose writer has gone (on Linux,
// where such a read delivers 0 bytes instead, EPIPE). A connection reset by
// its peer is not one.
bool isBrokenPipe(std::uint32_t code);

// True for the code of a write to a pipe or socket whose reader has gone
// (EPIPE on Linux and under WASI; on Windows ERROR_NO_DATA, or the broken or
// unconnected pipe that wine and some pipes report instead).
bool isReaderGone(std::uint32_t code);

// True when a call on `handle` failed with `code` because the handle is not
// open at all: on Linux a standard descriptor that the process was started
// without (one more call, made on this failure only). Never true on Windows,
// which hands such a process a null handle whose failure keeps its own code,
// nor under WASI, where standardHandle() gives no handle for it.
bool isClosedHandle(Handle handle, std::uint32_t code);

// Releases a handle that turned out to be unusable. On Linux this closes
// nothing: closing a standard descriptor would let the next open reuse it.
void releaseHandle(Handle handle);

// Ends the process at once with the given exit code (its low 8 bits on Linux).
// Async-signal-safe; calls the operating system directly, never through a
// replaceable function.
[[noreturn]] void exitProcess(std::uint32_t code);

// Ends the process as an abort does: by SIGABRT on Linux (exit code 134 if
// the signal is ignored), with exit code 3 on Windows, by a trap of the
// module under WASI. Async-signal-safe.
[[noreturn]] void abortProcess();

// Start-up of the layer itself. On Linux, SIGPIPE and SIGXFSZ are ignored, so
// that a write to a closed pipe fails with EPIPE (32) and a write past the
// file-size limit with EFBIG (27) instead of ending the process with its
// output still held.
void initPlatform();

// ---- Requests to stop ----

// Called in the program's own flow, never inside a signal handler, with the
// number of the request that arrived. It writes out what the program must not
// lose and returns; the layer then ends the process by that signal.
using StopHandler = void (*)(int signal);

// A stop hook, held in constant data like a TrapHook.
struct StopHook {
  StopHandler handler;
};

// Lets the program finish its output when it is asked to stop. On Linux,
// SIGINT, SIGTERM and SIGHUP (each one that was not ignored when the program
// started: a background job or nohup keeps ignoring it, also after another
// one has arrived) no longer end the process at once. The first to arrive is
// held, and the process ends by it (status 128 + n in a shell) at the next of
// these points: a read or the open of a file, which the signal interrupts
// when it waits for input or for a FIFO's writer (the hook runs first); the
// end of the process, whatever its exit code would have been; and at the
// latest half a second after the signal, wherever the process is then (the
// hook's own writes among them). A write that the signal interrupts goes on,
// so that a block that its reader takes goes out whole; one that its reader
// does not take by then is where the output ends, in the middle of a line if
// part of the block had gone out. From the first arrival on, the ones that
// the process handles take their default action again: a second one, also
// one that comes while the hook runs, ends the process at once.
// On Windows nothing changes: Ctrl+C and Ctrl+Break end the program as they
// end any console program, with what it holds unwritten (a console control
// handler runs on a thread of its own, which could not stop the main thread's
// wait for input without racing it).
void installStopHook(const StopHook& hook);

// ---- Keyboard type and registry, for the floating-point mask override ----

// GetKeyboardType(which): the keyboard type (0) or subtype (1). 0 where the
// platform has no keyboard type.
std::int32_t keyboardType(std::int32_t which);

using RegistryKey = std::uintptr_t;
// Opens a key under HKEY_LOCAL_MACHINE for querying values. False where the
// key is missing or the platform has no registry.
bool openRegistryKey(const char* subKey, RegistryKey& key);
// Queries a 4-byte value of an open key into `value`; false on failure, and
// `value` is then untouched.
bool queryRegistryValue(RegistryKey key, const char* valueName, std::uint32_t& value);
void closeRegistryKey(RegistryKey key);

// Shows a message to the user outside console mode (a message box with one
// OK button on Windows; on Linux "Error: ", the text and LF on standard error).
void showMessageBox(const char* text, const char* caption);

// ---- Processor exceptions ----

// Called with the platform exception code of a processor exception (the
// Windows STATUS_* numbering) and the address of the faulting instruction.
// It must not return.
using TrapHandler = void (*)(std::uint32_t exceptionCode, std::uintptr_t address);

// A trap hook: its handler, held in constant data (declare it constexpr or
// static const), so that the road from a fault to its handler passes no
// function address kept in writable memory.
struct TrapHook {
  TrapHandler handler;
};

// Installs the process-wide trap hook (on Linux, signal handlers on an
// alternate stack with an inaccessible guard region below it; on Windows the
// unhandled-exception filter) and removes it again. `hook` must outlive its
// installation. Installing again replaces the hook. Every processor exception
// reaches the handler, also one raised while the handler itself runs (a fault
// on the road out of a run-time error): what to do then is the handler's
// decision. Under WASI none does: a trap ends the module, and the hook is
// never called.
void installTrapHook(const TrapHook& hook);
void removeTrapHook();

// The address of code in this executable as its symbol tables know it (the
// run-time address less the load bias), so that a debugger or addr2line can
// name the line; 0 for an address outside the executable's image (a jump
// through a corrupted pointer, a fault in a system library), which names no
// code of the program, and whose distance from the image would tell where
// the program was loaded.
std::uintptr_t moduleCodeAddress(std::uintptr_t runtimeAddress);

}  // namespace platform
