// The shared last step of every operation of the extended model: rounding an
// exact result (significand, round and sticky bits) to the destination format,
// to nearest with ties to even, with gradual underflow and overflow, and the
// flags that this raises.
#pragma once

#include <bit>
#include <cstdint>

#include "extended/extended.h"
#include "extended/fpu_environment.h"

namespace extended::detail {

// A finite nonzero value as sign, biased exponent and a significand whose top
// bit is set: value = significand · 2^(exponent − 16383 − 63). The exponent
// may lie outside the format's range (intermediate results).
struct Unpacked {
  bool sign = false;
  std::int32_t exponent = 0;
  std::uint64_t significand = 0;
};

// Unpacks a normal value (see isNormal in extended_inline.h): nothing to normalize.
inline Unpacked unpackNormal(Extended x) {
  return Unpacked{x.sign(), x.exponentField(), x.significand};
}

// Unpacks a normal, denormal or pseudo-denormal value (significand nonzero),
// normalizing the significand. Denormals get exponents below 1.
inline Unpacked unpackFinite(Extended x) {
  std::int32_t exponent = x.exponentField();
  std::uint64_t significand = x.significand;
  if (exponent == 0) {
    const int shift = std::countl_zero(significand);
    significand <<= shift;
    exponent = 1 - shift;
  }
  return Unpacked{x.sign(), exponent, significand};
}

// Shifts (significand, extra) left until the top bit of the significand is
// set, lowering the exponent to match. The pair must not be zero.
inline void normalize(std::int32_t& exponent, std::uint64_t& significand, std::uint64_t& extra) {
  if (significand == 0) {
    significand = extra;
    extra = 0;
    exponent -= 64;
  }
  const int shift = std::countl_zero(significand);
  if (shift != 0) {
    significand = (significand << shift) | (extra >> (64 - shift));
    extra <<= shift;
    exponent -= shift;
  }
}

// The rounding in the normal range (inNormalRange, roundInNormalRange) and to
// an integer (roundToWhole) are in extended_inline.h, with the fused product
// that uses them.

// The part of roundAndPack for exponents outside 1..32765 (overflow and
// underflow possible), kept out of line.
Extended roundAndPackOutOfRange(bool sign, std::int32_t exponent, std::uint64_t significand,
                                std::uint64_t extra, std::uint16_t& flags);

// Rounds (significand + extra / 2^64) · 2^(exponent − 16383 − 63) to the 80-bit
// format. `significand` must have its top bit set; `extra` holds the round bit
// (top) and sticky bits below. Adds to `flags`: precision when inexact,
// overflow, and underflow as the control word's underflow mask decides (masked:
// tiny after rounding and inexact; unmasked: tiny after rounding).
inline Extended roundAndPack(bool sign, std::int32_t exponent, std::uint64_t significand,
                             std::uint64_t extra, std::uint16_t& flags) {
  if (!inNormalRange(exponent)) {
    return roundAndPackOutOfRange(sign, exponent, significand, extra, flags);
  }
  if (extra != 0) flags |= flagPrecision;
  return roundInNormalRange(sign, exponent, significand, extra);
}

// roundAndPack followed by raising `flags` (those the operation raised before
// rounding, and those rounding adds) for the code at `callerAddress`. Marked
// cold so that the operations' common path stays free of its set-up.
[[gnu::cold]] Extended roundPackAndSignalOutOfLine(bool sign, std::int32_t exponent,
                                                   std::uint64_t significand, std::uint64_t extra,
                                                   std::uint16_t flags,
                                                   std::uintptr_t callerAddress);

// The last step of an arithmetic operation: roundAndPack, then the flags
// raised for the code at `callerAddress`, `flags` being those the operation
// raised before rounding. Without a call in the common case: the normal range,
// no earlier flags, and an exact result or a masked precision exception.
inline Extended roundPackAndSignal(bool sign, std::int32_t exponent, std::uint64_t significand,
                                   std::uint64_t extra, std::uint16_t flags,
                                   std::uintptr_t callerAddress) {
  if (flags == 0 && inNormalRange(exponent)) {
    if (extra == 0) return make(sign, static_cast<std::uint16_t>(exponent), significand);
    if (raiseMasked(flagPrecision)) return roundInNormalRange(sign, exponent, significand, extra);
  }
  return roundPackAndSignalOutOfLine(sign, exponent, significand, extra, flags, callerAddress);
}

// As roundPackAndSignal for a significand whose top bit may be clear; the
// pair (significand, extra) must not be zero.
inline Extended normalizeRoundPackAndSignal(bool sign, std::int32_t exponent,
                                            std::uint64_t significand, std::uint64_t extra,
                                            std::uint16_t flags, std::uintptr_t callerAddress) {
  normalize(exponent, significand, extra);
  return roundPackAndSignal(sign, exponent, significand, extra, flags, callerAddress);
}

// As roundAndPack for a significand whose top bit may be clear (an exact zero
// is packed as +0 or −0 by `sign`, without flags).
Extended normalizeRoundAndPack(bool sign, std::int32_t exponent, std::uint64_t significand,
                               std::uint64_t extra, std::uint16_t& flags);

// Rounds the same kind of value to an IEEE double (53 bits) and returns its
// bits; `exponent` is biased as for the 80-bit format. Raises the flags of the
// processor's store to a 64-bit memory operand.
std::uint64_t roundAndPackDouble(bool sign, std::int32_t exponent, std::uint64_t significand,
                                 std::uint64_t extra, std::uint16_t& flags);

}  // namespace extended::detail
