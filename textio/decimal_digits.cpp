// The decimal digits of a real: decimalExponent brings the magnitude into
// [1, 16) by table powers of ten, generateDigits turns it into digit positions
// through one integer, round(m × 10^17), below 1.6·10^18.
#include <array>
#include <bit>
#include <cassert>
#include <cstdint>
#include <cstring>

#include "extended/extended.h"
#include "extended/wide_arithmetic.h"
#include "textio/number_conversions.h"
#include "textio/number_text.h"
#include "textio/power_of_ten.h"

namespace {

constexpr std::uint64_t digitMultiplierValue = 100'000'000'000'000'000u;  // 10^17
constexpr Extended digitMultiplier = extended::exactInteger(digitMultiplierValue);

// Division by 10^n (n = 0..18) of a dividend below 2^61 by one
// multiplication: q = ⌊x · M / 2^k⌋ with k = 63 + ⌊log2 10^n⌋ and
// M = ⌈2^k / 10^n⌉, which fits 64 bits. The error e = M · 10^n − 2^k is below
// 10^n < 2^(k − 62), so x · e < 2^k and the quotient is exact.
[[maybe_unused]] constexpr std::uint64_t largestQuotientDividend = std::uint64_t{1} << 61;
struct PowerOfTenDivisor {
  std::uint64_t multiplier;
  int shift;
};
// ⌈2^shift / divisor⌉ by long division, one bit of the dividend at a time.
// Domain: divisor below 2^62 and the quotient below 2^64.
constexpr std::uint64_t ceilPowerOfTwoOver(int shift, std::uint64_t divisor) {
  std::uint64_t quotient = 0;
  std::uint64_t remainder = 0;
  for (int bit = shift; bit >= 0; --bit) {
    remainder = 2 * remainder + (bit == shift ? 1 : 0);
    quotient <<= 1;
    if (remainder >= divisor) {
      remainder -= divisor;
      quotient |= 1;
    }
  }
  return quotient + (remainder != 0 ? 1 : 0);
}
constexpr auto powerOfTenDivisors = [] {
  std::array<PowerOfTenDivisor, significantDigits + 1> divisors{};
  for (std::size_t n = 0; n < divisors.size(); ++n) {
    const int shift = 63 + (63 - std::countl_zero(powersOfTen[n]));
    divisors[n] = {ceilPowerOfTwoOver(shift, powersOfTen[n]), shift};
  }
  return divisors;
}();

std::uint64_t divideByPowerOfTen(std::uint64_t x, std::int32_t n) {
  assert(x < largestQuotientDividend && n >= 0 && n <= significantDigits);
  if (n == 0) return x;
  // From 10^1 on the shift is at least 66: the high word, shifted.
  const PowerOfTenDivisor& divisor = powerOfTenDivisors[static_cast<std::size_t>(n)];
  const std::uint64_t high = extended::wide::multiply64To128(x, divisor.multiplier).high;
  return high >> (divisor.shift - 64);
}

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

std::uint64_t scaledInteger(Extended m) {
  assert(!m.sign() && m.exponentField() < extended::exponentBias + 4);
  // Below 1.6·10^18 < 2^63, the domain of the fast conversion.
  return extended::toUint64(extended::multiply(m, digitMultiplier));
}

void spellPositions(std::uint64_t scaled, std::int32_t count, char* digits) {
  assert(scaled < 2 * positionZeroUnit && count >= 1 && count <= maxDigitCount);
  if (count < significantDigits) {
    // Positions 0..count as one number, rounded by the dropped digits: their
    // first is 5 or more exactly when they reach half a unit of position
    // count, and the carry of the addition runs leftwards as far as it must.
    const std::int32_t dropped = significantDigits - count;
    const std::uint64_t unit = powersOfTen[static_cast<std::size_t>(dropped)];
    spellDigits(divideByPowerOfTen(scaled + unit / 2, dropped), count + 1, digits);
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
