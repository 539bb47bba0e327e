#include "extended/extended.h"
#include "extended/fpu_environment.h"
#include "extended/operands.h"
#include "extended/round_and_pack.h"
#include "extended/wide_arithmetic.h"
#include "extended/x87_rules.h"

namespace extended {
namespace {

Extended divideFinite(detail::Unpacked a, detail::Unpacked b, std::uint16_t& flags) {
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
  // Another 64 quotient bits for rounding, the final remainder as sticky bit.
  std::uint64_t extra = 0;
  if (remainder != 0) {
    std::uint64_t lastRemainder = 0;
    extra = wide::divide128By64(remainder, 0, b.significand, lastRemainder);
    if (lastRemainder != 0) extra |= 1;
  }
  return detail::roundAndPack(sign, exponent, quotient, extra, flags);
}

Extended divideSpecial(Extended a, Extended b, std::uint16_t& flags) {
  const ValueClass ca = classify(a);
  const ValueClass cb = classify(b);
  if (rules::isNaNOrUnsupported(ca) || rules::isNaNOrUnsupported(cb)) {
    return rules::nanResult(a, ca, b, cb, flags);
  }
  const bool sign = a.sign() != b.sign();
  if ((ca == ValueClass::infinity && cb == ValueClass::infinity) ||
      (ca == ValueClass::zero && cb == ValueClass::zero)) {
    flags |= flagInvalid;
    return rules::indefiniteNaN;
  }
  if (cb == ValueClass::zero && ca != ValueClass::infinity) {
    // A finite nonzero dividend: division by zero, checked before denormals.
    flags |= flagZeroDivide;
    return make(sign, maxExponentField, integerBit);
  }
  if (ca == ValueClass::denormal || cb == ValueClass::denormal) flags |= flagDenormal;
  if (ca == ValueClass::infinity || cb == ValueClass::zero) {
    return make(sign, maxExponentField, integerBit);
  }
  if (ca == ValueClass::zero || cb == ValueClass::infinity) return make(sign, 0, 0);
  return divideFinite(detail::unpackFinite(a), detail::unpackFinite(b), flags);
}

}  // namespace

Extended divide(Extended a, Extended b) {
  std::uint16_t flags = 0;
  Extended result;
  if (detail::isNormal(a) && detail::isNormal(b)) {
    result = divideFinite(detail::unpackFinite(a), detail::unpackFinite(b), flags);
  } else {
    result = divideSpecial(a, b, flags);
  }
  rules::signalOperation(flags, EXTENDED_CALLER_ADDRESS());
  return result;
}

}  // namespace extended
