#include <bit>
#include <cassert>
#include <limits>

#include "extended/extended.h"
#include "extended/fpu_environment.h"
#include "extended/round_and_pack.h"
#include "extended/x87_rules.h"

namespace extended {

Extended fromInt64(std::int64_t x) {
  if (x == 0) return positiveZero;
  const bool sign = x < 0;
  // The magnitude, computed without overflow for the most negative value.
  const std::uint64_t magnitude =
      sign ? ~static_cast<std::uint64_t>(x) + 1 : static_cast<std::uint64_t>(x);
  std::uint16_t flags = 0;
  return detail::normalizeRoundAndPack(sign, exponentBias + 63, magnitude, 0, flags);
}

std::int64_t toInt64(Extended x) {
  constexpr std::int64_t integerIndefinite = std::numeric_limits<std::int64_t>::min();
  // 2^63: the magnitude of the most negative integer, one beyond the largest.
  constexpr std::uint64_t int64MagnitudeLimit = std::uint64_t{1} << 63;
  std::uint16_t flags = 0;
  std::int64_t result = 0;
  const ValueClass c = classify(x);
  if (c == ValueClass::zero) {
    result = 0;
  } else if (c != ValueClass::normal && c != ValueClass::denormal) {
    flags = flagInvalid;  // NaNs, infinities and unsupported encodings
    result = integerIndefinite;
  } else {
    const detail::Unpacked u = detail::unpackFinite(x);
    const std::int32_t unbiased = u.exponent - exponentBias;
    std::uint64_t magnitude = 0;
    bool fits = true;
    if (unbiased >= 63) {
      // Only −2^63 itself fits.
      fits = unbiased == 63 && u.sign && u.significand == integerBit;
      magnitude = u.significand;
    } else {
      magnitude = detail::roundToWhole(u.significand, unbiased, flags);
      fits = magnitude < int64MagnitudeLimit || (u.sign && magnitude == int64MagnitudeLimit);
    }
    if (!fits) {
      flags = flagInvalid;
      result = integerIndefinite;
    } else {
      result =
          u.sign ? static_cast<std::int64_t>(~magnitude + 1) : static_cast<std::int64_t>(magnitude);
    }
  }
  rules::signalOperation(flags, EXTENDED_CALLER_ADDRESS());
  return result;
}

}  // namespace extended
