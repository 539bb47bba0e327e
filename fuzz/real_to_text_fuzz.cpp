// realToText and intToText over arbitrary 80-bit patterns (unnormals, pseudo-
// denormals, NaNs of every kind included), widths and decimals across the
// whole 32-bit range.
//
// Input: 10 bytes of the value's memory image, then width and decimals as
// 4 little-endian bytes each; missing bytes are zero.
//
// Checked: no crash or sanitizer report; no exception that the program's
// control word leaves unmasked (invalid operation, division by zero,
// overflow) is raised by the conversion; the field rule (the text is as wide
// as the larger of the width capped at 255 and the bare text, spaces on the
// left, never cut); the shape of each form and its sign.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "extended/extended.h"
#include "extended/fpu_environment.h"
#include "textio/number_conversions.h"

namespace {

constexpr std::uint16_t unmaskedByTheProgram =
    extended::flagInvalid | extended::flagZeroDivide | extended::flagOverflow;

void require(bool condition) {
  if (!condition) std::abort();
}

std::string text(Extended value, std::int32_t width, std::int32_t decimals) {
  CountedText counted;
  realToText(value, width, decimals, counted);
  return std::string(counted.chars, counted.length);
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

std::string padded(const std::string& body, std::int32_t cap) {
  if (cap <= static_cast<std::int32_t>(body.size())) return body;
  return std::string(static_cast<std::size_t>(cap) - body.size(), ' ') + body;
}

void checkExponentBody(const std::string& body, std::int32_t digits, bool negative) {
  require(static_cast<std::int32_t>(body.size()) == digits + 8);
  require(body[0] == (negative ? '-' : ' '));
  require(isDigit(body[1]) && body[2] == '.');
  for (std::int32_t i = 3; i < digits + 2; ++i) require(isDigit(body[static_cast<std::size_t>(i)]));
  const std::size_t e = static_cast<std::size_t>(digits) + 2;
  require(body[e] == 'E' && (body[e + 1] == '+' || body[e + 1] == '-'));
  for (std::size_t i = e + 2; i < body.size(); ++i) require(isDigit(body[i]));
}

void checkFixedBody(const std::string& body, std::int32_t decimals, bool negative) {
  std::size_t i = 0;
  if (negative) require(body[i++] == '-');
  const std::size_t integerStart = i;
  while (i < body.size() && isDigit(body[i])) ++i;
  const std::size_t integerDigits = i - integerStart;
  require(integerDigits >= 1 && integerDigits <= 37);
  if (integerDigits > 1) require(body[integerStart] != '0');
  const std::int32_t shown = std::min(decimals, 216);
  if (shown == 0) {
    require(i == body.size());
    return;
  }
  require(body[i++] == '.');
  require(body.size() - i == static_cast<std::size_t>(shown));
  for (; i < body.size(); ++i) require(isDigit(body[i]));
}

void checkReal(Extended value, std::int32_t width, std::int32_t decimals) {
  extended::clearStatus();
  const std::string t = text(value, width, decimals);
  require((extended::statusFlags() & unmaskedByTheProgram) == 0);

  const std::int32_t cap = std::min(width, maxCountedLength);
  require(t.size() <= 255);
  require(static_cast<std::int32_t>(t.size()) >= cap);
  require(text(value, cap, decimals) == t);  // the cap is the only use of a width above 255

  const bool negative = value.sign();
  if (value.exponentField() == extended::maxExponentField) {
    const char* word =
        value.significand == extended::integerBit ? (negative ? "-Inf" : "+Inf") : "Nan";
    require(t == padded(word, cap));
    return;
  }
  if (t.find('E') != std::string::npos) {
    // Exponent form: as many digits as the width leaves room for, 2 to 18.
    const std::int32_t digits = cap < 10 ? 2 : cap > 26 ? 18 : cap - 8;
    const std::string body = t.substr(t.size() - static_cast<std::size_t>(digits) - 8);
    checkExponentBody(body, digits, negative);
    require(t == padded(body, cap));
    if (decimals >= 0) require(value.exponentField() >= extended::exponentBias + 100);
    return;
  }
  require(decimals >= 0);
  const std::string bare = text(value, 0, decimals);
  checkFixedBody(bare, decimals, negative);
  require(t == padded(bare, cap));
}

// Decimal digits of a 64-bit magnitude, most significant first.
std::string decimal(std::int64_t value) {
  std::string digits;
  std::int64_t magnitude = value < 0 ? -value : value;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + magnitude % 10));
    magnitude /= 10;
  } while (magnitude != 0);
  return value < 0 ? "-" + digits : digits;
}

void checkInteger(std::int32_t value, std::int32_t width) {
  CountedText counted;
  intToText(value, width, counted);
  const std::string t(counted.chars, counted.length);
  const std::string bare = decimal(value);
  require(t == padded(bare, std::min(width, maxCountedLength)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::uint8_t bytes[extended::memoryImageSize + 8] = {};
  std::memcpy(bytes, data, std::min(size, sizeof bytes));

  Extended value;
  std::memcpy(&value.significand, bytes, 8);
  std::memcpy(&value.signExponent, bytes + 8, 2);
  std::int32_t width;
  std::int32_t decimals;
  std::memcpy(&width, bytes + 10, 4);
  std::memcpy(&decimals, bytes + 14, 4);

  checkReal(value, width, decimals);
  checkReal(value, width, -1 - (decimals & 0x7FFFFFFF));  // the exponent form as well
  checkInteger(static_cast<std::int32_t>(value.significand), width);
  return 0;
}
