// The floating-point environment of the extended model: the control word, the
// sticky status flags and the trap hook. One per process, as the program is
// single-threaded.
//
// Every exception flag is raised through raiseExceptions(), and that is also
// where an unmasked exception reaches the trap hook.
#pragma once

#include <cstdint>

namespace extended {

// Exception flags, in the bit positions of the x87 status word; the same bits
// of the control word are their masks.
enum ExceptionFlag : std::uint16_t {
  flagInvalid = 0x01,
  flagDenormal = 0x02,
  flagZeroDivide = 0x04,
  flagOverflow = 0x08,
  flagUnderflow = 0x10,
  flagPrecision = 0x20,
};
inline constexpr std::uint16_t exceptionMaskBits = 0x3F;

// Control word fields. Only the six mask bits may vary: the model computes with
// a 64-bit significand (precision control 3) and rounds to nearest (rounding
// control 0), and loadControlWord() keeps those fields as they are required.
inline constexpr std::uint16_t precisionControlExtended = 0x0300;
inline constexpr std::uint16_t precisionControlBits = 0x0300;
inline constexpr std::uint16_t roundingControlBits = 0x0C00;
// The word in force after a reset: everything masked, as FNINIT leaves it.
inline constexpr std::uint16_t initialControlWord = 0x037F;

// A process starts with the control word 0 (every exception unmasked) and no
// status flags: resetEnvironment() or loadControlWord() comes before the first
// operation (the run-time's start-up runs both).

// Replaces the control word. The precision and rounding fields must be 3 and 0
// (asserted); the mask bits and the other bits are taken as given.
void loadControlWord(std::uint16_t word);
std::uint16_t controlWord();

// The sticky status flags raised since the last clearStatus().
std::uint16_t statusFlags();
// FNINIT's effect on the model: clears the status flags and restores
// initialControlWord.
void resetEnvironment();
void clearStatus();

// Called for an exception that is not masked, with the platform exception code
// of the event (see exceptions/exception_codes.h) and the address of the code
// that called the operation. The run-time's handler does not return; one that
// returns (tests) lets the operation finish with its masked result.
using TrapHandler = void (*)(std::uint32_t exceptionCode, std::uintptr_t callerAddress);

// A trap hook: its handler, held in constant data (declare it constexpr or
// static const), so that the road from an unmasked exception to its handler
// passes no function address kept in writable memory.
struct TrapHook {
  TrapHandler handler;
};
// Puts `hook` in use; nullptr: unmasked exceptions only set flags. `hook` must
// outlive its use.
void setTrapHook(const TrapHook* hook);

// Raises flags for the operation whose caller is at `callerAddress`: sets them
// in the status word and, when any of them is unmasked, calls the trap hook
// with the code of the one the processor gives priority to (invalid operation
// or division by zero, then denormal operand, then overflow or underflow, then
// precision).
void raiseExceptions(std::uint16_t flags, std::uintptr_t callerAddress);

}  // namespace extended
