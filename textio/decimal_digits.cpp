// The decimal digits of a real: decimalExponent brings the magnitude into
// [1, 16) by table powers of ten, generateDigits turns it into digit positions
// through one integer, round(m × 10^17), below 1.6·10^18.
#include <cassert>
#include <cstdint>
#include <cstring>

#include "extended/extended.h"
#include "textio/digit_arithmetic.h"
#include "textio/number_conversions.h"
#include "textio/power_of_ten.h"

namespace {

// Writes `value` as exactly 8 digits at `out`, in independent halves so that
// the divisions do not wait on each other. Domain: value < 10^8.
void spellEightDigits(std::uint32_t value, char* out) {
  assert(value < 100'000'000u);
  const std::uint32_t upper = value / 10000;
  const std::uint32_t lower = value % 10000;
  // One store of all eight, so that readers of the text find it whole.
  const std::uint32_t pairIndex[4] = {upper / 100, upper % 100, lower / 100, lower % 100};
  char eight[8];
  for (int i = 0; i < 4; ++i) {
    eight[2 * i] = digitPairs[2 * pairIndex[i]];
    eight[2 * i + 1] = digitPairs[2 * pairIndex[i] + 1];
  }
  std::memcpy(out, eight, sizeof eight);
}

// Writes the 19 positions 0..18 of `scaled` (position 0 its 10^18 digit):
// 3 + 8 + 8 digits. Domain: scaled < 2·10^18.
void spellAllPositions(std::uint64_t scaled, char* digits) {
  assert(scaled < 2 * positionZeroUnit);
  constexpr std::uint64_t eightDigits = 100'000'000;
  const std::uint64_t upper = scaled / (eightDigits * eightDigits);  // below 200
  const std::uint64_t rest = scaled % (eightDigits * eightDigits);
  digits[0] = static_cast<char>('0' + upper / 100);
  std::memcpy(digits + 1, &digitPairs[2 * (upper % 100)], 2);
  spellEightDigits(static_cast<std::uint32_t>(rest / eightDigits), digits + 3);
  spellEightDigits(static_cast<std::uint32_t>(rest % eightDigits), digits + 11);
}

}  // namespace

// Cold: compiled for size, as the everyday fixed form spells its digits
// itself (digit_arithmetic.h).
[[gnu::cold]] void spellPositions(std::uint64_t scaled, std::int32_t count, char* digits) {
  assert(scaled < 2 * positionZeroUnit && count >= 1 && count <= maxDigitCount);
  if (count < significantDigits) {
    spellDigits(roundedPositions(scaled, count), count + 1, digits);
    return;
  }
  spellAllPositions(scaled, digits);
  std::memset(digits + significantDigits + 1, '0',
              static_cast<std::size_t>(count - significantDigits));
}

DecimalScaled decimalExponent(Extended x) {
  assert(!x.sign() && x.exponentField() != extended::maxExponentField);
  assert(x.exponentField() == 0 || (x.significand & extended::integerBit) != 0);
  std::int32_t exponent = 0;
  while (x.exponentField() != 0 || x.significand != 0) {
    // A field of 0 (a denormal) counts as a binary exponent of -16383.
    const std::int32_t step = estimatedDecimalExponent(x.exponentField() - extended::exponentBias);
    if (step == 0) break;  // binary exponent 0..3: x is in [1, 16)
    exponent += step;
    x = scaleByPowerOfTen(x, -step);
  }
  return {exponent, x};
}

void generateDigits(Extended m, std::int32_t count, char* digits) {
  assert(count >= 1 && count <= maxDigitCount);
  spellPositions(scaledInteger(m), count, digits);
}
