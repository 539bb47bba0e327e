#include "extended/extended.h"
#include "extended/fpu_environment.h"
#include "extended/round_and_pack.h"
#include "extended/x87_rules.h"

namespace extended {
namespace {

// Rounds a finite nonzero value to an integer, ties to even.
Extended roundFinite(Extended x, std::uint16_t& flags) {
  const detail::Unpacked u = detail::unpackFinite(x);
  const std::int32_t unbiased = u.exponent - exponentBias;
  if (unbiased >= 63) return x;  // no fraction bits
  const std::uint64_t integerPart = detail::roundToWhole(u.significand, unbiased, flags);
  if (integerPart == 0) return make(u.sign, 0, 0);
  // The integer has at most 64 bits, its top bit at 2^(unbiased + 1) after a carry.
  return detail::normalizeRoundAndPack(u.sign, exponentBias + 63, integerPart, 0, flags);
}

}  // namespace

Extended roundToInteger(Extended x) {
  std::uint16_t flags = 0;
  Extended result;
  if (detail::isNormal(x)) {
    result = roundFinite(x, flags);
  } else {
    const ValueClass c = classify(x);
    if (rules::isNaNOrUnsupported(c)) {
      result = rules::nanResult(x, c, flags);
    } else if (c == ValueClass::denormal) {
      flags |= flagDenormal;
      result = roundFinite(x, flags);
    } else {
      result = x;  // zeros and infinities
    }
  }
  rules::signalOperation(flags, EXTENDED_CALLER_ADDRESS());
  return result;
}

}  // namespace extended
