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

// The part of roundAndPack for exponents outside 1..32765 (overflow and
// underflow possible), kept out of line.
Extended roundAndPackOutOfRange(bool sign, std::int32_t exponent, std::uint64_t significand,
                                std::uint64_t extra, std::uint16_t& flags);

inline constexpr std::uint64_t roundHalfway = std::uint64_t{1} << 63;

// Round to nearest, ties to even: true when the kept bits go up by one unit.
// `roundBits` is left-aligned: its top bit is the round bit.
constexpr bool roundsUp(std::uint64_t kept, std::uint64_t roundBits) {
  return roundBits > roundHalfway || (roundBits == roundHalfway && (kept & 1) != 0);
}

// Rounds (significand + extra / 2^64) · 2^(exponent − 16383 − 63) to the 80-bit
// format. `significand` must have its top bit set; `extra` holds the round bit
// (top) and sticky bits below. Adds to `flags`: precision when inexact,
// overflow, and underflow as the control word's underflow mask decides (masked:
// tiny after rounding and inexact; unmasked: tiny after rounding).
inline Extended roundAndPack(bool sign, std::int32_t exponent, std::uint64_t significand,
                             std::uint64_t extra, std::uint16_t& flags) {
  if (exponent < 1 || exponent >= maxExponentField - 1) {
    return roundAndPackOutOfRange(sign, exponent, significand, extra, flags);
  }
  // Normal range, where a carry cannot overflow.
  if (extra != 0) {
    flags |= flagPrecision;
    if (roundsUp(significand, extra)) {
      ++significand;
      if (significand == 0) {
        significand = integerBit;
        ++exponent;
      }
    }
  }
  return make(sign, static_cast<std::uint16_t>(exponent), significand);
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
