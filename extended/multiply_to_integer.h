// FMUL by a normal factor of at least 1 followed by FISTP m64, fused, for a
// known domain. Inline for a normal x, the common case, so that the digit
// writer's product costs no call; zeros, denormals and unmasked flags go out
// of line, where the operation's caller is named as every operation names it.
#pragma once

#include <cassert>
#include <cstdint>

#include "extended/extended.h"
#include "extended/fpu_environment.h"
#include "extended/fpu_state.h"
#include "extended/round_and_pack.h"
#include "extended/wide_arithmetic.h"

namespace extended {
namespace detail {

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

// multiplyToUint64 for a zero or denormal x.
std::uint64_t multiplyOtherToUint64(Extended x, Extended factor);
// Raises `flags`, of which one is unmasked, for the code that called this.
void signalForCaller(std::uint16_t flags);

}  // namespace detail

// x × factor rounded to the 64-bit significand exactly as multiply rounds it
// (a denormal x can make it tiny), and that rounded value then to an integer:
// two roundings, each to nearest with ties to even. Raises the flags the two
// operations raise together: denormal for a denormal x, underflow as multiply
// raises it, and precision when either rounding is inexact; an unmasked one
// traps once. Domain: x canonical, not negative and finite; factor normal, at
// least 1; the product below 2^63, so nothing is invalid or overflows. Always
// inline, in every build, so that the out-of-line parts name its caller.
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
