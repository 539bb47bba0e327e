// Fuzz target: readReal over an arbitrary byte stream. The first input byte
// configures the stream (bit 0: CR LF line style, where byte 26 ends the
// input; the rest: how many bytes each read delivers), the remaining bytes are
// the stream's content.
//
// An independent model of the token rules predicts every call: blanks (bytes
// 0..32) skipped, a token of bytes above 32, a token of more than 64 bytes
// malformed as a whole, code 106 exactly for malformed tokens, the value of a
// well-formed token that of textToReal, and the byte that ended the token the
// next one read.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "extended/extended.h"
#include "fuzz/read_real_oracle.h"
#include "textio/number_conversions.h"
#include "textio/text_stream.h"

namespace {

using readrealfuzz::check;

constexpr std::uint8_t lastBlankByte = 0x20;
constexpr std::uint8_t endOfInputByte = 26;

// The content the stream's reads deliver, `chunk` bytes at most per read.
const std::uint8_t* content = nullptr;
std::size_t contentSize = 0;
std::size_t contentRead = 0;
std::uint32_t chunk = 1;

std::uint32_t fuzzRead(TextStream& stream) {
  const std::size_t count =
      std::min<std::size_t>({stream.bufSize, chunk, contentSize - contentRead});
  std::memcpy(stream.bufPtr, content + contentRead, count);
  contentRead += count;
  stream.bufPos = 0;
  stream.bufEnd = static_cast<std::uint32_t>(count);
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  readrealfuzz::useProgramEnvironmentOnce();
  if (size == 0) return 0;

  const bool lineStyle = (data[0] & 1) != 0;
  chunk = 1 + (data[0] >> 1) % streamBufferSize;
  content = data + 1;
  contentSize = size - 1;
  contentRead = 0;

  static TextStream stream;
  readrealfuzz::makeFuzzStream(stream, modeInput, lineStyle ? crLfStyle : 0, fuzzRead);

  // What the stream delivers: everything, or up to the first byte 26 in the
  // line style.
  std::size_t end = contentSize;
  if (lineStyle) {
    end = static_cast<std::size_t>(std::find(content, content + contentSize, endOfInputByte) -
                                   content);
  }

  std::size_t at = 0;
  for (;;) {
    pendingIoError = 0;
    const Extended value = readReal(stream);

    while (at < end && content[at] <= lastBlankByte) ++at;
    if (at == end) {
      check(value == extended::positiveZero && pendingIoError == 0);
      break;
    }
    const std::size_t start = at;
    while (at < end && content[at] > lastBlankByte) ++at;
    const std::size_t length = at - start;
    if (length > static_cast<std::size_t>(maxTokenLength)) {
      check(value == extended::positiveZero && pendingIoError == ioMalformedNumber);
    } else {
      const std::string token(reinterpret_cast<const char*>(content + start), length);
      std::int32_t code = -1;
      const Extended expected = textToReal(token.c_str(), code);
      check(value == expected);
      check(pendingIoError == (code != 0 ? ioMalformedNumber : 0u));
    }

    // The byte that ended the token is the next one delivered.
    const StreamByte next = readChar(stream);
    if (at == end) {
      check(next.endOfInput);
      break;
    }
    check(!next.endOfInput && next.value == content[at]);
    ++at;
  }
  // Nothing more is delivered.
  check(readChar(stream).endOfInput);
  return 0;
}
