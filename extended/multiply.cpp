#include "extended/extended.h"
#include "extended/fpu_environment.h"
#include "extended/operands.h"
#include "extended/round_and_pack.h"
#include "extended/wide_arithmetic.h"
#include "extended/x87_rules.h"

namespace extended {
namespace {

Extended multiplyFinite(detail::Unpacked a, detail::Unpacked b, std::uint16_t& flags) {
  const bool sign = a.sign != b.sign;
  // The product of two significands in [2^63, 2^64) lies in [2^126, 2^128).
  const wide::Uint128 product = wide::multiply64To128(a.significand, b.significand);
  const std::int32_t exponent = a.exponent + b.exponent - exponentBias;
  if ((product.high & integerBit) != 0) {
    return detail::roundAndPack(sign, exponent + 1, product.high, product.low, flags);
  }
  return detail::roundAndPack(sign, exponent, (product.high << 1) | (product.low >> 63),
                              product.low << 1, flags);
}

Extended multiplySpecial(Extended a, Extended b, std::uint16_t& flags) {
  const ValueClass ca = classify(a);
  const ValueClass cb = classify(b);
  if (rules::isNaNOrUnsupported(ca) || rules::isNaNOrUnsupported(cb)) {
    return rules::nanResult(a, ca, b, cb, flags);
  }
  const bool sign = a.sign() != b.sign();
  if ((ca == ValueClass::infinity && cb == ValueClass::zero) ||
      (ca == ValueClass::zero && cb == ValueClass::infinity)) {
    flags |= flagInvalid;
    return rules::indefiniteNaN;
  }
  if (ca == ValueClass::denormal || cb == ValueClass::denormal) flags |= flagDenormal;
  if (ca == ValueClass::infinity || cb == ValueClass::infinity) {
    return make(sign, maxExponentField, integerBit);
  }
  if (ca == ValueClass::zero || cb == ValueClass::zero) return make(sign, 0, 0);
  return multiplyFinite(detail::unpackFinite(a), detail::unpackFinite(b), flags);
}

}  // namespace

Extended multiply(Extended a, Extended b) {
  std::uint16_t flags = 0;
  Extended result;
  if (detail::isNormal(a) && detail::isNormal(b)) {
    result = multiplyFinite(detail::unpackFinite(a), detail::unpackFinite(b), flags);
  } else {
    result = multiplySpecial(a, b, flags);
  }
  rules::signalOperation(flags, EXTENDED_CALLER_ADDRESS());
  return result;
}

}  // namespace extended
