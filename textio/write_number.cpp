// The field rule of the number writers, and the writer of reals: a number's
// text right-justified in a field of a requested width, written to a stream.
//
// The conversions cap the width at 255, the most a counted text holds; the
// field rule here is not capped, so the spaces beyond 255 come from
// writeSpaces, in runs from its constant run of spaces. The text is handed to
// writeBytes in every case, even when writing the spaces failed; failures are
// recorded by the byte layer, never returned.
#include <cstdint>

#include "textio/number_conversions.h"
#include "textio/number_text.h"
#include "textio/text_stream.h"

TextStream& writePadded(TextStream& stream, const CountedText& text, std::int32_t width) {
  // Compare rather than subtract first: any width, -2^31 included, is safe,
  // and width - length cannot overflow once width is the larger.
  const std::int32_t length = text.length;
  if (width > length) writeSpaces(stream, width - length);
  return writeBytes(stream, text.chars, text.length);
}

namespace {

// writeReal through a counted text, for a field wider than a counted text or a
// buffer without room for the longest text.
[[gnu::noinline]] TextStream& writeRealThroughText(TextStream& stream, Extended value,
                                                   std::int32_t width, std::int32_t decimals) {
  CountedText text;
  realToText(value, width, decimals, text);
  return writePadded(stream, text, width);
}

}  // namespace

TextStream& writeReal(TextStream& stream, Extended value, std::int32_t width,
                      std::int32_t decimals) {
  if (fitsInBuffer(stream, width)) {
    return buildInBuffer(stream,
                         [&](char* chars) { return realToChars(value, width, decimals, chars); });
  }
  return writeRealThroughText(stream, value, width, decimals);
}
