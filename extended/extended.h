// The 80-bit extended format of the x87 floating-point unit, modelled exactly
// in portable integer arithmetic: every operation gives the bits and raises
// the exception flags that the processor gives and raises with a 64-bit
// significand and rounding to nearest, ties to even. The same bits on every
// machine, and traps that are synchronous and deterministic.
//
// State: one floating-point environment per process (control word, status
// flags, trap hook), see fpu_environment.h. Every operation below may raise
// flags through it; an unmasked exception calls the trap hook with the
// platform exception code and the address of the operation's caller.
//
// This is the model's interface. The common cases of a few operations are
// inline for speed; their bodies, and the state they reach, are in
// extended_inline.h, included at the end.
#pragma once

#include <bit>
#include <cstdint>

// An extended value: sign bit, 15-bit exponent field (bias 16383) and a 64-bit
// significand whose top bit is the explicit integer bit.
struct Extended {
  std::uint64_t significand = 0;
  std::uint16_t signExponent = 0;  // bit 15 the sign, bits 0..14 the exponent field

  constexpr bool sign() const { return (signExponent & 0x8000u) != 0; }
  constexpr std::uint16_t exponentField() const {
    return static_cast<std::uint16_t>(signExponent & 0x7FFFu);
  }
  friend constexpr bool operator==(const Extended&, const Extended&) = default;
};

namespace extended {

inline constexpr std::int32_t exponentBias = 16383;
inline constexpr std::uint16_t maxExponentField = 0x7FFF;
inline constexpr std::uint64_t integerBit = 0x8000000000000000u;
inline constexpr int memoryImageSize = 10;
// The sign's bit in the sign-and-exponent field.
inline constexpr std::uint16_t signFieldBit = 0x8000u;

constexpr Extended make(bool negative, std::uint16_t exponentField, std::uint64_t significand) {
  return Extended{significand, static_cast<std::uint16_t>((negative ? 0x8000u : 0u) |
                                                          (exponentField & 0x7FFFu))};
}

// An unsigned integer as an extended value, exactly: every value below 2^64
// fits the 64-bit significand. For constants and exact conversions; raises no
// flags.
constexpr Extended exactInteger(std::uint64_t n) {
  if (n == 0) return make(false, 0, 0);
  const int shift = std::countl_zero(n);
  return make(false, static_cast<std::uint16_t>(exponentBias + 63 - shift), n << shift);
}

inline constexpr Extended positiveZero = make(false, 0, 0);
inline constexpr Extended negativeZero = make(true, 0, 0);
inline constexpr Extended positiveInfinity = make(false, maxExponentField, integerBit);
inline constexpr Extended negativeInfinity = make(true, maxExponentField, integerBit);

enum class ValueClass {
  zero,
  denormal,     // exponent field 0, significand nonzero (pseudo-denormals included)
  normal,       // exponent field 1..32766 with the integer bit set
  infinity,     // exponent field 32767, significand 0x8000000000000000
  nan,          // exponent field 32767, integer bit set, fraction nonzero
  unsupported,  // unnormals, pseudo-infinities, pseudo-NaNs: invalid operands
};

ValueClass classify(Extended x);

// The same number in canonical encoding: an unnormal or pseudo-zero (exponent
// field set, integer bit clear) and a pseudo-denormal (field 0, integer bit
// set) become the normal, denormal or zero that holds exactly their value,
// with their sign; canonical encodings stay as they are. Exact, no flags.
// Domain: exponent field below all ones. Inline for an encoding with the
// integer bit set and a nonzero field, which is canonical already.
inline Extended canonical(Extended x);

// The 10-byte little-endian memory image: significand, then sign and exponent.
void toMemoryImage(Extended x, std::uint8_t image[memoryImageSize]);
Extended fromMemoryImage(const std::uint8_t image[memoryImageSize]);

// Arithmetic (FADD, FSUB, FMUL, FDIV, FSQRT): rounded to 64 bits.
Extended add(Extended a, Extended b);
Extended subtract(Extended a, Extended b);
Extended multiply(Extended a, Extended b);
Extended divide(Extended a, Extended b);
Extended squareRoot(Extended x);

// Sign operations (FCHS, FABS): exact, no flags, NaNs included. They act on
// the sign bit alone, whatever the encoding.
constexpr Extended negate(Extended x) {
  return Extended{x.significand, static_cast<std::uint16_t>(x.signExponent ^ signFieldBit)};
}
constexpr Extended absolute(Extended x) {
  return Extended{x.significand, static_cast<std::uint16_t>(x.signExponent & maxExponentField)};
}

// Ordered comparison (FCOM): a NaN operand is an invalid operation and gives
// `unordered`; -0 equals +0.
enum class Comparison { less, equal, greater, unordered };

// Inline for normal values and zeros, which raise no flags: against a
// constant zero, a test of the sign. Inlined in every build, so that a trap
// in its other cases names the code that compared.
[[gnu::always_inline]] inline Comparison compare(Extended a, Extended b);

// FRNDINT: to an integer, ties to even.
Extended roundToInteger(Extended x);

// FLD m64: exact widening of an IEEE double. Inline for the normal doubles,
// which are exact without flags; inlined in every build, so that a trap in
// its other cases names the code that loaded.
[[gnu::always_inline]] inline Extended fromDouble(double x);

// FST m64: rounding to the nearest IEEE double (53 bits, gradual underflow);
// an out-of-range value overflows. Inline for a normal value that stays a
// normal double, even after a carry, when it is exact or precision is masked;
// inlined in every build, so that a trap in its other cases names the code
// that stored.
[[gnu::always_inline]] inline double toDouble(Extended x);

// FILD m64: exact.
Extended fromInt64(std::int64_t x);
// FISTP m64: rounded to nearest even; out of range or NaN is an invalid
// operation giving the integer indefinite, INT64_MIN.
std::int64_t toInt64(Extended x);

// FMUL by a normal factor of at least 1 followed by FISTP m64, fused for the
// digit writer: x × factor rounded to the 64-bit significand exactly as
// multiply rounds it (a denormal x can make it tiny), and that rounded value
// then to an integer: two roundings, each to nearest with ties to even.
// Raises the flags the two operations raise together: denormal for a
// denormal x, underflow as multiply raises it, and precision when either
// rounding is inexact; an unmasked one traps once. Domain: x canonical, not
// negative and finite; factor normal, at least 1; the product below 2^63, so
// nothing is invalid or overflows. Inline for a normal x, the common case,
// and inlined in every build, so that the out-of-line parts name its caller.
[[gnu::always_inline]] inline std::uint64_t multiplyToUint64(Extended x, Extended factor);

}  // namespace extended

#include "extended/extended_inline.h"
