// The stream records and their binding: the three standard streams, the
// calling thread's pending I/O code, opening, flushing and closing.
//
// Input and output themselves are in text_input.cpp and text_output.cpp.

#include "platform/platform.h"
#include "platform/program_state.h"
#include "textio/text_stream_internal.h"

// Zero-filled at load; start-up marks them closed before any other use.
PROGRAM_STATE TextStream ConsoleIn;
PROGRAM_STATE TextStream ConsoleOut;
PROGRAM_STATE TextStream ConsoleErr;

const std::uint8_t defaultLineStyle = crLfStyle;

PROGRAM_STATE std::uint32_t pendingIoError = 0;

void setPendingIoError(std::uint32_t code) {
  pendingIoError = code;
}

namespace {

bool isInitialised(std::uint16_t mode) {
  return mode >= modeClosed && mode <= modeInOut;
}

bool isOpen(std::uint16_t mode) {
  return mode == modeInput || mode == modeOutput || mode == modeInOut;
}

// modeOutput or modeInOut.
bool isOutputMode(std::uint16_t mode) {
  return isOpen(mode) && (mode & modeOutput) == modeOutput;
}

bool isStandardOutput(const TextStream& stream) {
  return &stream == &ConsoleOut || &stream == &ConsoleErr;
}

}  // namespace

std::uint32_t noOperation(TextStream&) {
  return 0;
}

std::uint32_t openStream(TextStream& stream, std::uint16_t mode) {
  if (!isInitialised(stream.mode)) {
    setPendingIoError(ioRecordNotInitialised);
    return ioRecordNotInitialised;
  }
  if (stream.mode != modeClosed) closeStream(stream);
  stream.mode = mode;
  if (stream.name[0] == '\0' && stream.openOp == nullptr) stream.openOp = bindStandardHandle;

  // A named stream with no way to open it: nothing in this program opens
  // files by name, so it stays closed.
  std::uint32_t code = ioStreamNotOpen;
  if (stream.openOp != nullptr) {
    code = stream.openOp(stream);
  } else {
    stream.mode = modeClosed;
  }
  if (code != 0) setPendingIoError(code);
  return code;
}

namespace {

// An open stream in `mode`, empty, over `size` bytes at `bytes`, with the
// standard streams' line style and these transfer and close slots.
inline void setSlots(TextStream& stream, std::uint16_t mode, std::uint8_t* bytes,
                     std::uint32_t size, StreamOperation transfer, StreamOperation close) {
  stream.mode = mode;
  stream.flags = defaultLineStyle;
  stream.bufSize = size;
  stream.bufPtr = bytes;
  stream.bufPos = 0;
  stream.bufEnd = 0;
  stream.openOp = noOperation;
  stream.transferOp = transfer;
  stream.flushOp = noOperation;
  stream.closeOp = close;
}

}  // namespace

void setInputSlots(TextStream& stream, StreamOperation transfer, StreamOperation close) {
  setSlots(stream, modeInput, stream.buffer, streamBufferSize, transfer, close);
}

void setOutputSlots(TextStream& stream, std::uint8_t* bytes, std::uint32_t size,
                    StreamOperation transfer) {
  setSlots(stream, modeOutput, bytes, size, transfer, noOperation);
}

std::uint32_t bindStandardHandle(TextStream& stream) {
  stream.bufPos = 0;
  stream.bufEnd = 0;

  platform::StandardHandle which;
  if (stream.mode == modeInput) {
    stream.transferOp = refillBuffer;
    which = platform::StandardHandle::input;
  } else if (stream.mode == modeOutput) {
    stream.transferOp = writeOutBuffer;
    which =
        &stream == &ConsoleErr ? platform::StandardHandle::error : platform::StandardHandle::output;
  } else {
    // A standard handle is bound for reading or for writing, never both.
    stream.mode = modeClosed;
    return ioStreamNotOpen;
  }
  stream.flushOp = noOperation;
  stream.closeOp = noOperation;
  stream.bufSize = streamBufferSize;
  stream.bufPtr = stream.buffer;

  const platform::Handle handle = platform::standardHandle(which);
  if (handle == platform::invalidHandle) {
    stream.mode = modeClosed;
    return platform::lastError();
  }
  stream.handle = handle;

  // Input handles are read alike whatever their kind.
  if (stream.mode == modeInput) return 0;

  switch (platform::fileType(handle)) {
    case platform::FileType::unknown:
      platform::releaseHandle(handle);
      stream.mode = modeClosed;
      return ioNotOpenForOutput;
    case platform::FileType::character:
      // A console shows each line as soon as it ends.
      stream.flushOp = writeOutBuffer;
      return 0;
    default:
      // Files and pipes get whole blocks, and the rest at shutdown.
      return 0;
  }
}

