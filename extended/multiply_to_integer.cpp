#include <cassert>

#include "extended/extended.h"
#include "extended/fpu_environment.h"
#include "extended/fpu_state.h"
#include "extended/round_and_pack.h"
#include "extended/wide_arithmetic.h"
#include "extended/x87_rules.h"

namespace extended {
namespace {

// The exact product of two significands, normalized: its top 64 bits with the
// top bit set, the 64 below, and the exponent adjusted for a product below
// 2^127.
struct NormalizedProduct {
  std::int32_t exponent;
  std::uint64_t significand;
  std::uint64_t extra;
};
NormalizedProduct productOf(std::int32_t exponent, std::uint64_t a, std::uint64_t b) {
  const wide::Uint128 product = wide::multiply64To128(a, b);
  if ((product.high & integerBit) != 0) return {exponent + 1, product.high, product.low};
  return {exponent, (product.high << 1) | (product.low >> 63), product.low << 1};
}

// The integer nearest to a rounded product of the domain, ties to even, with
// the flags of both roundings raised for the code at `callerAddress`.
std::uint64_t wholeAndSignal(Extended rounded, std::uint16_t flags, std::uintptr_t callerAddress) {
  assert(rounded.exponentField() < exponentBias + 63);
  // A denormal's field of 0 gives an exponent far below -1: it rounds to 0.
  const std::uint64_t result =
      detail::roundToWhole(rounded.significand, rounded.exponentField() - exponentBias, flags);
  // Flags masked by the program (precision) join the status without a call.
  if (flags != 0 && !detail::raiseMasked(flags)) rules::signalFlags(flags, callerAddress);
  return result;
}

// A denormal x: the denormal-operand flag, and a product that can be tiny.
[[gnu::noinline]] std::uint64_t multiplyDenormalToUint64(Extended x, Extended factor,
                                                         std::uintptr_t callerAddress) {
  std::uint16_t flags = flagDenormal;
  const detail::Unpacked a = detail::unpackFinite(x);
  const NormalizedProduct p = productOf(a.exponent + factor.exponentField() - exponentBias,
                                        a.significand, factor.significand);
  return wholeAndSignal(detail::roundAndPack(false, p.exponent, p.significand, p.extra, flags),
                        flags, callerAddress);
}

}  // namespace

std::uint64_t multiplyToUint64(Extended x, Extended factor) {
  assert(!x.sign() && x.exponentField() != maxExponentField);
  assert(x.exponentField() == 0 || (x.significand & integerBit) != 0);
  assert(!factor.sign() && (factor.significand & integerBit) != 0 &&
         factor.exponentField() >= exponentBias && factor.exponentField() != maxExponentField);
  if (x.exponentField() == 0) {
    if (x.significand == 0) return 0;  // a zero times a normal factor: exact
    return multiplyDenormalToUint64(x, factor, EXTENDED_CALLER_ADDRESS());
  }

  // A normal x times a factor of at least 1 lies in the normal range: the
  // product rounds to the format as multiply rounds it there, inexact when
  // bits below the significand are lost, and that value then to an integer.
  const NormalizedProduct p = productOf(x.exponentField() + factor.exponentField() - exponentBias,
                                        x.significand, factor.significand);
  assert(detail::inNormalRange(p.exponent));
  return wholeAndSignal(detail::roundInNormalRange(false, p.exponent, p.significand, p.extra),
                        p.extra != 0 ? flagPrecision : 0, EXTENDED_CALLER_ADDRESS());
}

}  // namespace extended
