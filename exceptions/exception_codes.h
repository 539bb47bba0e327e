// Platform exception codes: the numbers by which processor exceptions are
// reported, in the Windows STATUS_* numbering on every platform. The extended
// model raises its traps with these codes, the Linux trap hook maps signals to
// them, and the run-time maps them to run-time error codes.
//
// A header of its own, outside platform/ and extended/, so that the model and
// the platform layer both see the codes without either depending on the other.
#pragma once

#include <cstdint>

namespace platform {

enum ExceptionCode : std::uint32_t {
  statusAccessViolation = 0xC0000005,
  statusArrayBoundsExceeded = 0xC000008C,
  statusFloatDenormalOperand = 0xC000008D,
  statusFloatDivideByZero = 0xC000008E,
  statusFloatInexactResult = 0xC000008F,
  statusFloatInvalidOperation = 0xC0000090,
  statusFloatOverflow = 0xC0000091,
  statusFloatStackCheck = 0xC0000092,
  statusFloatUnderflow = 0xC0000093,
  statusIntegerDivideByZero = 0xC0000094,
  statusIntegerOverflow = 0xC0000095,
  statusPrivilegedInstruction = 0xC0000096,
  statusStackOverflow = 0xC00000FD,
  statusControlCExit = 0xC000013A,
  // An illegal instruction: no row of the run-time's table names it, so it
  // reports the catch-all code.
  statusIllegalInstruction = 0xC000001D,
};

}  // namespace platform