bool ensureInput(TextStream& stream) {
  if (&stream == &ConsoleIn) {
    stream.flags = defaultLineStyle;
    openStream(stream, modeInput);
  }
  if (stream.mode == modeInput) return true;
  setPendingIoError(ioNotOpenForInput);
  return false;
}

bool ensureOutput(TextStream& stream) {
  if (isStandardOutput(stream)) {
    stream.flags = defaultLineStyle;
    openStream(stream, modeOutput);
  }
  if (stream.mode == modeOutput) return true;
  setPendingIoError(ioNotOpenForOutput);
  return false;
}

std::uint32_t flushStream(TextStream& stream) {
  if (stream.mode == modeInput) return 0;
  if (isOutputMode(stream.mode)) {
    const std::uint32_t code = stream.flushOp(stream);
    if (code != 0) setPendingIoError(code);
    return code;
  }
  // Not open. A standard output stream whose binding failed keeps the code
  // of that failure pending.
  if (isStandardOutput(stream)) return 0;
  setPendingIoError(ioStreamNotOpen);
  return ioStreamNotOpen;
}

std::uint32_t closeStream(TextStream& stream) {
  if (isOpen(stream.mode)) {
    std::uint32_t code = 0;
    if (isOutputMode(stream.mode)) code = stream.transferOp(stream);
    if (code == 0) code = stream.closeOp(stream);
    if (code != 0) setPendingIoError(code);
    // The stream stays bound: its handle is the process's, not ours to close.
    return code;
  }
  if (&stream == &ConsoleIn) return 0;
  setPendingIoError(ioStreamNotOpen);
  return ioStreamNotOpen;
}

std::uint32_t setStreamBuffer(TextStream& stream, std::uint16_t mode, std::uint8_t* bytes,
                              std::uint32_t size) {
  const bool ready = mode == modeInput ? stream.mode == modeInput || ensureInput(stream)
                                       : stream.mode == modeOutput || ensureOutput(stream);
  if (!ready) return pendingIoError;
  std::uint32_t code = 0;
  if (mode == modeOutput && stream.bufPos > 0) {
    code = stream.transferOp(stream);
    if (code != 0) setPendingIoError(code);
  }
  stream.bufPtr = bytes;
  stream.bufSize = size;
  return code;
}

namespace {

// The close slot of a file stream: the file is the program's own.
std::uint32_t closeFileHandle(TextStream& stream) {
  platform::closeFile(stream.handle);
  stream.mode = modeClosed;
  return 0;
}

}  // namespace

std::uint32_t openFileInput(TextStream& stream, const char* name) {
  if (isOpen(stream.mode)) closeStream(stream);
  stream.mode = modeClosed;
  const platform::Handle handle = platform::openFileForReading(name);
  if (handle == platform::invalidHandle) {
    const std::uint32_t code = platform::lastError();
    setPendingIoError(code);
    return code;
  }
  stream.handle = handle;
  setInputSlots(stream, refillBuffer, closeFileHandle);
  return 0;
}

void markStandardStreamsClosed() {
  ConsoleIn.mode = modeClosed;
  ConsoleOut.mode = modeClosed;
  ConsoleErr.mode = modeClosed;
}

std::uint32_t closeStandardStreams() {
  closeStream(ConsoleIn);
  const std::uint32_t outputResult = closeStream(ConsoleOut);
  closeStream(ConsoleErr);
  return outputResult;
}

bool isBoundForOutput(const TextStream& stream) {
  return isOutputMode(stream.mode);
}

void writeOutHeldBytes(TextStream& stream) {
  if (stream.mode == modeOutput && stream.bufPos > 0) stream.transferOp(stream);
}
