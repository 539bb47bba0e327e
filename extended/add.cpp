#include <utility>

#include "extended/extended.h"
#include "extended/fpu_environment.h"
#include "extended/round_and_pack.h"
#include "extended/wide_arithmetic.h"
#include "extended/x87_rules.h"

namespace extended {
namespace {

using detail::Unpacked;

// |a| + |b| with the sign given; a has the larger or equal exponent.
inline Extended addMagnitudes(Unpacked a, Unpacked b, bool sign, std::uint16_t flags,
                              std::uintptr_t callerAddress) {
  const wide::SignificandExtra shifted = wide::shiftRightJamExtra(
      b.significand, 0, static_cast<std::uint32_t>(a.exponent - b.exponent));
  const std::uint64_t sum = a.significand + shifted.significand;
  if (sum >= a.significand) {
    return detail::roundPackAndSignal(sign, a.exponent, sum, shifted.extra, flags, callerAddress);
  }
  // Carry out of the top bit: one place to the right, the lost bit joins the extra bits.
  const std::uint64_t extra = (sum << 63) | (shifted.extra >> 1) | (shifted.extra & 1);
  return detail::roundPackAndSignal(sign, a.exponent + 1, (sum >> 1) | integerBit, extra, flags,
                                    callerAddress);
}

// |a| − |b| carrying the sign of a; |a| ≥ |b|. An exact zero is +0.
inline Extended subtractMagnitudes(Unpacked a, Unpacked b, std::uint16_t flags,
                                   std::uintptr_t callerAddress) {
  if (a.exponent == b.exponent) {
    const std::uint64_t difference = a.significand - b.significand;
    if (difference == 0) {
      rules::signalOperation(flags, callerAddress);
      return positiveZero;
    }
    return detail::normalizeRoundPackAndSignal(a.sign, a.exponent, difference, 0, flags,
                                               callerAddress);
  }
  const wide::SignificandExtra shifted = wide::shiftRightJamExtra(
      b.significand, 0, static_cast<std::uint32_t>(a.exponent - b.exponent));
  const wide::Uint128 difference = wide::subtract128(
      wide::Uint128{a.significand, 0}, wide::Uint128{shifted.significand, shifted.extra});
  return detail::normalizeRoundPackAndSignal(a.sign, a.exponent, difference.high, difference.low,
                                             flags, callerAddress);
}

bool magnitudeLess(const Unpacked& a, const Unpacked& b) {
  return a.exponent < b.exponent || (a.exponent == b.exponent && a.significand < b.significand);
}

// a + b for finite nonzero operands, b's sign already set as it is to be
// added, with `flags` raised before rounding. Always inlined, so that add and
// subtract make no call on their common path.
[[gnu::always_inline]] inline Extended addFinite(Unpacked a, Unpacked b, std::uint16_t flags,
                                                 std::uintptr_t callerAddress) {
  if (magnitudeLess(a, b)) std::swap(a, b);
  if (a.sign == b.sign) return addMagnitudes(a, b, a.sign, flags, callerAddress);
  return subtractMagnitudes(a, b, flags, callerAddress);
}

// Operands that are not both normal: NaNs, infinities, zeros, denormals.
// Cold: compiled for size, as the everyday operands never come here.
[[gnu::noinline, gnu::cold]] Extended addSpecial(Extended a, Extended b,
                                                 std::uintptr_t callerAddress) {
  const ValueClass ca = classify(a);
  const ValueClass cb = classify(b);
  std::uint16_t flags = 0;
  Extended result;
  if (rules::isNaNOrUnsupported(ca) || rules::isNaNOrUnsupported(cb)) {
    result = rules::nanResult(a, ca, b, cb, flags);
  } else {
    if (ca == ValueClass::denormal || cb == ValueClass::denormal) flags |= flagDenormal;
    if (ca == ValueClass::infinity) {
      if (cb == ValueClass::infinity && a.sign() != b.sign()) {
        flags = flagInvalid;
        result = rules::indefiniteNaN;
      } else {
        result = a;
      }
    } else if (cb == ValueClass::infinity) {
      result = b;
    } else if (ca == ValueClass::zero && cb == ValueClass::zero) {
      result = a.sign() == b.sign() ? a : positiveZero;
    } else if (ca == ValueClass::zero || cb == ValueClass::zero) {
      // The other operand as it is, or normalized (a denormal may underflow).
      const Unpacked u = detail::unpackFinite(ca == ValueClass::zero ? b : a);
      return detail::roundPackAndSignal(u.sign, u.exponent, u.significand, 0, flags, callerAddress);
    } else {
      return addFinite(detail::unpackFinite(a), detail::unpackFinite(b), flags, callerAddress);
    }
  }
  rules::signalOperation(flags, callerAddress);
  return result;
}

// a − b for operands that are not both normal.
[[gnu::noinline]] Extended subtractSpecial(Extended a, Extended b, std::uintptr_t callerAddress) {
  // A NaN keeps its sign: only the sign of a number to be subtracted flips.
  if (!rules::isNaNOrUnsupported(classify(b))) b = negate(b);
  return addSpecial(a, b, callerAddress);
}

}  // namespace

Extended add(Extended a, Extended b) {
  if (detail::isNormal(a) && detail::isNormal(b)) {
    return addFinite(detail::unpackNormal(a), detail::unpackNormal(b), 0,
                     EXTENDED_CALLER_ADDRESS());
  }
  return addSpecial(a, b, EXTENDED_CALLER_ADDRESS());
}

Extended subtract(Extended a, Extended b) {
  if (detail::isNormal(a) && detail::isNormal(b)) {
    Unpacked negativeB = detail::unpackNormal(b);
    negativeB.sign = !negativeB.sign;
    return addFinite(detail::unpackNormal(a), negativeB, 0, EXTENDED_CALLER_ADDRESS());
  }
  return subtractSpecial(a, b, EXTENDED_CALLER_ADDRESS());
}

}  // namespace extended
