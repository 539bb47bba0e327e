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
#pragma once

#include <bit>
#include <cstdint>

#include "extended/fpu_state.h"

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

// What the operations share, and what the inline parts of compare and
// toDouble below need: the operand tests, the rounding rule and the double
// format.
namespace detail {

// True for a normal value (exponent field 1..32766, integer bit set): the
// common case that every operation takes without further classification.
inline bool isNormal(Extended x) {
  return (x.significand & integerBit) != 0 &&
         static_cast<std::uint16_t>(x.exponentField() - 1u) < maxExponentField - 1u;
}

// True for +0 and −0.
inline bool isZero(Extended x) {
  return x.exponentField() == 0 && x.significand == 0;
}

// One half of a unit, as left-aligned round bits.
inline constexpr std::uint64_t roundHalfway = std::uint64_t{1} << 63;

// Round to nearest, ties to even: true when the kept bits go up by one unit.
// `roundBits` is left-aligned: its top bit is the round bit.
constexpr bool roundsUp(std::uint64_t kept, std::uint64_t roundBits) {
  return roundBits > roundHalfway || (roundBits == roundHalfway && (kept & 1) != 0);
}

// The IEEE double format, as the processor stores it.
inline constexpr int doubleDroppedBits = 11;  // 64 − 53
inline constexpr std::uint64_t doubleDroppedMask = (std::uint64_t{1} << doubleDroppedBits) - 1;
inline constexpr std::int32_t doubleExponentOffset = exponentBias - 1023;
inline constexpr std::int32_t maxDoubleExponent = 0x7FE;

// The top 53 bits of `significand`, rounded to nearest even by the bits below
// them and by `extra` (sticky only); 2^53 after a carry out of the top.
inline std::uint64_t roundToDoubleSignificand(std::uint64_t significand, std::uint64_t extra) {
  const std::uint64_t kept = significand >> doubleDroppedBits;
  const std::uint64_t roundBits =
      (significand << (64 - doubleDroppedBits)) | (extra != 0 ? 1u : 0u);
  return roundsUp(kept, roundBits) ? kept + 1 : kept;
}

// The bits of a normal double from its biased exponent (1..2046) and a rounded
// significand of 2^52..2^53: a carry to 2^53 moves into the exponent field.
inline std::uint64_t packDouble(bool sign, std::int32_t doubleExponent, std::uint64_t significand) {
  return (sign ? std::uint64_t{1} << 63 : 0) +
         (static_cast<std::uint64_t>(doubleExponent - 1) << 52) + significand;
}

}  // namespace detail

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
namespace detail {
Extended canonicalOther(Extended x);
}  // namespace detail
inline Extended canonical(Extended x) {
  if ((x.significand & integerBit) != 0 && x.exponentField() != 0) return x;
  return detail::canonicalOther(x);
}

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

namespace detail {
// Orders magnitudes of supported non-NaN encodings: a pseudo-denormal has the
// scale of exponent field 1, like the smallest normals.
inline bool magnitudeLess(Extended a, Extended b) {
  const std::uint16_t exponentA = a.exponentField() == 0 ? 1 : a.exponentField();
  const std::uint16_t exponentB = b.exponentField() == 0 ? 1 : b.exponentField();
  return exponentA < exponentB || (exponentA == exponentB && a.significand < b.significand);
}

// The order of two supported non-NaN encodings; −0 equals +0.
inline Comparison orderOf(Extended a, Extended b) {
  if (isZero(a) && isZero(b)) return Comparison::equal;
  if (a.sign() != b.sign()) return a.sign() ? Comparison::less : Comparison::greater;
  if (magnitudeLess(a, b)) return a.sign() ? Comparison::greater : Comparison::less;
  if (magnitudeLess(b, a)) return a.sign() ? Comparison::less : Comparison::greater;
  return Comparison::equal;
}

// compare for operands that are not both normal or zero. Out of line in every
// build, and compare is inlined in every build: its caller's address is that
// of the code that compared.
Comparison compareOther(Extended a, Extended b);
}  // namespace detail

// Inline for normal values and zeros, which raise no flags: against a
// constant zero, a test of the sign.
[[gnu::always_inline]] inline Comparison compare(Extended a, Extended b) {
  if ((detail::isNormal(a) || detail::isZero(a)) && (detail::isNormal(b) || detail::isZero(b))) {
    return detail::orderOf(a, b);
  }
  return detail::compareOther(a, b);
}

// FRNDINT: to an integer, ties to even.
Extended roundToInteger(Extended x);

namespace detail {
// fromDouble for the doubles that are not normal: zeros, denormals,
// infinities and NaNs. The bits of the double.
Extended fromDoubleSpecial(std::uint64_t bits);
}  // namespace detail

// FLD m64: exact widening of an IEEE double. Inline for the normal doubles,
// which are exact without flags: the fraction moves up below the integer bit
// (where the exponent's low bit lands, set regardless).
[[gnu::always_inline]] inline Extended fromDouble(double x) {
  constexpr std::uint32_t doubleExponentField = 0x7FF;
  constexpr std::int32_t doubleBias = 1023;
  constexpr int doubleFractionBits = 52;
  constexpr int signExponentShift = 48;  // the double's sign onto signFieldBit
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(x);
  const std::uint32_t doubleExponent =
      static_cast<std::uint32_t>(bits >> doubleFractionBits) & doubleExponentField;
  if (doubleExponent - 1 < doubleExponentField - 1) {
    const std::uint16_t signBit =
        static_cast<std::uint16_t>((bits >> signExponentShift) & signFieldBit);
    return Extended{
        (bits << (63 - doubleFractionBits)) | integerBit,
        static_cast<std::uint16_t>(
            signBit | (static_cast<std::int32_t>(doubleExponent) - doubleBias + exponentBias))};
  }
  return detail::fromDoubleSpecial(bits);
}
namespace detail {
// toDouble for what its inline part does not finish: values outside the
// normal doubles below the largest binade, and inexact ones with the
// precision exception unmasked. Out of line in every build, and toDouble is
// inlined in every build: its caller's address is that of the code that
// stored.
double toDoubleOther(Extended x);
}  // namespace detail

// FST m64: rounding to the nearest IEEE double (53 bits, gradual underflow);
// an out-of-range value overflows. Inline for a normal value that stays a
// normal double, even after a carry, when it is exact or precision is masked.
[[gnu::always_inline]] inline double toDouble(Extended x) {
  const std::int32_t doubleExponent = x.exponentField() - detail::doubleExponentOffset;
  if (detail::isNormal(x) && doubleExponent >= 1 && doubleExponent < detail::maxDoubleExponent &&
      ((x.significand & detail::doubleDroppedMask) == 0 || detail::raiseMasked(flagPrecision))) {
    return std::bit_cast<double>(detail::packDouble(
        x.sign(), doubleExponent, detail::roundToDoubleSignificand(x.significand, 0)));
  }
  return detail::toDoubleOther(x);
}

// FILD m64: exact.
Extended fromInt64(std::int64_t x);
// FISTP m64: rounded to nearest even; out of range or NaN is an invalid
// operation giving the integer indefinite, INT64_MIN.
std::int64_t toInt64(Extended x);
// A product rounded to an integer, fused for the digit writer
// (multiplyToUint64): extended/multiply_to_integer.h.

}  // namespace extended
