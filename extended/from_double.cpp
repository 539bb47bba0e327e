#include <bit>

#include "extended/extended.h"
#include "extended/fpu_environment.h"
#include "extended/round_and_pack.h"
#include "extended/x87_rules.h"

namespace extended {

Extended fromDouble(double x) {
  constexpr std::int32_t doubleBias = 1023;
  constexpr std::uint64_t fractionMask = (std::uint64_t{1} << 52) - 1;
  constexpr std::uint64_t doubleQuietBit = std::uint64_t{1} << 51;
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(x);
  const bool sign = (bits >> 63) != 0;
  const std::int32_t doubleExponent = static_cast<std::int32_t>((bits >> 52) & 0x7FF);
  const std::uint64_t fraction = bits & fractionMask;
  std::uint16_t flags = 0;
  Extended result;

  if (doubleExponent == 0x7FF) {
    if (fraction == 0) {
      result = make(sign, maxExponentField, integerBit);
    } else {
      // The NaN's payload moves to the top of the fraction; a signalling NaN is quieted.
      if ((fraction & doubleQuietBit) == 0) flags |= flagInvalid;
      result = make(sign, maxExponentField, integerBit | rules::quietBit | (fraction << 11));
    }
  } else if (doubleExponent == 0) {
    if (fraction == 0) {
      result = make(sign, 0, 0);
    } else {
      flags |= flagDenormal;
      // fraction · 2^−1074, made normal: every double is exact in 80 bits.
      result = detail::normalizeRoundAndPack(sign, exponentBias + 63 - 1074, fraction, 0, flags);
    }
  } else {
    result = make(sign, static_cast<std::uint16_t>(doubleExponent - doubleBias + exponentBias),
                  integerBit | (fraction << 11));
  }
  rules::signalOperation(flags, EXTENDED_CALLER_ADDRESS());
  return result;
}

}  // namespace extended
