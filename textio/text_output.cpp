// Text output: appending bytes, spaces and line ends, and writing the buffer
// out.

#include <cstring>

#include "platform/platform.h"
#include "textio/text_stream_internal.h"

namespace {

constexpr std::uint8_t spaceByte = 32;
constexpr std::int32_t spaceRunLength = 64;

struct SpaceRun {
  std::uint8_t bytes[spaceRunLength];
  constexpr SpaceRun() : bytes{} {
    for (std::uint8_t& byte : bytes) byte = spaceByte;
  }
};
constexpr SpaceRun spaceRun;

constexpr std::uint8_t carriageReturn = 13;
constexpr std::uint8_t lineFeed = 10;
constexpr std::uint8_t crLf[] = {carriageReturn, lineFeed};

}  // namespace

std::uint32_t writeOutBuffer(TextStream& stream) {
  if (stream.bufPos == 0) return 0;
  const bool written = platform::writeFile(stream.handle, stream.bufPtr, stream.bufPos);
  // Whether or not the write succeeded, the held bytes are gone: a failed
  // write is reported, not repeated.
  stream.bufPos = 0;
  return written ? 0 : platform::lastError();
}

std::uint32_t writeOutWholeLines(TextStream& stream) {
  std::uint32_t lineEnd = stream.bufPos;
  while (lineEnd > 0 && stream.bufPtr[lineEnd - 1] != lineFeed) --lineEnd;
  if (lineEnd == 0) {
    // No line has ended. A line that fills the whole buffer cannot be held
    // whole: it goes out as it is, rather than never.
    if (stream.bufPos < stream.bufSize) return 0;
    lineEnd = stream.bufPos;
  }
  const bool written = platform::writeFile(stream.handle, stream.bufPtr, lineEnd);
  if (!written) {
    stream.bufPos = 0;
    return platform::lastError();
  }
  const std::uint32_t rest = stream.bufPos - lineEnd;
  if (rest > 0) std::memmove(stream.bufPtr, stream.bufPtr + lineEnd, rest);
  stream.bufPos = rest;
  return 0;
}

void writeWholeLinesOnly(TextStream& stream) {
  if (!isBoundForOutput(stream)) return;
  stream.transferOp = writeOutWholeLines;
  if (stream.flushOp == writeOutBuffer) stream.flushOp = writeOutWholeLines;
}

TextStream& writeBytes(TextStream& stream, const void* bytes, std::uint32_t count) {
  if (stream.mode != modeOutput && !ensureOutput(stream)) return stream;

  const auto* next = static_cast<const std::uint8_t*>(bytes);
  for (;;) {
    const std::uint32_t room = stream.bufSize - stream.bufPos;
    if (room > count) {
      if (count > 0) std::memcpy(stream.bufPtr + stream.bufPos, next, count);
      stream.bufPos += count;
      return stream;
    }
    // Fill the buffer and write it out; it is never left full here.
    if (room > 0) std::memcpy(stream.bufPtr + stream.bufPos, next, room);
    stream.bufPos += room;
    next += room;
    count -= room;
    const std::uint32_t code = stream.transferOp(stream);
    if (code != 0) {
      setPendingIoError(code);
      return stream;
    }
  }
}

TextStream& writeSpaces(TextStream& stream, std::int32_t count) {
  while (count > spaceRunLength) {
    writeBytes(stream, spaceRun.bytes, spaceRunLength);
    count -= spaceRunLength;
    if (pendingIoError != 0) return stream;
  }
  if (count > 0) writeBytes(stream, spaceRun.bytes, static_cast<std::uint32_t>(count));
  return stream;
}

namespace {

// writeChar for a stream not yet writing or a full buffer.
[[gnu::noinline]] TextStream& writeCharOtherwise(TextStream& stream, std::uint8_t byte) {
  if (stream.mode != modeOutput && !ensureOutput(stream)) return stream;
  if (stream.bufPos >= stream.bufSize) {
    const std::uint32_t code = stream.transferOp(stream);
    if (code != 0) {
      setPendingIoError(code);
      return stream;
    }
  }
  // This may fill the last place; the next write writes the buffer out first.
  stream.bufPtr[stream.bufPos] = byte;
  stream.bufPos += 1;
  return stream;
}

}  // namespace

TextStream& writeChar(TextStream& stream, std::uint8_t byte) {
  // A writing stream with room, the usual case, without a call.
  if (stream.mode == modeOutput && stream.bufPos < stream.bufSize) {
    stream.bufPtr[stream.bufPos] = byte;
    stream.bufPos += 1;
    return stream;
  }
  return writeCharOtherwise(stream, byte);
}

TextStream& writeLine(TextStream& stream) {
  if (stream.mode == modeOutput || ensureOutput(stream)) {
    const bool crLfEnd = (stream.flags & crLfStyle) != 0;
    const std::uint32_t count = crLfEnd ? sizeof crLf : 1;
    if (stream.bufSize - stream.bufPos > count) {
      // Room to spare, the usual case: the bytes go in here, as writeBytes
      // would put them, without its loop and copy.
      std::uint8_t* const at = stream.bufPtr + stream.bufPos;
      at[count - 1] = lineFeed;
      if (crLfEnd) at[0] = carriageReturn;
      stream.bufPos += count;
    } else {
      writeBytes(stream, crLfEnd ? crLf : &lineFeed, count);
    }
  }
  flushStream(stream);
  return stream;
}
