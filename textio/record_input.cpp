#include "textio/record_input.h"

#include "platform/platform.h"
#include "textio/text_stream_internal.h"

TextStream RecordIn;

namespace {

constexpr std::uint8_t lineFeed = 10;
constexpr std::uint32_t inputBlockSize = 64 * 1024;

// Standard input, read a block at a time. Zero at load, as all of the
// program's writable data.
struct InputBlocks {
  bool bound;  // handle is standard input's
  platform::Handle handle;
  bool ended;  // a read delivered nothing: the end of the data
  std::uint32_t position;
  std::uint32_t end;
};
InputBlocks input;
std::uint8_t inputBytes[inputBlockSize];

// A record is open: its line feed has not been delivered yet, nor the end of
// the data met.
bool recordOpen;

// Reads the next block. 0, or the failure's code; a writer that has gone is
// the end of the data.
std::uint32_t readBlock() {
  input.position = 0;
  if (const std::uint32_t code = readInput(input.handle, inputBytes, inputBlockSize, input.end);
      code != 0) {
    return code;
  }
  input.ended = input.end == 0;
  return 0;
}

// RecordIn's transfer: the next piece of the record straight from the block
// (up to and including its line feed, or to the block's end), or nothing once
// the record has ended. The stream's own buffer is in use whenever nothing is
// delivered, so that the end-of-input mark goes there and not into the block.
std::uint32_t nextPiece(TextStream& stream) {
  stream.bufPos = 0;
  stream.bufEnd = 0;
  stream.bufPtr = stream.buffer;
  if (!recordOpen) return 0;
  if (input.position == input.end) {
    if (!input.ended) {
      if (const std::uint32_t code = readBlock(); code != 0) return code;
    }
    if (input.ended) {
      recordOpen = false;
      return 0;
    }
  }
  std::uint32_t last = input.position;
  while (last < input.end && inputBytes[last] != lineFeed) ++last;
  if (last < input.end) {
    ++last;
    recordOpen = false;
  }
  stream.bufPtr = inputBytes + input.position;
  stream.bufEnd = last - input.position;
  input.position = last;
  return 0;
}

}  // namespace

bool startRecord() {
  if (!input.bound) {
    input.handle = platform::standardHandle(platform::StandardHandle::input);
    if (input.handle == platform::invalidHandle) {
      setPendingIoError(ioNotOpenForInput);
      return false;
    }
    input.bound = true;
  }
  if (input.position == input.end && !input.ended) {
    if (const std::uint32_t code = readBlock(); code != 0) {
      setPendingIoError(code);
      return false;
    }
  }
  if (input.position == input.end) return false;

  RecordIn.mode = modeInput;
  RecordIn.flags = defaultLineStyle;
  RecordIn.bufSize = streamBufferSize;
  RecordIn.bufPtr = RecordIn.buffer;
  RecordIn.bufPos = 0;
  RecordIn.bufEnd = 0;
  RecordIn.openOp = noOperation;
  RecordIn.transferOp = nextPiece;
  RecordIn.flushOp = noOperation;
  RecordIn.closeOp = noOperation;
  recordOpen = true;
  return true;
}

std::uint32_t finishRecord() {
  while (recordOpen) {
    if (const std::uint32_t code = nextPiece(RecordIn); code != 0) {
      setPendingIoError(code);
      return code;
    }
  }
  return 0;
}
