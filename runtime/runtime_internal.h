// Inside the run-time: its start-up and shutdown steps, the floating-point
// environment, the roads into a run-time error, the code tables and the
// message, shared by the run-time's files and open to its tests.
#pragma once

#include <cstdint>

#include "exceptions/caller_address.h"
#include "platform/platform.h"
#include "platform/program_state.h"
#include "runtime/runtime.h"
#include "textio/text_stream.h"

// The control word at load: invalid operation, division by zero and overflow
// unmasked (they trap); denormal operand, underflow and precision masked;
// 64-bit significand; round to nearest, ties to even; infinity control set.
inline constexpr std::uint16_t defaultFpuControlAtLoad = 0x1332;
// The control word loaded at start-up and on the exception paths:
// defaultFpuControlAtLoad, unless the mask override replaced its mask bits.
// Zero at load (the program keeps no initialised writable data): initRuntime
// gives it defaultFpuControlAtLoad before anything can load it.
extern PROGRAM_STATE std::uint16_t defaultFpuControl;

// The exit code and the code address of the pending run-time error (0 for an
// address outside the program's image), and whether its message is due at
// shutdown.
extern PROGRAM_STATE std::int32_t exitCode;
extern PROGRAM_STATE std::uintptr_t errorAddress;
extern PROGRAM_STATE bool errorMessageDue;

// A run-time error has been raised and is on its way out: runtimeError never
// leaves exitCode at 0.
inline bool runtimeErrorRaised() {
  return exitCode != 0;
}

// Entries whose start-up has begun.
extern std::int32_t startedCount;

// The run-time library's start-up step: the mask override (under the keyboard
// condition), resetFpu, and the three standard streams marked closed.
void initRuntimeLibrary();
// Its shutdown step: closes the standard streams, which writes out what
// ConsoleOut holds. When that write fails and no run-time error is pending,
// the failure's code (low 8 bits) becomes a run-time error at the position
// right after the close; ConsoleErr's result is not judged.
void finalizeRuntimeLibrary();
// Resets the extended model's environment and loads defaultFpuControl.
void resetFpu();
// Replaces the six mask bits of defaultFpuControl from the registry value, when
// the keyboard condition holds.
void fpuMaskOverride();

// Where the keyboard type and the registry value come from. fpuMaskSource
// is null for the platform's queries (platformFpuMaskSource); tests point it
// at stand-ins.
struct FpuMaskSource {
  std::int32_t (*keyboardType)(std::int32_t which);
  bool (*openRegistryKey)(const char* subKey, platform::RegistryKey& key);
  bool (*queryRegistryValue)(platform::RegistryKey key, const char* valueName,
                             std::uint32_t& value);
  void (*closeRegistryKey)(platform::RegistryKey key);
};
extern const FpuMaskSource platformFpuMaskSource;
extern const FpuMaskSource* fpuMaskSource;
// The registry key and value that fpuMaskOverride reads.
inline constexpr const char* fpuMaskKeyName = "SOFTWARE\\Velmark\\Orison\\RTL";
inline constexpr const char* fpuMaskValueName = "FPUMaskValue";
// True on the two keyboards whose machines take the mask override: type 7
// (Japanese) with subtype 0x0D or 0x04 in bits 8 to 15.
bool fpuMaskKeyboardCondition();

// Raises the error of a kind (reduced modulo 128): kind 0 reports the low 8
// bits of pendingIoError, kinds 1 to 24 their errorKindCodes entry, kinds 25
// to 127 themselves. The address is the position right after the call.
[[noreturn]] void raiseErrorKind(std::uint8_t kind);
// Raises the pending I/O code (its low 8 bits) as the run-time error at
// `address`, a module address, keeping the whole code for the program's
// failure report.
[[noreturn]] void ioFailure(std::uintptr_t address);
// The whole I/O code of the run-time error on its way out, 0 when the error
// is no I/O code's.
extern PROGRAM_STATE std::uint32_t failedIoCode;
// The program's failure report (setFailureReport), null without one.
extern const FailureReport* failureReport;
// Records the error (code 0 is reported as 255, so that a run-time error never
// ends with exit code 0) and shuts down. `address` is already a module address.
[[noreturn]] void runtimeError(std::uint8_t code, std::uintptr_t address);
// The run-time error code of a platform exception code; 255 for any other.
std::uint8_t mapExceptionCode(std::uint32_t exceptionCode);
// The process-wide handler of processor exceptions and extended-model traps:
// resets the floating-point environment and raises the mapped error at the
// module address of `address` (a run-time address); while an error is already
// on its way out, ends the process at once with that error's code instead.
// Async-signal-safe.
[[noreturn]] void topLevelExceptionHandler(std::uint32_t exceptionCode, std::uintptr_t address);
// Fills errorMessage from the template with `code` and `address` (its low
// 32 bits): the program's error (exitCode, errorAddress), or a record's.
void fillErrorMessage(std::int32_t code, std::uintptr_t address);
// The code of the first record that ended in an error (records.cpp); 0 when
// none did, or in a program without records.
extern PROGRAM_STATE std::uint8_t firstRecordErrorCode;
// Writes the filled message: in console mode ConsoleOut's held bytes, then the
// message and CR LF straight to the standard output handle; otherwise a
// message box captioned "Error". Results are ignored.
void writeErrorMessage();

// Run-time error codes that name an event.
enum RuntimeErrorCode : std::uint8_t {
  errorDivisionByZero = 200,  // integer or floating-point division by zero
  errorRangeCheck = 201,      // array bounds exceeded
  errorStackOverflow = 202,
  errorOutOfMemory = 203,
  errorInvalidPointer = 204,  // a failed release of a memory block
  errorFloatOverflow = 205,
  errorFloatUnderflow = 206,  // also a denormal operand
  errorInvalidFloatOperation = 207,
  errorIntegerOverflow = 215,
  errorAccessViolation = 216,
  errorControlC = 217,
  errorPrivilegedInstruction = 218,
};

// Error kinds and their codes; kinds 1 to 24 have an entry (index 0 unused).
inline constexpr int errorKindTableSize = 25;
inline constexpr std::uint8_t errorKindLimit = 128;
extern const std::uint8_t errorKindCodes[errorKindTableSize];
// The code reported for a run-time error whose own code is 0, and for an
// exception code that has no row of its own.
inline constexpr std::uint8_t catchAllErrorCode = 255;

// The message: "Runtime error ccc at aaaaaaaa", filled from its template at
// shutdown, zero-terminated for the message box. The template is constant
// and the message zeroed at load, so that the program keeps no initialised
// writable data.
inline constexpr int errorMessageLength = 29;
inline constexpr char errorMessageTemplate[errorMessageLength + 1] =
    "Runtime error     at 00000000";
extern PROGRAM_STATE char errorMessage[errorMessageLength + 1];
inline constexpr const char* errorMessageCaption = "Error";

// The low 8 bits of an I/O or operating-system code: the run-time error code
// that reports it.
inline constexpr std::uint32_t errorCodeBits = 0xFF;

// The run-time error code of the pending I/O code.
inline std::uint8_t pendingIoCode() {
  return static_cast<std::uint8_t>(pendingIoError & errorCodeBits);
}

// A return address (__builtin_return_address) as the module address that a
// message shows.
inline std::uintptr_t returnAddressToModule(void* returnAddress) {
  return platform::moduleCodeAddress(
      reinterpret_cast<std::uintptr_t>(__builtin_extract_return_addr(returnAddress)));
}
