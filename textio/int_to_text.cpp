// The texts of integers, and the writer of integers: plain decimal digits
// with a minus sign before a negative value, right-justified in a field.
#include <algorithm>
#include <cstdint>

#include "textio/digit_arithmetic.h"
#include "textio/number_conversions.h"
#include "textio/number_text.h"
#include "textio/text_stream.h"

std::int32_t intToChars(std::int32_t value, std::int32_t width, char* chars) {
  // The magnitude as unsigned, so that -2^31 has one too.
  const std::uint32_t magnitude =
      value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
  const int digitCount = decimalDigitCount(magnitude);
  const Field field =
      justify(chars, digitCount + (value < 0 ? 1 : 0), std::min(width, maxCountedLength));
  char* out = field.text;
  if (value < 0) *out++ = '-';
  spellDigits(magnitude, digitCount, out);
  return field.length;
}

void intToText(std::int32_t value, std::int32_t width, CountedText& text) {
  text.length = static_cast<std::uint8_t>(intToChars(value, width, text.chars));
}

TextStream& writeInteger(TextStream& stream, std::int32_t value) {
  // A single digit, such as a result line's outcome, is its one byte.
  constexpr std::int32_t largestDigit = 9;
  if (value >= 0 && value <= largestDigit && fitsInBuffer(stream, 0)) {
    stream.bufPtr[stream.bufPos++] = static_cast<std::uint8_t>('0' + value);
    return stream;
  }
  return writeInteger(stream, value, 0);
}

namespace {

// writeInteger through a counted text, for a field wider than a counted text
// or a buffer without room for the longest text.
[[gnu::noinline]] TextStream& writeIntegerThroughText(TextStream& stream, std::int32_t value,
                                                      std::int32_t width) {
  CountedText text;
  intToText(value, 0, text);
  return writePadded(stream, text, width);
}

}  // namespace

TextStream& writeInteger(TextStream& stream, std::int32_t value, std::int32_t width) {
  if (fitsInBuffer(stream, width)) {
    return buildInBuffer(stream, [&](char* chars) { return intToChars(value, width, chars); });
  }
  return writeIntegerThroughText(stream, value, width);
}
