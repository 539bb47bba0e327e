#include "library/record_call.h"

#include "runtime/runtime.h"
#include "runtime/runtime_internal.h"
#include "solver/batch_record.h"
#include "textio/record_input.h"
#include "textio/text_stream_internal.h"

namespace library {

namespace {

// The end of the caller's bytes is the end of the data: the record's source
// delivers them in one read and nothing after.
std::uint32_t endOfData(TextStream& stream) {
  stream.bufPtr = stream.buffer;
  stream.bufPos = 0;
  stream.bufEnd = 0;
  return 0;
}

// An answer never fills the line area (answerAreaSize); were it to, the
// bytes would be dropped rather than written past the area.
std::uint32_t dropHeldBytes(TextStream& stream) {
  stream.bufPos = 0;
  return 0;
}

// ConsoleOut, where the record writes its line, over `answer`'s bytes. The
// stream is reached once: each reach of a per-thread variable costs a lookup.
void writeInto(AnswerLine& answer) {
  setOutputSlots(ConsoleOut, answer.bytes, answerAreaSize, dropHeldBytes);
}

}  // namespace

void beginCall() {
  defaultFpuControl = defaultFpuControlAtLoad;
  beginRuntimeRecord();
}

void readFrom(TextStream& stream, const std::uint8_t* bytes, std::uint32_t length) {
  setInputSlots(stream, endOfData, noOperation);
  // An input stream only reads its buffer: the caller's bytes stay as they are.
  stream.bufPtr = const_cast<std::uint8_t*>(bytes);
  stream.bufSize = length;
  stream.bufEnd = length;
}

std::uint8_t answerLine(const std::uint8_t* bytes, std::uint32_t length, AnswerLine& answer) {
  defaultFpuControl = defaultFpuControlAtLoad;
  writeInto(answer);
  TextStream source;
  readFrom(source, bytes, length);
  useRecordSource(source);
  std::uint8_t code = 0;
  if (startInputRecord()) {
    answerRecord(RecordIn);
    finishInputRecord();
    code = recordErrorCode();
  } else {
    // No byte at all: the batch program has no record there, but a caller
    // that asks for the answer of an empty line gets what it writes for an
    // empty record, which is the one of a line feed alone.
    static constexpr std::uint8_t lineFeed[] = {'\n'};
    return answerLine(lineFeed, 1, answer);
  }
  answer.length = ConsoleOut.bufPos;
  return code;
}

}  // namespace library
