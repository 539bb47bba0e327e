#include "solver/shown_name.h"

#include <cstddef>
#include <cstring>

namespace {

using Byte = std::uint8_t;

// What has been shown, counted also past the capacity, which is never
// written beyond.
struct Shown {
  char* text;
  std::uint32_t capacity;
  std::uint32_t length = 0;

  void put(char ch) {
    if (length < capacity) text[length] = ch;
    ++length;
  }
  void put(const char* run) {
    while (*run != 0) put(*run++);
  }
};

constexpr Byte firstPrintableAscii = 0x20;
constexpr Byte lastPrintableAscii = 0x7E;
constexpr Byte continuationMask = 0xC0;
constexpr Byte continuationTag = 0x80;
// The first code point past the C1 controls, and the last of Unicode.
constexpr std::uint32_t firstPrintableAbove = 0xA0;
constexpr std::uint32_t lastCodePoint = 0x10FFFF;
constexpr std::uint32_t firstSurrogate = 0xD800;
constexpr std::uint32_t lastSurrogate = 0xDFFF;

bool isContinuation(Byte byte) {
  return (byte & continuationMask) == continuationTag;
}

// The forms of a UTF-8 sequence longer than one byte: its lead bytes, its
// length, the code point's bits in the lead, and the least code point it may
// carry (a smaller one is an overlong form, no character).
struct SequenceForm {
  Byte firstLead;
  Byte lastLead;
  std::size_t length;
  Byte leadBits;
  std::uint32_t least;
};
constexpr SequenceForm sequenceForms[] = {
    {0xC2, 0xDF, 2, 0x1F, 0x80},
    {0xE0, 0xEF, 3, 0x0F, 0x800},
    {0xF0, 0xF4, 4, 0x07, 0x10000},
};
constexpr Byte continuationBits = 0x3F;
constexpr int continuationBitCount = 6;

// The byte count of the printable character at `bytes`, of at most `left`
// bytes; 0 when the byte there starts none (a control byte, a C1 control, a
// byte of no valid UTF-8 sequence), and is to be shown escaped on its own.
std::size_t printableLength(const Byte* bytes, std::size_t left) {
  const Byte lead = bytes[0];
  if (lead < continuationTag) return lead >= firstPrintableAscii && lead <= lastPrintableAscii;
  for (const SequenceForm& form : sequenceForms) {
    if (lead < form.firstLead || lead > form.lastLead) continue;
    if (form.length > left) return 0;
    std::uint32_t codePoint = lead & form.leadBits;
    for (std::size_t index = 1; index < form.length; ++index) {
      if (!isContinuation(bytes[index])) return 0;
      codePoint = codePoint << continuationBitCount | (bytes[index] & continuationBits);
    }
    const bool valid = codePoint >= form.least && codePoint <= lastCodePoint &&
                       (codePoint < firstSurrogate || codePoint > lastSurrogate);
    return valid && codePoint >= firstPrintableAbove ? form.length : 0;
  }
  return 0;
}

bool allPrintable(const Byte* bytes, std::size_t from, std::size_t to) {
  for (std::size_t at = from; at < to;) {
    const std::size_t length = printableLength(bytes + at, to - at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

// A byte inside $'...': the letter escapes of bytes 7 to 13, else three
// octal digits.
void putEscaped(Shown& shown, Byte byte) {
  static constexpr char letters[] = "abtnvfr";
  shown.put('\\');
  if (byte >= '\a' && byte <= '\r') {
    shown.put(letters[byte - '\a']);
    return;
  }
  constexpr int octalBits = 3;
  constexpr Byte octalDigit = 7;
  for (int shift = 2 * octalBits; shift >= 0; shift -= octalBits) {
    shown.put(static_cast<char>('0' + ((byte >> shift) & octalDigit)));
  }
}

// bytes[from, to) quoted: it opens in single quotes, as coreutils' quoting
// does, so that a name that starts with an escaped byte starts with ''.
void putQuoted(Shown& shown, const Byte* bytes, std::size_t from, std::size_t to) {
  enum class Run { none, quoted, escaped } run = Run::quoted;
  shown.put('\'');
  for (std::size_t at = from; at < to;) {
    std::size_t length = printableLength(bytes + at, to - at);
    if (length == 0) {
      if (run == Run::quoted) shown.put('\'');
      if (run != Run::escaped) shown.put("$'");
      putEscaped(shown, bytes[at++]);
      run = Run::escaped;
    } else if (bytes[at] == '\'') {
      if (run != Run::none) shown.put('\'');
      shown.put("\\'");
      ++at;
      run = Run::none;
    } else {
      if (run == Run::escaped) shown.put('\'');
      if (run != Run::quoted) shown.put('\'');
      for (; length > 0; --length) shown.put(static_cast<char>(bytes[at++]));
      run = Run::quoted;
    }
  }
  if (run != Run::none) shown.put('\'');
}

void putPart(Shown& shown, const Byte* bytes, std::size_t from, std::size_t to, bool quoted) {
  if (quoted) {
    putQuoted(shown, bytes, from, to);
  } else {
    for (std::size_t at = from; at < to; ++at) shown.put(static_cast<char>(bytes[at]));
  }
}

// `position` moved back to the start of the UTF-8 sequence it lies in (by at
// most three bytes: a longer run of continuation bytes is no sequence).
std::size_t characterStart(const Byte* bytes, std::size_t position) {
  constexpr std::size_t longestBack = 3;
  for (std::size_t back = 0; back < longestBack && position > 0 && isContinuation(bytes[position]);
       ++back) {
    --position;
  }
  return position;
}

}  // namespace

std::uint32_t showName(const char* name, char* text, std::uint32_t capacity) {
  const auto* bytes = reinterpret_cast<const Byte*>(name);
  const std::size_t size = std::strlen(name);
  // The empty name too is quoted, so that it shows as ''.
  const bool quoted = size == 0 || !allPrintable(bytes, 0, size);
  Shown whole{text, capacity};
  putPart(whole, bytes, 0, size, quoted);
  if (whole.length <= capacity) return whole.length;

  // Too long: as many of the first and the last characters as leave room for
  // the elision between them, a quarter fewer at each try.
  static constexpr char elision[] = "...";
  constexpr std::size_t elisionLength = sizeof elision - 1;
  const std::size_t shownBytes = size < capacity ? size : capacity;
  std::size_t keep = shownBytes > elisionLength ? (shownBytes - elisionLength) / 2 : 0;
  for (;; keep -= (keep + 3) / 4) {
    const std::size_t headEnd = characterStart(bytes, keep);
    const std::size_t tailStart = characterStart(bytes, size - keep);
    Shown shortened{text, capacity};
    putPart(shortened, bytes, 0, headEnd, quoted);
    shortened.put(elision);
    putPart(shortened, bytes, tailStart < headEnd ? headEnd : tailStart, size, quoted);
    if (shortened.length <= capacity || keep == 0) {
      return shortened.length < capacity ? shortened.length : capacity;
    }
  }
}
