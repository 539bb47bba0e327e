#include "textio/record_input.h"

#include <bit>
#include <cstring>

#include "platform/program_state.h"
#include "textio/text_stream_internal.h"

PROGRAM_STATE TextStream RecordIn;

namespace {

constexpr std::uint8_t lineFeed = 10;

// The line-feed scan's word: eight bytes at a time, each compared at once.
using ScanWord = std::uint64_t;
constexpr std::uint32_t scanWordBytes = sizeof(ScanWord);
constexpr ScanWord everyByteOne = 0x0101010101010101u;
constexpr ScanWord everyByteTop = 0x8080808080808080u;
constexpr ScanWord everyByteLineFeed = everyByteOne * lineFeed;

// The bytes of a word that may be line feeds, each marked by its top bit. A
// word without a line feed gives none; in one with line feeds the lowest mark
// is the first of them in value order (a borrow only marks bytes above a
// line feed too, never one below it).
inline ScanWord lineFeedMarks(ScanWord word) {
  const ScanWord zeroWhereLineFeed = word ^ everyByteLineFeed;
  return (zeroWhereLineFeed - everyByteOne) & ~zeroWhereLineFeed & everyByteTop;
}

// The position of the first line feed in bytes[from, end), or `end`. Whole
// words are read only while they lie inside the range, the rest byte by byte.
std::uint32_t findLineFeed(const std::uint8_t* bytes, std::uint32_t from, std::uint32_t end) {
  constexpr std::uint32_t bitsPerByte = 8;
  std::uint32_t position = from;
  while (end - position >= scanWordBytes) {
    ScanWord word;
    std::memcpy(&word, bytes + position, scanWordBytes);
    if (const ScanWord marks = lineFeedMarks(word); marks != 0) {
      // Where the first byte in memory is the lowest in value, the lowest
      // mark is the first line feed; elsewhere the bytes are looked at.
      if constexpr (std::endian::native == std::endian::little) {
        return position + static_cast<std::uint32_t>(std::countr_zero(marks)) / bitsPerByte;
      }
      break;
    }
    position += scanWordBytes;
  }
  while (position < end && bytes[position] != lineFeed) ++position;
  return position;
}

// Where the records come from. Zero at load, as all of the program's
// writable data.
struct RecordSource {
  TextStream* stream;
  bool ended;             // a read delivered nothing: the end of the data
  std::uint32_t failure;  // the code of a failed read of an open source
};
PROGRAM_STATE RecordSource source;

// A record is open: its line feed has not been delivered yet, nor the end of
// the data met.
PROGRAM_STATE bool recordOpen;

// Refills the source's buffer. 0, or the failure's code.
std::uint32_t refillSource() {
  TextStream& stream = *source.stream;
  if (const std::uint32_t code = stream.transferOp(stream); code != 0) {
    // A source found not open (left unbound) has had no read that failed.
    if (stream.mode == modeInput) source.failure = code;
    return code;
  }
  source.ended = stream.bufEnd == 0;
  return 0;
}

// RecordIn's transfer: the next piece of the record straight from the
// source's buffer (up to and including its line feed, or to the buffer's
// end), or nothing once the record has ended. RecordIn's own buffer is in use
// whenever nothing is delivered, so that the end-of-input mark goes there and
// not into the source's.
std::uint32_t nextPiece(TextStream& stream) {
  stream.bufPos = 0;
  stream.bufEnd = 0;
  stream.bufPtr = stream.buffer;
  if (!recordOpen) return 0;
  TextStream& from = *source.stream;
  if (from.bufPos == from.bufEnd) {
    if (!source.ended) {
      if (const std::uint32_t code = refillSource(); code != 0) return code;
    }
    if (source.ended) {
      recordOpen = false;
      return 0;
    }
  }
  const std::uint8_t* const bytes = from.bufPtr;
  std::uint32_t last = findLineFeed(bytes, from.bufPos, from.bufEnd);
  if (last < from.bufEnd) {
    ++last;
    recordOpen = false;
  }
  stream.bufPtr = from.bufPtr + from.bufPos;
  stream.bufEnd = last - from.bufPos;
  from.bufPos = last;
  return 0;
}

// Reads more of the source after the one byte that its first read delivered:
// the next read goes in after it, as the rest of the same block. 0, or the
// failure's code.
std::uint32_t extendFirstRead() {
  TextStream& stream = *source.stream;
  stream.bufPtr += 1;
  stream.bufSize -= 1;
  const std::uint32_t code = refillSource();
  stream.bufPtr -= 1;
  stream.bufSize += 1;
  stream.bufEnd = code == 0 ? stream.bufEnd + 1 : 0;
  stream.bufPos = 0;
  return code;
}

}  // namespace

SourceText sourceText() {
  constexpr std::uint8_t littleEndianMark[] = {0xFF, 0xFE};
  constexpr std::uint8_t bigEndianMark[] = {0xFE, 0xFF};
  TextStream& from = *source.stream;
  std::uint32_t code = 0;
  if (from.bufPos == from.bufEnd && !source.ended) code = refillSource();
  // A pipe's writer may have written the mark's first byte alone.
  const std::uint8_t* bytes = from.bufPtr + from.bufPos;
  if (code == 0 && from.bufPos == 0 && from.bufEnd == 1 && !source.ended &&
      (bytes[0] == littleEndianMark[0] || bytes[0] == bigEndianMark[0])) {
    code = extendFirstRead();
    bytes = from.bufPtr + from.bufPos;
  }
  if (code != 0) {
    setPendingIoError(code);
    return SourceText::bytes;
  }
  if (from.bufEnd - from.bufPos < sizeof littleEndianMark) return SourceText::bytes;
  if (std::memcmp(bytes, littleEndianMark, sizeof littleEndianMark) == 0) {
    return SourceText::utf16LittleEndian;
  }
  if (std::memcmp(bytes, bigEndianMark, sizeof bigEndianMark) == 0) {
    return SourceText::utf16BigEndian;
  }
  return SourceText::bytes;
}

void useRecordSource(TextStream& stream) {
  source.stream = &stream;
  source.ended = false;
  source.failure = 0;
  recordOpen = false;
}

bool startInputRecord() {
  TextStream& from = *source.stream;
  if (from.bufPos == from.bufEnd && !source.ended) {
    if (const std::uint32_t code = refillSource(); code != 0) {
      setPendingIoError(code);
      return false;
    }
  }
  if (from.bufPos == from.bufEnd) return false;

  setInputSlots(RecordIn, nextPiece, noOperation);
  recordOpen = true;
  return true;
}

std::uint32_t finishInputRecord() {
  while (recordOpen) {
    if (const std::uint32_t code = nextPiece(RecordIn); code != 0) {
      setPendingIoError(code);
      return code;
    }
  }
  return 0;
}

std::uint32_t recordSourceFailure() {
  return source.failure;
}
