#include "extended/extended.h"
#include "extended/fpu_environment.h"
#include "extended/round_and_pack.h"
#include "extended/wide_arithmetic.h"
#include "extended/x87_rules.h"

namespace extended {
namespace {

// The quotient of two finite nonzero values, rounded, with `flags` raised
// before rounding.
inline Extended divideFinite(detail::Unpacked a, detail::Unpacked b, std::uint16_t flags,
                             std::uintptr_t callerAddress) {
  const bool sign = a.sign != b.sign;
  std::int32_t exponent = a.exponent - b.exponent + exponentBias - 1;
  // Numerator a·2^64, halved when a ≥ b so that the quotient has its top bit
  // set and fits 64 bits.
  std::uint64_t numeratorHigh = a.significand;
  std::uint64_t numeratorLow = 0;
  if (a.significand >= b.significand) {
    numeratorLow = numeratorHigh << 63;
    numeratorHigh >>= 1;
    ++exponent;
  }
  std::uint64_t remainder = 0;
  const std::uint64_t quotient =
      wide::divide128By64(numeratorHigh, numeratorLow, b.significand, remainder);
  // The rest of the quotient, remainder / divisor in [0, 1), as round and
  // sticky bits: above, at or below one half (remainder against divisor −
  // remainder, which cannot overflow).
  std::uint64_t extra = 0;
  if (remainder != 0) {
    const std::uint64_t rest = b.significand - remainder;
    if (remainder > rest) {
      extra = detail::roundHalfway | 1;
    } else if (remainder == rest) {
      extra = detail::roundHalfway;
    } else {
      extra = 1;
    }
  }
  return detail::roundPackAndSignal(sign, exponent, quotient, extra, flags, callerAddress);
}

// Operands that are not both normal: NaNs, infinities, zeros, denormals.
// Cold: compiled for size, as the everyday operands never come here.
[[gnu::noinline, gnu::cold]] Extended divideSpecial(Extended a, Extended b,
                                                    std::uintptr_t callerAddress) {
  const ValueClass ca = classify(a);
  const ValueClass cb = classify(b);
  std::uint16_t flags = 0;
  Extended result;
  const bool sign = a.sign() != b.sign();
  if (rules::isNaNOrUnsupported(ca) || rules::isNaNOrUnsupported(cb)) {
    result = rules::nanResult(a, ca, b, cb, flags);
  } else if ((ca == ValueClass::infinity && cb == ValueClass::infinity) ||
             (ca == ValueClass::zero && cb == ValueClass::zero)) {
    flags |= flagInvalid;
    result = rules::indefiniteNaN;
  } else if (cb == ValueClass::zero && ca != ValueClass::infinity) {
    // A finite nonzero dividend: division by zero, checked before denormals.
    flags |= flagZeroDivide;
    result = make(sign, maxExponentField, integerBit);
  } else {
    if (ca == ValueClass::denormal || cb == ValueClass::denormal) flags |= flagDenormal;
    if (ca == ValueClass::infinity || cb == ValueClass::zero) {
      result = make(sign, maxExponentField, integerBit);
    } else if (ca == ValueClass::zero || cb == ValueClass::infinity) {
      result = make(sign, 0, 0);
    } else {
      return divideFinite(detail::unpackFinite(a), detail::unpackFinite(b), flags, callerAddress);
    }
  }
  rules::signalOperation(flags, callerAddress);
  return result;
}

}  // namespace

Extended divide(Extended a, Extended b) {
  if (detail::isNormal(a) && detail::isNormal(b)) {
    return divideFinite(detail::unpackNormal(a), detail::unpackNormal(b), 0,
                        EXTENDED_CALLER_ADDRESS());
  }
  return divideSpecial(a, b, EXTENDED_CALLER_ADDRESS());
}

}  // namespace extended
