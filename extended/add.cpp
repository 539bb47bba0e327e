#include <utility>

#include "extended/extended.h"
#include "extended/fpu_environment.h"
#include "extended/operands.h"
#include "extended/round_and_pack.h"
#include "extended/wide_arithmetic.h"
#include "extended/x87_rules.h"

namespace extended {
namespace {

using detail::Unpacked;

// |a| + |b| with the sign given; a has the larger or equal exponent.
Extended addMagnitudes(Unpacked a, Unpacked b, bool sign, std::uint16_t& flags) {
  const wide::SignificandExtra shifted = wide::shiftRightJamExtra(
      b.significand, 0, static_cast<std::uint32_t>(a.exponent - b.exponent));
  const std::uint64_t sum = a.significand + shifted.significand;
  if (sum >= a.significand) {
    return detail::roundAndPack(sign, a.exponent, sum, shifted.extra, flags);
  }
  // Carry out of the top bit: one place to the right, the lost bit joins the extra bits.
  const std::uint64_t extra = (sum << 63) | (shifted.extra >> 1) | (shifted.extra & 1);
  return detail::roundAndPack(sign, a.exponent + 1, (sum >> 1) | integerBit, extra, flags);
}

// |a| − |b| carrying the sign of a; |a| ≥ |b|.
Extended subtractMagnitudes(Unpacked a, Unpacked b, std::uint16_t& flags) {
  if (a.exponent == b.exponent) {
    const std::uint64_t difference = a.significand - b.significand;
    if (difference == 0) return positiveZero;
    return detail::normalizeRoundAndPack(a.sign, a.exponent, difference, 0, flags);
  }
  const wide::SignificandExtra shifted = wide::shiftRightJamExtra(
      b.significand, 0, static_cast<std::uint32_t>(a.exponent - b.exponent));
  const wide::Uint128 difference = wide::subtract128(
      wide::Uint128{a.significand, 0}, wide::Uint128{shifted.significand, shifted.extra});
  return detail::normalizeRoundAndPack(a.sign, a.exponent, difference.high, difference.low, flags);
}

bool magnitudeLess(const Unpacked& a, const Unpacked& b) {
  return a.exponent < b.exponent || (a.exponent == b.exponent && a.significand < b.significand);
}

// a + b for finite nonzero operands, b's sign already set as it is to be added.
Extended addFinite(Unpacked a, Unpacked b, std::uint16_t& flags) {
  if (magnitudeLess(a, b)) std::swap(a, b);
  if (a.sign == b.sign) return addMagnitudes(a, b, a.sign, flags);
  return subtractMagnitudes(a, b, flags);
}

Extended addSpecial(Extended a, Extended b, std::uint16_t& flags) {
  const ValueClass ca = classify(a);
  const ValueClass cb = classify(b);
  if (rules::isNaNOrUnsupported(ca) || rules::isNaNOrUnsupported(cb)) {
    return rules::nanResult(a, ca, b, cb, flags);
  }
  if (ca == ValueClass::denormal || cb == ValueClass::denormal) flags |= flagDenormal;
  if (ca == ValueClass::infinity) {
    if (cb == ValueClass::infinity && a.sign() != b.sign()) {
      flags = flagInvalid;
      return rules::indefiniteNaN;
    }
    return a;
  }
  if (cb == ValueClass::infinity) return b;
  if (ca == ValueClass::zero) {
    if (cb == ValueClass::zero) return a.sign() == b.sign() ? a : positiveZero;
    const detail::Unpacked ub = detail::unpackFinite(b);
    return detail::roundAndPack(ub.sign, ub.exponent, ub.significand, 0, flags);
  }
  if (cb == ValueClass::zero) {
    const detail::Unpacked ua = detail::unpackFinite(a);
    return detail::roundAndPack(ua.sign, ua.exponent, ua.significand, 0, flags);
  }
  return addFinite(detail::unpackFinite(a), detail::unpackFinite(b), flags);
}

Extended addSigned(Extended a, Extended b, std::uintptr_t callerAddress) {
  std::uint16_t flags = 0;
  Extended result;
  if (detail::isNormal(a) && detail::isNormal(b)) {
    result = addFinite(detail::unpackFinite(a), detail::unpackFinite(b), flags);
  } else {
    result = addSpecial(a, b, flags);
  }
  rules::signalOperation(flags, callerAddress);
  return result;
}

}  // namespace

Extended add(Extended a, Extended b) {
  return addSigned(a, b, EXTENDED_CALLER_ADDRESS());
}

Extended subtract(Extended a, Extended b) {
  // A NaN keeps its sign: only the sign of a number to be subtracted flips.
  if (detail::isNormal(b) || !rules::isNaNOrUnsupported(classify(b))) b = negate(b);
  return addSigned(a, b, EXTENDED_CALLER_ADDRESS());
}

}  // namespace extended
