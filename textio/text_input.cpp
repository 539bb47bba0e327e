// Text input: filling the buffer, and delivering bytes, blanks and lines.

#include "platform/platform.h"
#include "textio/text_stream_internal.h"

namespace {

// Ctrl-Z: with crLfStyle the end of the input. It is never consumed, so once
// it is in the buffer every later read reports the end from there.
constexpr std::uint8_t endOfInputByte = 26;
constexpr std::uint8_t lineFeed = 10;
// Bytes up to this value are blanks.
constexpr std::uint8_t lastBlank = 32;

constexpr StreamByte endOfInput = {endOfInputByte, true};

}  // namespace

std::uint32_t refillBuffer(TextStream& stream) {
  stream.bufPos = 0;
  stream.bufEnd = 0;
  if (platform::readFile(stream.handle, stream.bufPtr, stream.bufSize, stream.bufEnd)) return 0;
  stream.bufEnd = 0;
  const std::uint32_t code = platform::lastError();
  // The writer has gone: that is where the input ends.
  if (platform::isBrokenPipe(code)) return 0;
  // Started without standard input: the stream is not open for input, and
  // unbound again, as a binding that failed leaves it, so that its next use
  // binds it anew. Told by the handle, not by the code: a system's own code
  // may be 104 too (ECONNRESET on Linux).
  if (platform::isClosedHandle(stream.handle, code)) {
    stream.mode = modeClosed;
    return ioNotOpenForInput;
  }
  return code;
}

StreamByte readChar(TextStream& stream) {
  if (stream.mode != modeInput && !ensureInput(stream)) return endOfInput;

  if (stream.bufPos >= stream.bufEnd) {
    const std::uint32_t code = stream.transferOp(stream);
    if (code != 0) {
      // The buffer stays empty, so the next call reads again.
      setPendingIoError(code);
      return endOfInput;
    }
    if (stream.bufPos >= stream.bufEnd) {
      // End of the data. Mark it in the buffer so that no later call reads
      // again: a terminal would otherwise wait for more input.
      if ((stream.flags & crLfStyle) != 0) {
        stream.bufPtr[stream.bufPos] = endOfInputByte;
        stream.bufEnd += 1;
      }
      return endOfInput;
    }
  }

  const std::uint8_t byte = stream.bufPtr[stream.bufPos];
  if ((stream.flags & crLfStyle) != 0 && byte == endOfInputByte) return endOfInput;
  stream.bufPos += 1;
  return {byte, false};
}

void unreadChar(TextStream& stream) {
  // Only valid right after a delivered byte, which leaves bufPos at least 1;
  // the guard keeps a misplaced call from wrapping the index round.
  if (stream.bufPos > 0) stream.bufPos -= 1;
}

bool skipBlanks(TextStream& stream) {
  for (;;) {
    const StreamByte next = readChar(stream);
    if (next.endOfInput) return true;
    if (next.value > lastBlank) {
      unreadChar(stream);
      return false;
    }
  }
}

void readLine(TextStream& stream) {
  for (;;) {
    const StreamByte next = readChar(stream);
    if (next.endOfInput || next.value == lineFeed) return;
  }
}
