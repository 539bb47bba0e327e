// Inside the number writers: a number's text placed in its field, and built
// straight in a stream's buffer when it fits there.
#pragma once

#include <cassert>
#include <cstdint>
#include <cstring>

#include "extended/extended.h"
#include "textio/number_conversions.h"
#include "textio/text_stream.h"

// A number's text right-justified in a field, built at `chars`, which has
// room for maxCountedLength characters (a counted text's, or a stream's
// buffer): where the text itself goes, after the spaces of the field, and the
// field's length, the larger of the text's length and the width.
struct Field {
  char* text;
  std::int32_t length;
};

// Puts the spaces of a field of `width` (at most 255) for a text of `length`
// on the left at `chars`.
inline Field justify(char* chars, std::int32_t length, std::int32_t width) {
  assert(length >= 0 && length <= maxCountedLength && width <= maxCountedLength);
  if (width <= length) return {chars, length};
  std::memset(chars, ' ', static_cast<std::size_t>(width - length));
  return {chars + (width - length), width};
}

// intToText and realToText building their texts at any place; they return
// the length of the field.
std::int32_t intToChars(std::int32_t value, std::int32_t width, char* chars);
std::int32_t realToChars(Extended value, std::int32_t width, std::int32_t decimals, char* chars);

// Whether a number's text, right-justified in `width`, can be built straight
// in the stream's buffer: the stream is writing, the width needs no spaces
// beyond the text's own 255 places, and the buffer has room for the longest
// text and one byte more (a write never leaves the buffer full, so these
// bytes would have gone into the buffer all the same).
inline bool fitsInBuffer(const TextStream& stream, std::int32_t width) {
  return stream.mode == modeOutput && width <= maxCountedLength &&
         stream.bufSize - stream.bufPos > static_cast<std::uint32_t>(maxCountedLength);
}

// Builds a number's text straight in the stream's buffer (fitsInBuffer) with
// `build`, called with the place and returning the field's length.
template <typename Build>
TextStream& buildInBuffer(TextStream& stream, Build build) {
  stream.bufPos +=
      static_cast<std::uint32_t>(build(reinterpret_cast<char*>(stream.bufPtr + stream.bufPos)));
  return stream;
}
