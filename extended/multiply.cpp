#include "extended/extended.h"
#include "extended/fpu_environment.h"
#include "extended/round_and_pack.h"
#include "extended/wide_arithmetic.h"
#include "extended/x87_rules.h"

namespace extended {
namespace {

// The product of two finite nonzero values, rounded, with `flags` raised
// before rounding.
inline Extended multiplyFinite(detail::Unpacked a, detail::Unpacked b, std::uint16_t flags,
                               std::uintptr_t callerAddress) {
  const bool sign = a.sign != b.sign;
  // The product of two significands in [2^63, 2^64) lies in [2^126, 2^128).
  const wide::Uint128 product = wide::multiply64To128(a.significand, b.significand);
  const std::int32_t exponent = a.exponent + b.exponent - exponentBias;
  if ((product.high & integerBit) != 0) {
    return detail::roundPackAndSignal(sign, exponent + 1, product.high, product.low, flags,
                                      callerAddress);
  }
  return detail::roundPackAndSignal(sign, exponent, (product.high << 1) | (product.low >> 63),
                                    product.low << 1, flags, callerAddress);
}

// Operands that are not both normal: NaNs, infinities, zeros, denormals.
// Cold: compiled for size, as the everyday operands never come here.
[[gnu::noinline, gnu::cold]] Extended multiplySpecial(Extended a, Extended b,
                                                      std::uintptr_t callerAddress) {
  const ValueClass ca = classify(a);
  const ValueClass cb = classify(b);
  std::uint16_t flags = 0;
  Extended result;
  const bool sign = a.sign() != b.sign();
  if (rules::isNaNOrUnsupported(ca) || rules::isNaNOrUnsupported(cb)) {
    result = rules::nanResult(a, ca, b, cb, flags);
  } else if ((ca == ValueClass::infinity && cb == ValueClass::zero) ||
             (ca == ValueClass::zero && cb == ValueClass::infinity)) {
    flags |= flagInvalid;
    result = rules::indefiniteNaN;
  } else {
    if (ca == ValueClass::denormal || cb == ValueClass::denormal) flags |= flagDenormal;
    if (ca == ValueClass::infinity || cb == ValueClass::infinity) {
      result = make(sign, maxExponentField, integerBit);
    } else if (ca == ValueClass::zero || cb == ValueClass::zero) {
      result = make(sign, 0, 0);
    } else {
      return multiplyFinite(detail::unpackFinite(a), detail::unpackFinite(b), flags, callerAddress);
    }
  }
  rules::signalOperation(flags, callerAddress);
  return result;
}

}  // namespace

Extended multiply(Extended a, Extended b) {
  if (detail::isNormal(a) && detail::isNormal(b)) {
    return multiplyFinite(detail::unpackNormal(a), detail::unpackNormal(b), 0,
                          EXTENDED_CALLER_ADDRESS());
  }
  return multiplySpecial(a, b, EXTENDED_CALLER_ADDRESS());
}

}  // namespace extended
