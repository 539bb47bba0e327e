// Inside the number writers: the digit arithmetic that the texts of integers
// and reals (int_to_text.cpp, real_to_text.cpp) share with the decimal digits
// (decimal_digits.cpp): the digit spelling and its tables, division by a
// power of ten, and the two steps of generateDigits. The spelling is inline,
// as every number text runs through it.
#pragma once

#include <array>
#include <bit>
#include <cassert>
#include <cstdint>
#include <cstring>

#include "extended/extended.h"
#include "extended/wide_arithmetic.h"

// The digits of a real come from one integer below 1.6·10^18: position 0 is
// its 10^18 digit, positions 1..18 the other 18.
inline constexpr std::int32_t significantDigits = 18;
inline constexpr std::uint64_t positionZeroUnit = 1'000'000'000'000'000'000u;  // 10^18

// The decimal exponent estimated for a binary exponent: ⌊e · 19728 / 2^16⌋,
// rounded towards minus infinity; 19728 / 2^16 = 0.301025390625 is just below
// log10 2.
inline constexpr std::int32_t log10Of2Estimate = 19728;
inline constexpr int log10Of2Shift = 16;
constexpr std::int32_t estimatedDecimalExponent(std::int32_t binaryExponent) {
  return (binaryExponent * log10Of2Estimate) >> log10Of2Shift;
}

// 10^0 .. 10^18.
inline constexpr auto powersOfTen = [] {
  std::array<std::uint64_t, significantDigits + 1> powers{};
  std::uint64_t power = 1;
  for (auto& entry : powers) {
    entry = power;
    power *= 10;
  }
  return powers;
}();

// "00" "01" .. "99": two digits per division.
inline constexpr auto digitPairs = [] {
  std::array<char, 200> pairs{};
  for (int i = 0; i < 100; ++i) {
    pairs[2 * i] = static_cast<char>('0' + i / 10);
    pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

// Writes `value` as exactly `count` digits, leading zeros included, at `out`.
// Domain: count 0..18 and value < 10^count.
inline void spellDigits(std::uint64_t value, int count, char* out) {
  assert(count >= 0 && count <= significantDigits &&
         value < powersOfTen[static_cast<std::size_t>(count)]);
  // Up to four digits, the most common, without a loop: a pair or a digit
  // on the left, a pair on the right.
  constexpr int fewDigits = 4;
  if (count <= fewDigits) {
    auto few = static_cast<std::uint32_t>(value);
    if (count > 2) {
      std::memcpy(out + count - 2, &digitPairs[2 * (few % 100)], 2);
      few /= 100;
      count -= 2;
    }
    if (count == 2) std::memcpy(out, &digitPairs[2 * few], 2);
    if (count == 1) out[0] = static_cast<char>('0' + few);
    return;
  }
  char* position = out + count;
  while (count >= 2 && value > UINT32_MAX) {
    position -= 2;
    std::memcpy(position, &digitPairs[2 * (value % 100)], 2);
    value /= 100;
    count -= 2;
  }
  // The rest in 32 bits, where the divisions by 100 are cheaper.
  auto rest = static_cast<std::uint32_t>(value);
  while (count >= 2) {
    position -= 2;
    std::memcpy(position, &digitPairs[2 * (rest % 100)], 2);
    rest /= 100;
    count -= 2;
  }
  if (count == 1) *--position = static_cast<char>('0' + rest % 10);
}

// The number of decimal digits of `value`, at least 1.
inline int decimalDigitCount(std::uint32_t value) {
  int count = 1;
  while (value >= powersOfTen[static_cast<std::size_t>(count)]) ++count;
  return count;
}

// The multiplier of generateDigits' product, m × 10^17.
inline constexpr std::uint64_t digitMultiplierValue = 100'000'000'000'000'000u;  // 10^17
inline constexpr Extended digitMultiplier = extended::exactInteger(digitMultiplierValue);

// Division by 10^n (n = 0..18) of a dividend below 2^61 by one
// multiplication: q = ⌊x · M / 2^k⌋ with k = 63 + ⌊log2 10^n⌋ and
// M = ⌈2^k / 10^n⌉, which fits 64 bits. The error e = M · 10^n − 2^k is below
// 10^n < 2^(k − 62), so x · e < 2^k and the quotient is exact.
inline constexpr std::uint64_t largestQuotientDividend = std::uint64_t{1} << 61;
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
inline constexpr auto powerOfTenDivisors = [] {
  std::array<PowerOfTenDivisor, significantDigits + 1> divisors{};
  for (std::size_t n = 0; n < divisors.size(); ++n) {
    const int shift = 63 + (63 - std::countl_zero(powersOfTen[n]));
    divisors[n] = {ceilPowerOfTwoOver(shift, powersOfTen[n]), shift};
  }
  return divisors;
}();

inline std::uint64_t divideByPowerOfTen(std::uint64_t x, std::int32_t n) {
  assert(x < largestQuotientDividend && n >= 0 && n <= significantDigits);
  if (n == 0) return x;
  // From 10^1 on the shift is at least 66: the high word, shifted.
  const PowerOfTenDivisor& divisor = powerOfTenDivisors[static_cast<std::size_t>(n)];
  const std::uint64_t high = extended::wide::multiply64To128(x, divisor.multiplier).high;
  return high >> (divisor.shift - 64);
}

// The two steps of generateDigits. scaledInteger: round(m × 10^17), the
// product rounded to a 64-bit significand and then to an integer, both ties to
// even; raises precision when inexact. Domain: m canonical in [0, 16).
// spellPositions: positions 0..count of that integer, rounded at `count` by
// the digit after it when count is below 18, zeros beyond position 18; `digits`
// has room for count + 1 characters. Domain: count 1..252.
inline std::uint64_t scaledInteger(Extended m) {
  assert(!m.sign() && m.exponentField() < extended::exponentBias + 4);
  // Below 1.6·10^18 < 2^63, the domain of the fused conversion.
  return extended::multiplyToUint64(m, digitMultiplier);
}
void spellPositions(std::uint64_t scaled, std::int32_t count, char* digits);

// Positions 0..count of a scaled integer as one number, rounded by the
// dropped digits: their first is 5 or more exactly when they reach half a
// unit of position count, and the carry of the addition runs leftwards as far
// as it must. Domain: scaled < 2·10^18, count 1..17.
inline std::uint64_t roundedPositions(std::uint64_t scaled, std::int32_t count) {
  assert(scaled < 2 * positionZeroUnit && count >= 1 && count < significantDigits);
  const std::int32_t dropped = significantDigits - count;
  const std::uint64_t unit = powersOfTen[static_cast<std::size_t>(dropped)];
  return divideByPowerOfTen(scaled + unit / 2, dropped);
}
