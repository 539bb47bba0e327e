// Reading and writing numbers in the program's own formats.
//
// Reading: readReal takes one blank-delimited token from a stream and converts
// it with textToReal, which accumulates the digits in extended precision and
// scales by a power of ten from constant tables (power_of_ten.h).
// Writing: writeInteger and writeReal write a number right-justified in a
// field; the texts come from intToText and realToText, whose real digits come
// from one 18-digit integer (decimalExponent, generateDigits).
#pragma once

#include <cstdint>

#include "extended/extended.h"
#include "textio/text_stream.h"

// ---- Reading ----

// Longest token readReal converts; one more byte holds the terminating zero.
inline constexpr int maxTokenLength = 64;

// Reads one token from `stream` and converts it. A malformed or over-long
// token stores ioMalformedNumber (106); end of input before a token gives +0
// and stores nothing. An overflow in the scaling traps (floating-point
// overflow).
Extended readReal(TextStream& stream);

// Converts a zero-terminated text. `code` is 0 when the whole text is a number,
// else the 1-based position of the first byte that does not fit (the
// terminating zero counts); on failure the result is the unsigned, unscaled
// digit accumulator. A null text fails at position 1 with +0.
Extended textToReal(const char* text, std::int32_t& code);

// ---- Writing ----

// A text of at most 255 characters: a length byte followed by the characters.
struct CountedText {
  std::uint8_t length;
  char chars[255];
};
inline constexpr std::int32_t maxCountedLength = 255;

// The outcome code and other integers, right-justified in `width` (0 when
// omitted).
TextStream& writeInteger(TextStream& stream, std::int32_t value);
TextStream& writeInteger(TextStream& stream, std::int32_t value, std::int32_t width);

// A real in fixed form with `decimals` digits after the point (decimals >= 0),
// or in exponent form (decimals < 0, or magnitudes from 2^120 up, whose
// decimal exponents are above 35).
TextStream& writeReal(TextStream& stream, Extended value, std::int32_t width,
                      std::int32_t decimals);

// Writes `text` right-justified in `width`: spaces on the left, never cut.
TextStream& writePadded(TextStream& stream, const CountedText& text, std::int32_t width);

// `value` in decimal, "-" before a negative one, right-justified in `width`
// capped at 255 (a smaller, zero or negative width adds nothing).
void intToText(std::int32_t value, std::int32_t width, CountedText& text);

// `value` as text, right-justified in `width` capped at 255; the sign comes
// from the sign bit, so a negative zero gives "-0.00". Decimals of 0 or more
// give the fixed form with at most 216 decimals, for magnitudes below 2^120
// (decimal exponents up to 35); from 2^120 up, or for negative decimals, the
// exponent form with
// clamp(width - 8, 2, 18) digits and four exponent digits. Infinities give
// "+Inf" or "-Inf", every other encoding with all ones in its exponent field
// "Nan". Non-canonical encodings are written as the number they hold. Never
// traps and stores no code; the text is at most 255 characters.
void realToText(Extended value, std::int32_t width, std::int32_t decimals, CountedText& text);

// Brings a finite, non-negative x in canonical encoding (a normal, denormal
// or zero) into [1, 16), or leaves a zero, and counts the powers of ten used:
// x ≈ scaled × 10^exponent. Never traps.
struct DecimalScaled {
  std::int32_t exponent;
  Extended scaled;
};
DecimalScaled decimalExponent(Extended x);

// Digit positions 0..count of m in [0, 16) as characters '0'..'9', for count
// 1..252: position 0 is '0' or '1', positions 1..18 the 18 digits of
// round(m × 10^17), then zeros; for count below 18 rounded at position count
// by the digit after it. `digits` has room for count + 1 characters.
inline constexpr std::int32_t maxDigitCount = 252;
void generateDigits(Extended m, std::int32_t count, char* digits);
