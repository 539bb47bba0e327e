// The number conversions: the programs' reader and writers.
#include <cstring>

#include "extended/extended.h"
#include "library/quadsolve.h"
#include "library/record_call.h"
#include "runtime/runtime.h"
#include "textio/number_conversions.h"

namespace {

// Copies a writer's text, zero-terminated, when it fits.
int giveText(const CountedText& text, char* destination, size_t capacity, size_t* length) {
  if (static_cast<size_t>(text.length) + 1 > capacity) return QS_ERROR_SPACE;
  std::memcpy(destination, text.chars, text.length);
  destination[text.length] = '\0';
  *length = text.length;
  return QS_OK;
}

bool validText(const char* text, size_t* length) {
  return text != nullptr && length != nullptr;
}

}  // namespace

int qs_text_to_extended(const char* text, size_t length, qs_extended* value, size_t* consumed) {
  if ((text == nullptr && length != 0) || value == nullptr || consumed == nullptr ||
      length > UINT32_MAX) {
    return QS_ERROR_ARGUMENT;
  }
  library::beginCall();
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text);
  TextStream input;
  library::readFrom(input, bytes, static_cast<std::uint32_t>(length));
  const Extended read = readReal(input);
  *value = qs_extended{read.significand, read.signExponent};
  // Once the reader has met the end of the data the stream no longer points
  // at the text: it has taken all of it.
  *consumed = input.bufPtr == bytes ? input.bufPos : length;
  if (const std::uint8_t code = recordErrorCode(); code != 0) return code;
  return pendingIoError == ioMalformedNumber ? QS_MALFORMED_NUMBER : QS_OK;
}

int qs_extended_to_text(qs_extended value, int width, int decimals, char* text, size_t capacity,
                        size_t* length) {
  if (!validText(text, length)) return QS_ERROR_ARGUMENT;
  CountedText written;
  realToText(Extended{value.significand, value.sign_exponent}, width, decimals, written);
  return giveText(written, text, capacity, length);
}

int qs_double_to_text(double value, int width, int decimals, char* text, size_t capacity,
                      size_t* length) {
  if (!validText(text, length)) return QS_ERROR_ARGUMENT;
  // The load is the one operation that may raise: a signalling NaN is an
  // invalid operation.
  library::beginCall();
  CountedText written;
  realToText(extended::fromDouble(value), width, decimals, written);
  const int given = giveText(written, text, capacity, length);
  const std::uint8_t code = recordErrorCode();
  return code != 0 ? code : given;
}

int qs_integer_to_text(int32_t value, int width, char* text, size_t capacity, size_t* length) {
  if (!validText(text, length)) return QS_ERROR_ARGUMENT;
  CountedText written;
  intToText(value, width, written);
  return giveText(written, text, capacity, length);
}
