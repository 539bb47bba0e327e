// Reading real numbers: the token layer (readReal) and the decimal conversion
// (textToReal), which scales by a power of ten (power_of_ten.h).
//
// The conversion is a fixed sequence of rounded extended operations, not a
// correctly rounded one: per digit, accumulator × 10 then + digit, each
// rounded; then at most three table operations, smallest factor first,
// dividing for negative powers. Its results are required bit for bit.
#include <cstdint>
#include <optional>

#include "extended/extended.h"
#include "textio/number_conversions.h"
#include "textio/power_of_ten.h"
#include "textio/text_stream.h"

namespace {

// Bytes up to this value end a token (and are skipped before one).
constexpr std::uint8_t lastBlankByte = 0x20;

// The exponent digits stop counting once the exponent passes this value, so
// that no exponent text can overflow: far beyond the ±5120 that any result
// depends on, and small enough that the fraction count (64-bit, one per
// fraction digit) is added without overflow.
constexpr std::int32_t exponentSaturation = 100000;

constexpr Extended ten = extended::exactInteger(10);

constexpr Extended digitValues[10] = {
    extended::exactInteger(0), extended::exactInteger(1), extended::exactInteger(2),
    extended::exactInteger(3), extended::exactInteger(4), extended::exactInteger(5),
    extended::exactInteger(6), extended::exactInteger(7), extended::exactInteger(8),
    extended::exactInteger(9),
};

constexpr bool isDigit(std::uint8_t byte) {
  return byte >= '0' && byte <= '9';
}

// Takes an optional sign at bytes[index]; true for "-".
bool takeSign(const std::uint8_t* bytes, std::int64_t& index) {
  if (bytes[index] != '-' && bytes[index] != '+') return false;
  return bytes[index++] == '-';
}

// The digit accumulator. While the value is an exact integer below 2^64 it is
// kept as an integer: there, accumulator × 10 and + digit are exact in the
// extended format too, so the rounded operations would give the same bits. The
// first digit that would take it to 2^64 or beyond moves it into the extended
// format, where every later digit costs the two rounded operations.
class DigitAccumulator {
 public:
  void append(std::uint8_t digit) {
    if (!inExtended_) {
      std::uint64_t next = 0;
      if (!__builtin_mul_overflow(whole_, std::uint64_t{10}, &next) &&
          !__builtin_add_overflow(next, std::uint64_t{digit}, &next)) {
        whole_ = next;
        return;
      }
      extendedValue_ = extended::exactInteger(whole_);
      inExtended_ = true;
    }
    extendedValue_ = extended::multiply(extendedValue_, ten);
    extendedValue_ = extended::add(extendedValue_, digitValues[digit]);
  }

  Extended value() const { return inExtended_ ? extendedValue_ : extended::exactInteger(whole_); }

 private:
  std::uint64_t whole_ = 0;
  Extended extendedValue_{};
  bool inExtended_ = false;
};

// The next byte of the current token, or nothing once the token has ended:
// at the end of input, or at a byte of 0x20 or below, which is put back so
// that it is the next byte of the stream.
std::optional<std::uint8_t> nextTokenByte(TextStream& stream) {
  const StreamByte next = readChar(stream);
  if (next.endOfInput) return std::nullopt;
  if (next.value <= lastBlankByte) {
    unreadChar(stream);
    return std::nullopt;
  }
  return next.value;
}

}  // namespace

Extended textToReal(const char* text, std::int32_t& code) {
  if (text == nullptr) {
    code = 1;
    return extended::positiveZero;
  }
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text);
  std::int64_t index = 0;  // of the current byte; its position is index + 1
  DigitAccumulator accumulator;
  const auto fail = [&]() {
    code = index < INT32_MAX ? static_cast<std::int32_t>(index + 1) : INT32_MAX;
    return accumulator.value();
  };

  // Leading spaces and the sign.
  while (bytes[index] == ' ') ++index;
  const bool negative = takeSign(bytes, index);
  if (bytes[index] == 0) return fail();

  // Significand: integer digits, then fraction digits after a point.
  while (isDigit(bytes[index])) accumulator.append(static_cast<std::uint8_t>(bytes[index++] - '0'));
  std::int64_t fractionCount = 0;
  if (bytes[index] == '.') {
    ++index;
    while (isDigit(bytes[index])) {
      accumulator.append(static_cast<std::uint8_t>(bytes[index++] - '0'));
      --fractionCount;
    }
  }

  // Exponent: a letter, an optional sign and at least one digit.
  std::int32_t exponent = 0;
  if (bytes[index] == 'E' || bytes[index] == 'e') {
    ++index;
    const bool exponentNegative = takeSign(bytes, index);
    if (!isDigit(bytes[index])) return fail();
    while (isDigit(bytes[index])) {
      if (exponent <= exponentSaturation) exponent = exponent * 10 + (bytes[index] - '0');
      ++index;
    }
    if (exponentNegative) exponent = -exponent;
  }
  if (bytes[index] != 0) return fail();

  // Scaling; every total beyond the tables' reach behaves as ±5120.
  std::int64_t total = fractionCount + exponent;
  if (total > pow10ScaleLimit) total = pow10ScaleLimit;
  if (total < -pow10ScaleLimit) total = -pow10ScaleLimit;
  Extended value = scaleByPowerOfTen(accumulator.value(), static_cast<std::int32_t>(total));
  if (negative) value = extended::negate(value);
  code = 0;
  return value;
}

Extended readReal(TextStream& stream) {
  if (skipBlanks(stream)) return extended::positiveZero;

  // Collect the token. One byte more than the limit tells whether it goes on.
  char token[maxTokenLength + 1];
  int length = 0;
  for (auto byte = nextTokenByte(stream); byte; byte = nextTokenByte(stream)) {
    if (length == maxTokenLength) {
      // Over-long: malformed as a whole and consumed to its end, so that its
      // tail is not read as a number of its own.
      while (nextTokenByte(stream)) {
      }
      setPendingIoError(ioMalformedNumber);
      return extended::positiveZero;
    }
    token[length++] = static_cast<char>(*byte);
  }
  token[length] = 0;

  std::int32_t code = 0;
  const Extended value = textToReal(token, code);
  if (code != 0) setPendingIoError(ioMalformedNumber);
  return value;
}
