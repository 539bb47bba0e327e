// The processor's own rules for operands and results of the extended model:
// NaN propagation, invalid encodings, the denormal-operand flag and how an
// operation's flags reach the environment.
#pragma once

#include <cstdint>

#include "exceptions/caller_address.h"
#include "extended/extended.h"

namespace extended::rules {

// The default NaN ("real indefinite") of an invalid operation without NaN operands.
inline constexpr Extended indefiniteNaN = make(true, maxExponentField, 0xC000000000000000u);
// The bit that tells a quiet NaN from a signalling one.
inline constexpr std::uint64_t quietBit = 0x4000000000000000u;

inline bool isSignalingNaN(Extended x, ValueClass c) {
  return c == ValueClass::nan && (x.significand & quietBit) == 0;
}

// Result of a one-operand operation whose operand is a NaN or an unsupported
// encoding: the quieted NaN or the default NaN, with invalid operation for a
// signalling NaN or an unsupported encoding. Precondition: `c` is nan or unsupported.
Extended nanResult(Extended x, ValueClass c, std::uint16_t& flags);

// Result of a two-operand operation of which at least one operand is a NaN or
// an unsupported encoding (precondition), with the flags this raises.
Extended nanResult(Extended a, ValueClass ca, Extended b, ValueClass cb, std::uint16_t& flags);

inline bool isNaNOrUnsupported(ValueClass c) {
  return c == ValueClass::nan || c == ValueClass::unsupported;
}

// Raises the nonzero flags of an operation for its caller, after the
// processor's order of pre-computation checks: an unmasked denormal operand
// stops the operation before it can round, so only the denormal flag remains.
void signalFlags(std::uint16_t flags, std::uintptr_t callerAddress);

// Ends an operation: raises its flags, if any.
inline void signalOperation(std::uint16_t flags, std::uintptr_t callerAddress) {
  if (flags != 0) signalFlags(flags, callerAddress);
}

}  // namespace extended::rules

// The address of the code that called the current public operation.
#define EXTENDED_CALLER_ADDRESS() reinterpret_cast<std::uintptr_t>(CALLER_RETURN_ADDRESS())
