// Reading real numbers: the token layer (readReal) and the decimal conversion
// (textToReal), which scales by a power of ten (power_of_ten.h).
//
// The conversion is a fixed sequence of rounded extended operations, not a
// correctly rounded one: per digit, accumulator × 10 then + digit, each
// rounded; then at most three table operations, smallest factor first,
// dividing for negative powers. Its results are required bit for bit.
#include <cstddef>
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

// Ctrl-Z, which with crLfStyle is the end of the input.
constexpr std::uint8_t endOfInputByte = 26;

// The fast paths of readReal, straight over the stream's buffer. Each serves
// what lies whole in the buffer of a stream that is reading, and does there
// what the byte-by-byte path (readChar) would do; for the rest it returns
// false, having consumed only what that path would also consume, and the
// byte-by-byte path takes over, refilling the buffer as it must.

// Skips blanks up to a token's first byte; false when the buffer ends first or
// at the end-of-input byte.
bool skipBufferedBlanks(TextStream& stream) {
  if (stream.mode != modeInput) return false;
  const std::uint8_t* const bytes = stream.bufPtr;
  std::uint32_t position = stream.bufPos;
  while (position < stream.bufEnd && bytes[position] <= lastBlankByte) {
    if (bytes[position] == endOfInputByte && (stream.flags & crLfStyle) != 0) break;
    ++position;
  }
  stream.bufPos = position;
  return position < stream.bufEnd && bytes[position] > lastBlankByte;
}

// Takes the token that starts at the current byte into `token`, leaving the
// stream at the blank after it. Only a token ended by a blank inside the
// buffer, and at most maxTokenLength bytes long (one byte more than the limit
// tells an over-long token), else false and nothing consumed.
bool takeBufferedToken(TextStream& stream, char* token, int& length) {
  if (stream.mode != modeInput) return false;
  const std::uint8_t* const bytes = stream.bufPtr;
  const std::uint32_t start = stream.bufPos;
  const std::uint32_t end = stream.bufEnd;
  if (start >= end) return false;
  const std::uint32_t stop = end - start > maxTokenLength ? start + maxTokenLength + 1 : end;
  std::uint32_t position = start;
  while (position < stop && bytes[position] > lastBlankByte) ++position;
  if (position == stop) return false;
  length = static_cast<int>(position - start);
  for (int index = 0; index < length; ++index) {
    token[index] = static_cast<char>(bytes[start + index]);
  }
  stream.bufPos = position;
  return true;
}

// Digits that always make an integer below 2^64: 10^19 − 1 < 2^64.
constexpr int maxExactDigits = 19;

// Takes the digits from `next` up to `end` into `whole` (which may wrap
// round: the caller counts the digits); returns where they stop.
const std::uint8_t* takeDigits(const std::uint8_t* next, const std::uint8_t* end,
                               std::uint64_t& whole) {
  std::uint64_t value = whole;
  for (; next != end; ++next) {
    // Unsigned: a byte below '0' wraps round to a large value.
    const std::uint32_t digit = static_cast<std::uint32_t>(*next) - '0';
    if (digit > 9) break;
    value = value * 10 + digit;
  }
  whole = value;
  return next;
}

// The everyday token, converted where it lies: an optional sign, one or more
// digits, and optionally a point and one or more digits, at most
// maxExactDigits digits in all, ended by a blank inside the buffer. Its
// digits form an exact integer, so textToReal would keep them as one and
// scale it by the fraction's power of ten, which is what is done here; the
// stream is left at the blank. Any other token (or none) gives false with
// nothing consumed.
bool readBufferedDecimal(TextStream& stream, Extended& value) {
  const std::uint8_t* const start = stream.bufPtr + stream.bufPos;
  const std::uint8_t* const end = stream.bufPtr + stream.bufEnd;
  const bool negative = *start == '-';
  const std::uint8_t* const first = negative || *start == '+' ? start + 1 : start;
  std::uint64_t whole = 0;
  const std::uint8_t* next = takeDigits(first, end, whole);
  std::ptrdiff_t fractionCount = 0;
  if (next != first && next != end && *next == '.') {
    const std::uint8_t* const point = next + 1;
    next = takeDigits(point, end, whole);
    fractionCount = next - point;
    if (fractionCount == 0) return false;
  }
  const std::ptrdiff_t digitCount = next - first - (fractionCount != 0 ? 1 : 0);
  if (digitCount == 0 || digitCount > maxExactDigits || next == end || *next > lastBlankByte) {
    return false;
  }
  value =
      scaleByPowerOfTen(extended::exactInteger(whole), -static_cast<std::int32_t>(fractionCount));
  if (negative) value = extended::negate(value);
  stream.bufPos = static_cast<std::uint32_t>(next - stream.bufPtr);
  return true;
}

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

// The byte-by-byte path of readReal, through readChar: collects the token
// that starts at the current byte into `token`. False for an over-long token,
// which is consumed to its end and stores ioMalformedNumber.
bool collectToken(TextStream& stream, char* token, int& length) {
  for (auto byte = nextTokenByte(stream); byte; byte = nextTokenByte(stream)) {
    if (length == maxTokenLength) {
      // Over-long: malformed as a whole and consumed to its end, so that its
      // tail is not read as a number of its own.
      while (nextTokenByte(stream)) {
      }
      setPendingIoError(ioMalformedNumber);
      return false;
    }
    token[length++] = static_cast<char>(*byte);
  }
  return true;
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

namespace {

// readReal for any token but the everyday one: the token's bytes, gathered,
// then converted. Out of line, so that the everyday token's path keeps no
// token array of its own.
[[gnu::noinline]] Extended readToken(TextStream& stream) {
  char token[maxTokenLength + 1];
  int length = 0;
  if (!takeBufferedToken(stream, token, length) && !collectToken(stream, token, length)) {
    return extended::positiveZero;
  }
  token[length] = 0;

  std::int32_t code = 0;
  const Extended value = textToReal(token, code);
  if (code != 0) setPendingIoError(ioMalformedNumber);
  return value;
}

}  // namespace

Extended readReal(TextStream& stream) {
  if (!skipBufferedBlanks(stream) && skipBlanks(stream)) return extended::positiveZero;
  if (Extended value; readBufferedDecimal(stream, value)) return value;
  return readToken(stream);
}
