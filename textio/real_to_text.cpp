// The texts of reals: a fixed form with a requested number of decimals, an
// exponent form with 2 to 18 significant digits, and fixed words for
// infinities and NaNs. Both number forms take their digits from
// generateDigits, so all of them come from one 18-digit integer; fewer digits
// are had by a decimal rounding that looks only at the first dropped digit.
// The sign comes from the sign bit, so values that round to zero keep their
// minus sign.
//
// Texts are right-justified in the width, capped at 255; spaces go on the left
// and a text is never cut.
#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstring>

#include "extended/extended.h"
#include "textio/digit_arithmetic.h"
#include "textio/number_conversions.h"
#include "textio/number_text.h"

namespace {

// Below this magnitude the fixed form uses the value unscaled.
constexpr Extended unscaledLimit = extended::exactInteger(10);
// The fixed form ends where the exponent form begins, at 2^120: the values
// just below it (binary exponent 119) have the decimal exponent 35, and for
// 2^120 the first estimate alone is already 36.
constexpr std::int32_t exponentFormBinaryExponent = 120;
constexpr std::int32_t maxFixedExponent = estimatedDecimalExponent(exponentFormBinaryExponent - 1);
static_assert(maxFixedExponent == 35 &&
              estimatedDecimalExponent(exponentFormBinaryExponent) == maxFixedExponent + 1);
constexpr std::int32_t maxDecimals = 216;
constexpr std::int32_t minExponentFormDigits = 2;
constexpr std::int32_t maxExponentFormDigits = 18;
// Sign position, point, "E", exponent sign and the four exponent digits.
constexpr std::int32_t exponentFormOverhead = 8;
constexpr int exponentFieldDigits = 4;

struct SpecialText {
  std::uint8_t length;
  char chars[4];
};
constexpr SpecialText nanText{3, {'N', 'a', 'n', 0}};
constexpr SpecialText positiveInfinityText{4, {'+', 'I', 'n', 'f'}};
constexpr SpecialText negativeInfinityText{4, {'-', 'I', 'n', 'f'}};

// a < b for canonical non-negative finite values, whose encodings order as
// their values do.
bool below(Extended a, Extended b) {
  return a.exponentField() != b.exponentField() ? a.exponentField() < b.exponentField()
                                                : a.significand < b.significand;
}

std::int32_t fillSpecial(const SpecialText& word, std::int32_t width, char* chars) {
  const Field field = justify(chars, word.length, width);
  std::memcpy(field.text, word.chars, word.length);
  return field.length;
}

// The field of a fixed-form text, its sign written: the text goes on after
// the sign.
Field placeFixed(bool negative, std::int32_t integerDigits, std::int32_t decimals,
                 std::int32_t width, char* chars) {
  const std::int32_t length =
      (negative ? 1 : 0) + integerDigits + (decimals > 0 ? decimals + 1 : 0);
  Field field = justify(chars, length, width);
  if (negative) *field.text++ = '-';
  return field;
}

// Fixed form of 18 positions or more: all 18 digits and zeros after them,
// spelled first and then copied around the point. Domain: exponent 0..35,
// decimals 0..216, exponent + 1 + decimals at least 18.
[[gnu::noinline]] std::int32_t fillLongFixed(bool negative, DecimalScaled scaled,
                                             std::int32_t decimals, std::int32_t width,
                                             char* chars) {
  char digits[maxDigitCount + 1];
  generateDigits(scaled.scaled, scaled.exponent + 1 + decimals, digits);

  // The integer digits end at position exponent + 1 and start at position 0
  // when a scaled value of 10 or more put a "1" there.
  const std::int32_t first = digits[0] == '1' ? 0 : 1;
  const std::int32_t integerDigits = scaled.exponent + 2 - first;
  const Field field = placeFixed(negative, integerDigits, decimals, width, chars);
  char* out = field.text;
  std::memcpy(out, digits + first, static_cast<std::size_t>(integerDigits));
  out += integerDigits;
  if (decimals > 0) {
    *out++ = '.';
    std::memcpy(out, digits + scaled.exponent + 2, static_cast<std::size_t>(decimals));
  }
  return field.length;
}

// Fixed form: sign, integer digits, and a point with `decimals` digits when
// decimals is above 0. Domain: exponent 0..35, decimals 0..216.
std::int32_t fillFixed(bool negative, DecimalScaled scaled, std::int32_t decimals,
                       std::int32_t width, char* chars) {
  assert(scaled.exponent >= 0 && scaled.exponent <= maxFixedExponent && decimals >= 0 &&
         decimals <= maxDecimals);
  const std::int32_t count = scaled.exponent + 1 + decimals;
  if (count >= significantDigits) return fillLongFixed(negative, scaled, decimals, width, chars);

  // Fewer positions, the everyday case: positions 0..count rounded as one
  // number, split at the point into the integer part (positions 0..exponent
  // + 1) and the decimals, each spelled straight into its place. The integer
  // part has exponent + 1 digits, leading zero included, and one more when
  // position 0 holds "1".
  const std::uint64_t positions = roundedPositions(scaledInteger(scaled.scaled), count);
  const std::uint64_t integerPart = divideByPowerOfTen(positions, decimals);
  const std::uint64_t fraction =
      positions - integerPart * powersOfTen[static_cast<std::size_t>(decimals)];
  const std::int32_t integerDigits =
      scaled.exponent + 1 +
      (integerPart >= powersOfTen[static_cast<std::size_t>(scaled.exponent + 1)] ? 1 : 0);
  const Field field = placeFixed(negative, integerDigits, decimals, width, chars);
  spellDigits(integerPart, integerDigits, field.text);
  if (decimals > 0) {
    field.text[integerDigits] = '.';
    spellDigits(fraction, decimals, field.text + integerDigits + 1);
  }
  return field.length;
}

// Exponent form: " d.dddE+eeee" or "-d.dddE-eeee" with 2..18 digits, as many
// as the width leaves room for.
std::int32_t fillExponentForm(bool negative, DecimalScaled scaled, std::int32_t width,
                              char* chars) {
  // Clamp before subtracting, so that no width can overflow.
  std::int32_t shown;
  if (width < minExponentFormDigits + exponentFormOverhead) {
    shown = minExponentFormDigits;
  } else if (width > maxExponentFormDigits + exponentFormOverhead) {
    shown = maxExponentFormDigits;
  } else {
    shown = width - exponentFormOverhead;
  }

  // generateDigits in its two steps. The digits shown are positions
  // 1..shown, or positions 0..shown - 1 when position 0 holds "1". Rounding
  // happens once, by the first digit that is not shown: at position `shown` in
  // the first case, and at `shown` - 1 when the scaled value is already 10 or
  // more (position 0 "1" before rounding).
  const std::uint64_t scaledDigits = scaledInteger(scaled.scaled);
  char digits[significantDigits + 1];
  spellPositions(scaledDigits, scaledDigits >= positionZeroUnit ? shown - 1 : shown, digits);
  std::int32_t exponent = scaled.exponent;
  std::int32_t first = 1;
  if (digits[0] == '1') {
    exponent += 1;
    first = 0;
  }

  const Field field = justify(chars, shown + exponentFormOverhead, width);
  char* out = field.text;
  *out++ = negative ? '-' : ' ';
  *out++ = digits[first];
  *out++ = '.';
  std::memcpy(out, digits + first + 1, static_cast<std::size_t>(shown - 1));
  out += shown - 1;
  *out++ = 'E';
  *out++ = exponent >= 0 ? '+' : '-';
  const std::int32_t magnitude = exponent >= 0 ? exponent : -exponent;
  assert(magnitude < 10000);
  spellDigits(static_cast<std::uint64_t>(magnitude), exponentFieldDigits, out);
  return field.length;
}

}  // namespace

void realToText(Extended value, std::int32_t width, std::int32_t decimals, CountedText& text) {
  text.length = static_cast<std::uint8_t>(realToChars(value, width, decimals, text.chars));
}

std::int32_t realToChars(Extended value, std::int32_t width, std::int32_t decimals, char* chars) {
  width = std::min(width, maxCountedLength);
  const bool negative = value.sign();

  if (value.exponentField() == extended::maxExponentField) {
    if (value.significand == extended::integerBit) {
      return fillSpecial(negative ? negativeInfinityText : positiveInfinityText, width, chars);
    }
    return fillSpecial(nanText, width, chars);
  }

  // Non-canonical encodings as the number they hold, so that the arithmetic
  // only ever sees operands it accepts.
  const Extended magnitude = extended::absolute(extended::canonical(value));
  if (decimals < 0) return fillExponentForm(negative, decimalExponent(magnitude), width, chars);
  const DecimalScaled scaled =
      below(magnitude, unscaledLimit) ? DecimalScaled{0, magnitude} : decimalExponent(magnitude);
  if (scaled.exponent > maxFixedExponent) return fillExponentForm(negative, scaled, width, chars);
  return fillFixed(negative, scaled, std::min(decimals, maxDecimals), width, chars);
}
