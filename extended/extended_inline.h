// The inline parts of the extended model, included at the end of extended.h:
// what the operations share (the operand tests, the rounding rule, the double
// format, the model's state through which a common path raises masked flags
// without a call), and the common cases of canonical, compare, fromDouble,
// toDouble and multiplyToUint64. Their other cases are out of line, where the
// operation's caller is named as every operation names it. Not an interface
// of its own: callers include extended.h.
#pragma once

#include <bit>
#include <cassert>
#include <cstdint>

#include "extended/extended.h"
#include "extended/fpu_environment.h"
#include "extended/fpu_state.h"
#include "extended/wide_arithmetic.h"

namespace extended {
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

// True for the exponents for which roundAndPack gives a normal result without
// overflow or underflow, whatever the rounding: 1..32765.
constexpr bool inNormalRange(std::int32_t exponent) {
  return exponent >= 1 && exponent < maxExponentField - 1;
}

// The rounding of roundAndPack for an exponent inNormalRange, without flags
// (the result is inexact exactly when `extra` is nonzero).
inline Extended roundInNormalRange(bool sign, std::int32_t exponent, std::uint64_t significand,
                                   std::uint64_t extra) {
  if (roundsUp(significand, extra)) {
    ++significand;
    if (significand == 0) {
      significand = integerBit;
      ++exponent;
    }
  }
  return make(sign, static_cast<std::uint16_t>(exponent), significand);
}

// The integer nearest to significand · 2^(unbiased − 63), ties to even, for an
// unbiased exponent below 63 (below 0 the value is under 1); adds precision to
// `flags` when the value is not that integer.
inline std::uint64_t roundToWhole(std::uint64_t significand, std::int32_t unbiased,
                                  std::uint16_t& flags) {
  if (unbiased < 0) {
    if (significand != 0) flags |= flagPrecision;
    // Only a value in [1/2, 1) can round up, and its kept integer is 0: even.
    return unbiased == -1 && roundsUp(0, significand) ? 1 : 0;
  }
  const int fractionBits = 63 - unbiased;
  const std::uint64_t whole = significand >> fractionBits;
  const std::uint64_t fraction = significand << (64 - fractionBits);
  if (fraction != 0) flags |= flagPrecision;
  return roundsUp(whole, fraction) ? whole + 1 : whole;
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

// The exact product of two significands, normalized: its top 64 bits with the
// top bit set, the 64 below, and `exponent` (biased, of the product of the
// two values) one higher for a product of 2^127 or more.
struct NormalizedProduct {
  std::int32_t exponent;
  std::uint64_t significand;
  std::uint64_t extra;
};
inline NormalizedProduct normalizedProduct(std::int32_t exponent, std::uint64_t a,
                                           std::uint64_t b) {
  const wide::Uint128 product = wide::multiply64To128(a, b);
  if ((product.high & integerBit) != 0) return {exponent + 1, product.high, product.low};
  return {exponent, (product.high << 1) | (product.low >> 63), product.low << 1};
}

// The out-of-line parts, each taking the address of its own caller, the code
// that called the public operation (they are reached only from the inline
// bodies below, which are inlined in every build).
Extended canonicalOther(Extended x);
// compare for operands that are not both normal or zero.
Comparison compareOther(Extended a, Extended b);
// fromDouble for the doubles that are not normal: zeros, denormals,
// infinities and NaNs. The bits of the double.
Extended fromDoubleSpecial(std::uint64_t bits);
// toDouble for what its inline part does not finish: values outside the
// normal doubles below the largest binade, and inexact ones with the
// precision exception unmasked.
double toDoubleOther(Extended x);
// multiplyToUint64 for a zero or denormal x.
std::uint64_t multiplyOtherToUint64(Extended x, Extended factor);
// Raises `flags`, of which one is unmasked, for the code that called this.
void signalForCaller(std::uint16_t flags);

}  // namespace detail

inline Extended canonical(Extended x) {
  if ((x.significand & integerBit) != 0 && x.exponentField() != 0) return x;
  return detail::canonicalOther(x);
}

[[gnu::always_inline]] inline Comparison compare(Extended a, Extended b) {
  if ((detail::isNormal(a) || detail::isZero(a)) && (detail::isNormal(b) || detail::isZero(b))) {
    return detail::orderOf(a, b);
  }
  return detail::compareOther(a, b);
}

// A normal double's fraction moves up below the integer bit (where the
// exponent's low bit lands, set regardless).
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

[[gnu::always_inline]] inline double toDouble(Extended x) {
  const std::int32_t doubleExponent = x.exponentField() - detail::doubleExponentOffset;
  if (detail::isNormal(x) && doubleExponent >= 1 && doubleExponent < detail::maxDoubleExponent &&
      ((x.significand & detail::doubleDroppedMask) == 0 || detail::raiseMasked(flagPrecision))) {
    return std::bit_cast<double>(detail::packDouble(
        x.sign(), doubleExponent, detail::roundToDoubleSignificand(x.significand, 0)));
  }
  return detail::toDoubleOther(x);
}

[[gnu::always_inline]] inline std::uint64_t multiplyToUint64(Extended x, Extended factor) {
  assert(!x.sign() && x.exponentField() != maxExponentField);
  assert(x.exponentField() == 0 || (x.significand & integerBit) != 0);
  assert(!factor.sign() && (factor.significand & integerBit) != 0 &&
         factor.exponentField() >= exponentBias && factor.exponentField() != maxExponentField);
  if (x.exponentField() == 0) return detail::multiplyOtherToUint64(x, factor);

  // A normal x times a factor of at least 1 lies in the normal range: the
  // product rounds to the format as multiply rounds it there, inexact when
  // bits below the significand are lost, and that value then to an integer.
  const detail::NormalizedProduct p = detail::normalizedProduct(
      x.exponentField() + factor.exponentField() - exponentBias, x.significand, factor.significand);
  assert(detail::inNormalRange(p.exponent) && p.exponent < exponentBias + 63);
  std::uint16_t flags = p.extra != 0 ? flagPrecision : 0;
  const Extended rounded = detail::roundInNormalRange(false, p.exponent, p.significand, p.extra);
  const std::uint64_t result =
      detail::roundToWhole(rounded.significand, rounded.exponentField() - exponentBias, flags);
  // Flags masked by the program (precision) join the status without a call.
  if (flags != 0 && !detail::raiseMasked(flags)) detail::signalForCaller(flags);
  return result;
}

}  // namespace extended
