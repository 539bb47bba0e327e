// Numbers to counted texts in the program's own formats.
//
// Integers: plain decimal digits with a minus sign. Reals: a fixed form with a
// requested number of decimals, an exponent form with 2 to 18 significant
// digits, and fixed words for infinities and NaNs. All digits of a real come
// from one integer: the magnitude is brought into [1, 16) by table powers of
// ten (decimalExponent), multiplied by 10^17 and rounded to an integer below
// 1.6·10^18 (generateDigits). Fewer digits are then had by a decimal rounding
// that looks only at the first dropped digit, so the sign comes from the sign
// bit and values that round to zero keep their minus sign.
//
// Texts are right-justified in the width, capped at 255; spaces go on the left
// and a text is never cut.
#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cstdint>
#include <cstring>

#include "extended/extended.h"
#include "extended/fpu_environment.h"
#include "extended/wide_arithmetic.h"
#include "textio/number_conversions.h"

namespace {

// Phase constants of the conversion.
constexpr std::uint64_t digitMultiplierValue = 100'000'000'000'000'000u;  // 10^17
constexpr Extended digitMultiplier = extended::exactInteger(digitMultiplierValue);
constexpr std::uint64_t overflowThreshold = 1'000'000'000'000'000'000u;  // 10^18
// The significand's width, and a fraction of exactly one half as the top bit
// of that many fraction bits.
constexpr int significandBits = 64;
constexpr std::uint64_t roundingHalf = std::uint64_t{1} << (significandBits - 1);
// Below this magnitude the fixed form uses the value unscaled.
constexpr Extended unscaledLimit = extended::exactInteger(10);
// 19728 / 2^16 = 0.301025390625, just below log10 2.
constexpr std::int32_t log10Of2Estimate = 19728;
constexpr int log10Of2Shift = 16;
constexpr std::int32_t maxFixedExponent = 35;
constexpr std::int32_t maxDecimals = 216;
// Positions 1..18 hold the digits of one integer; position 0 its carry.
constexpr std::int32_t significantDigits = 18;
constexpr std::int32_t minExponentFormDigits = 2;
constexpr std::int32_t maxExponentFormDigits = 18;
// Sign position, point, "E", exponent sign and the four exponent digits.
constexpr std::int32_t exponentFormOverhead = 8;
constexpr int exponentFieldDigits = 4;
constexpr int maxIntegerTextLength = 11;  // "-2147483648"

constexpr char space = ' ';

// 10^0 .. 10^18.
constexpr auto powersOfTen = [] {
  std::array<std::uint64_t, significantDigits + 1> powers{};
  std::uint64_t power = 1;
  for (auto& entry : powers) {
    entry = power;
    power *= 10;
  }
  return powers;
}();

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

// "00" "01" .. "99": two digits per division.
constexpr auto digitPairs = [] {
  std::array<char, 200> pairs{};
  for (int i = 0; i < 100; ++i) {
    pairs[2 * i] = static_cast<char>('0' + i / 10);
    pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

struct SpecialText {
  std::uint8_t length;
  char chars[4];
};
constexpr SpecialText nanText{3, {'N', 'a', 'n', 0}};
constexpr SpecialText positiveInfinityText{4, {'+', 'I', 'n', 'f'}};
constexpr SpecialText negativeInfinityText{4, {'-', 'I', 'n', 'f'}};

// The model's precision flag, for the one rounding done outside the model.
[[gnu::noinline]] void signalInexact() {
  extended::raiseExceptions(extended::flagPrecision,
                            reinterpret_cast<std::uintptr_t>(__builtin_return_address(0)));
}

// Writes `value` as exactly `count` digits, leading zeros included, at `out`.
// Domain: count 0..18 and value < 10^count.
void spellDigits(std::uint64_t value, int count, char* out) {
  assert(count >= 0 && count <= significantDigits &&
         value < powersOfTen[static_cast<std::size_t>(count)]);
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

// Sets the text's length to the larger of `length` and `width` (width at most
// 255), puts the spaces of the field on the left and returns where the
// `length` characters of the text itself go.
char* justify(CountedText& text, std::int32_t length, std::int32_t width) {
  assert(length >= 0 && length <= maxCountedLength && width <= maxCountedLength);
  const std::int32_t total = width > length ? width : length;
  text.length = static_cast<std::uint8_t>(total);
  if (total == length) return text.chars;
  std::memset(text.chars, space, static_cast<std::size_t>(total - length));
  return text.chars + (total - length);
}

// round(m × 10^17) with the product rounded to a 64-bit significand and then
// to an integer, both ties to even. Domain: m in [0, 16), so the result is
// below 1.6·10^18 and the conversion cannot trap.
//
// The integer rounding is done here on the product's bits rather than by a
// call into the model (toInt64): it is a third of the conversion's time. It
// rounds exactly as FISTP does for these values and raises the precision flag
// as it would.
std::uint64_t scaledInteger(Extended m) {
  assert(!m.sign() && m.exponentField() < extended::exponentBias + 4);
  const Extended product = extended::multiply(m, digitMultiplier);
  const std::int32_t binaryExponent = product.exponentField() - extended::exponentBias;
  if (binaryExponent < -1) {
    // Below one half, zero included.
    if (product.significand != 0) signalInexact();
    return 0;
  }
  // Bits below the binary point; all of them for a product in [1/2, 1).
  const int fractionBits = significandBits - 1 - binaryExponent;
  const std::uint64_t whole =
      fractionBits == significandBits ? 0 : product.significand >> fractionBits;
  const std::uint64_t fraction = fractionBits == significandBits
                                     ? product.significand
                                     : product.significand << (significandBits - fractionBits);
  if (fraction == 0) return whole;
  signalInexact();
  const bool up = fraction > roundingHalf || (fraction == roundingHalf && (whole & 1) != 0);
  return whole + (up ? 1 : 0);
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
  assert(scaled < 2 * overflowThreshold);
  constexpr std::uint64_t eightDigits = 100'000'000;
  const std::uint64_t upper = scaled / (eightDigits * eightDigits);  // below 200
  const std::uint64_t rest = scaled % (eightDigits * eightDigits);
  digits[0] = static_cast<char>('0' + upper / 100);
  std::memcpy(digits + 1, &digitPairs[2 * (upper % 100)], 2);
  spellEightDigits(static_cast<std::uint32_t>(rest / eightDigits), digits + 3);
  spellEightDigits(static_cast<std::uint32_t>(rest % eightDigits), digits + 11);
}

// Writes positions 0..count of the digits of `scaled` (position 0 its 10^18
// digit, positions 1..18 the rest). Below 18 positions the text is rounded at
// `count` by the digit after it: 5 or more adds one there, with the carry
// running leftwards. From 18 on, positions 19..count are zeros. `digits` has
// room for at least 19 characters, and for count + 1.
// Domain: scaled < 1.6·10^18 and count in 1..252.
void spellPositions(std::uint64_t scaled, std::int32_t count, char* digits) {
  assert(scaled < 2 * overflowThreshold && count >= 1 && count <= maxDigitCount);
  spellAllPositions(scaled, digits);
  if (count >= significantDigits) {
    std::memset(digits + significantDigits + 1, '0',
                static_cast<std::size_t>(count - significantDigits));
    return;
  }
  if (digits[count + 1] >= '5') {
    // Position 0 is at most "1" and position 1 at most "6", so the carry
    // stops by position 1 at the latest.
    std::int32_t position = count;
    while (digits[position] == '9') digits[position--] = '0';
    ++digits[position];
  }
}

// |x| in canonical encoding. An unnormal or pseudo-zero (exponent field set,
// integer bit clear) and a pseudo-denormal (field 0, integer bit set) each
// stand for a plain number; it is re-encoded as the normal, denormal or zero
// that holds exactly that number, so that the arithmetic below only ever sees
// operands it accepts. Domain: exponent field below all ones.
Extended canonicalMagnitude(Extended x) {
  assert(x.exponentField() != extended::maxExponentField);
  std::uint16_t field = x.exponentField();
  std::uint64_t significand = x.significand;
  if ((significand & extended::integerBit) != 0) {
    if (field == 0) field = 1;  // a pseudo-denormal has the scale of field 1
    return extended::make(false, field, significand);
  }
  if (field == 0 || significand == 0) return extended::make(false, 0, significand);
  const int shift = std::countl_zero(significand);
  if (shift < field) {
    return extended::make(false, static_cast<std::uint16_t>(field - shift), significand << shift);
  }
  // Too small for a normal: as far left as field 1 allows, i.e. a denormal.
  return extended::make(false, 0, significand << (field - 1));
}

// a < b for canonical non-negative finite values, whose encodings order as
// their values do.
bool below(Extended a, Extended b) {
  return a.exponentField() != b.exponentField() ? a.exponentField() < b.exponentField()
                                                : a.significand < b.significand;
}

void writeSpecial(const SpecialText& word, std::int32_t width, CountedText& text) {
  std::memcpy(justify(text, word.length, width), word.chars, word.length);
}

// Fixed form: sign, integer digits, and a point with `decimals` digits when
// decimals is above 0. Domain: exponent 0..35, decimals 0..216.
void writeFixed(bool negative, DecimalScaled scaled, std::int32_t decimals, std::int32_t width,
                CountedText& text) {
  assert(scaled.exponent >= 0 && scaled.exponent <= maxFixedExponent && decimals >= 0 &&
         decimals <= maxDecimals);
  const std::int32_t count = scaled.exponent + 1 + decimals;
  const std::uint64_t scaledDigits = scaledInteger(scaled.scaled);
  if (count < significantDigits) {
    // Fewer than 18 positions: the rounded positions 0..count as one number,
    // split at the point. Its integer part has a digit more than positions
    // 1..exponent + 1 exactly when position 0 holds "1".
    const std::int32_t dropped = significantDigits - count;
    const std::uint64_t unit = powersOfTen[static_cast<std::size_t>(dropped)];
    const std::uint64_t rounded = divideByPowerOfTen(scaledDigits + unit / 2, dropped);
    const std::uint64_t decimalUnit = powersOfTen[static_cast<std::size_t>(decimals)];
    const std::uint64_t whole = divideByPowerOfTen(rounded, decimals);
    const std::int32_t integerDigits =
        scaled.exponent + 1 +
        (whole >= powersOfTen[static_cast<std::size_t>(scaled.exponent + 1)] ? 1 : 0);
    const std::int32_t length =
        (negative ? 1 : 0) + integerDigits + (decimals > 0 ? decimals + 1 : 0);
    char* out = justify(text, length, width);
    if (negative) *out++ = '-';
    spellDigits(whole, integerDigits, out);
    if (decimals > 0) {
      out[integerDigits] = '.';
      spellDigits(rounded - whole * decimalUnit, decimals, out + integerDigits + 1);
    }
    return;
  }

  char digits[maxDigitCount + 1];
  spellPositions(scaledDigits, count, digits);  // generateDigits, in place

  // The integer digits end at position exponent + 1 and start at position 0
  // when a carry (or a scaled value of 10 or more) put a "1" there.
  const std::int32_t first = digits[0] == '1' ? 0 : 1;
  const std::int32_t integerDigits = scaled.exponent + 2 - first;
  const std::int32_t length =
      (negative ? 1 : 0) + integerDigits + (decimals > 0 ? decimals + 1 : 0);
  char* out = justify(text, length, width);
  if (negative) *out++ = '-';
  std::memcpy(out, digits + first, static_cast<std::size_t>(integerDigits));
  out += integerDigits;
  if (decimals > 0) {
    *out++ = '.';
    std::memcpy(out, digits + scaled.exponent + 2, static_cast<std::size_t>(decimals));
  }
}

// Exponent form: " d.dddE+eeee" or "-d.dddE-eeee" with 2..18 digits, as many
// as the width leaves room for.
void writeExponentForm(bool negative, DecimalScaled scaled, std::int32_t width, CountedText& text) {
  // Clamp before subtracting, so that no width can overflow.
  std::int32_t shown;
  if (width < minExponentFormDigits + exponentFormOverhead) {
    shown = minExponentFormDigits;
  } else if (width > maxExponentFormDigits + exponentFormOverhead) {
    shown = maxExponentFormDigits;
  } else {
    shown = width - exponentFormOverhead;
  }

  // The digits shown are positions 1..shown, or positions 0..shown - 1 when
  // position 0 holds "1". Rounding happens once, by the first digit that is
  // not shown: at position `shown` in the first case, and at `shown` - 1 when
  // the scaled value is already 10 or more (position 0 "1" before rounding).
  const std::uint64_t scaledDigits = scaledInteger(scaled.scaled);
  const std::int32_t roundAt = scaledDigits >= overflowThreshold ? shown - 1 : shown;
  char digits[significantDigits + 1];
  spellPositions(scaledDigits, roundAt, digits);
  std::int32_t exponent = scaled.exponent;
  std::int32_t first = 1;
  if (digits[0] == '1') {
    exponent += 1;
    first = 0;
  }

  char* out = justify(text, shown + exponentFormOverhead, width);
  *out++ = negative ? '-' : space;
  *out++ = digits[first];
  *out++ = '.';
  std::memcpy(out, digits + first + 1, static_cast<std::size_t>(shown - 1));
  out += shown - 1;
  *out++ = 'E';
  *out++ = exponent >= 0 ? '+' : '-';
  const std::int32_t magnitude = exponent >= 0 ? exponent : -exponent;
  assert(magnitude < 10000);
  spellDigits(static_cast<std::uint64_t>(magnitude), exponentFieldDigits, out);
}

}  // namespace

void intToText(std::int32_t value, std::int32_t width, CountedText& text) {
  char digits[maxIntegerTextLength];
  char* const end = digits + maxIntegerTextLength;
  char* start = end;
  // The magnitude as unsigned, so that -2^31 has one too.
  std::uint32_t magnitude =
      value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
  do {
    *--start = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) *--start = '-';

  const auto length = static_cast<std::int32_t>(end - start);
  std::memcpy(justify(text, length, std::min(width, maxCountedLength)), start,
              static_cast<std::size_t>(length));
}

DecimalScaled decimalExponent(Extended x) {
  assert(!x.sign() && x.exponentField() != extended::maxExponentField);
  assert(x.exponentField() == 0 || (x.significand & extended::integerBit) != 0);
  std::int32_t exponent = 0;
  while (x.exponentField() != 0 || x.significand != 0) {
    // A field of 0 (a denormal) counts as a binary exponent of -16383.
    const std::int32_t binaryExponent = x.exponentField() - extended::exponentBias;
    // The product fits easily; the shift rounds towards minus infinity.
    const std::int32_t step = (binaryExponent * log10Of2Estimate) >> log10Of2Shift;
    if (step == 0) break;  // binary exponent 0..3: x is in [1, 16)
    exponent += step;
    x = scaleByPowerOfTen(x, -step);
  }
  return {exponent, x};
}

void generateDigits(Extended m, std::int32_t count, char* digits) {
  assert(count >= 1 && count <= maxDigitCount);
  if (count >= significantDigits) {
    spellPositions(scaledInteger(m), count, digits);
    return;
  }
  // The caller's area may be shorter than the 19 positions spelled.
  char positions[significantDigits + 1];
  spellPositions(scaledInteger(m), count, positions);
  std::memcpy(digits, positions, static_cast<std::size_t>(count) + 1);
}

void realToText(Extended value, std::int32_t width, std::int32_t decimals, CountedText& text) {
  width = std::min(width, maxCountedLength);
  const bool negative = value.sign();

  if (value.exponentField() == extended::maxExponentField) {
    if (value.significand == extended::integerBit) {
      writeSpecial(negative ? negativeInfinityText : positiveInfinityText, width, text);
    } else {
      writeSpecial(nanText, width, text);
    }
    return;
  }

  const Extended magnitude = canonicalMagnitude(value);
  if (decimals < 0) {
    writeExponentForm(negative, decimalExponent(magnitude), width, text);
    return;
  }
  decimals = std::min(decimals, maxDecimals);
  if (below(magnitude, unscaledLimit)) {
    writeFixed(negative, DecimalScaled{0, magnitude}, decimals, width, text);
    return;
  }
  const DecimalScaled scaled = decimalExponent(magnitude);
  if (scaled.exponent > maxFixedExponent) {
    writeExponentForm(negative, scaled, width, text);
  } else {
    writeFixed(negative, scaled, decimals, width, text);
  }
}
