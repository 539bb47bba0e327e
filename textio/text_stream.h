// Buffered text streams over the standard handles: the byte layer under all
// text input and output of the program.
//
// A TextStream is a plain record with four operation slots. The three standard
// streams are static records over static 128-byte buffers; start-up marks them
// closed and the first read or write binds them to their standard handle.
// No operation returns a failure to its caller: the code is stored with
// setPendingIoError() and the operation goes on with a neutral result (end of
// input, bytes dropped). The run-time's ioCheck() turns a pending code into a
// run-time error.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "platform/program_state.h"

// Stream modes.
enum StreamMode : std::uint16_t {
  modeClosed = 0xD7B0,
  modeInput = 0xD7B1,
  modeOutput = 0xD7B2,
  modeInOut = 0xD7B3,
};

// Bit 0 of `flags`: lines end in CR LF, and byte 26 in the input ends it.
inline constexpr std::uint16_t crLfStyle = 0x0001;

inline constexpr std::uint32_t streamBufferSize = 128;
inline constexpr int streamNameSize = 260;

// I/O codes of the text layer (besides the operating system's own).
enum IoErrorCode : std::uint32_t {
  ioRecordNotInitialised = 102,  // mode outside modeClosed..modeInOut
  ioStreamNotOpen = 103,
  ioNotOpenForInput = 104,
  ioNotOpenForOutput = 105,
  ioMalformedNumber = 106,  // stored by readReal
};

struct TextStream;
// An operation slot: takes the stream, returns 0 or an error code.
using StreamOperation = std::uint32_t (*)(TextStream& stream);

struct TextStream {
  platform::Handle handle;
  std::uint16_t mode;
  std::uint16_t flags;
  std::uint32_t bufSize;
  std::uint32_t bufPos;  // input: next byte to deliver; output: bytes held
  std::uint32_t bufEnd;  // input: valid bytes in the buffer
  std::uint8_t* bufPtr;
  StreamOperation openOp;
  StreamOperation transferOp;
  StreamOperation flushOp;
  StreamOperation closeOp;
  char name[streamNameSize];
  std::uint8_t buffer[streamBufferSize];
};

extern PROGRAM_STATE TextStream ConsoleIn;
extern PROGRAM_STATE TextStream ConsoleOut;
extern PROGRAM_STATE TextStream ConsoleErr;

// The I/O code: 0 at start, overwritten by every failure, never cleared by
// the text layer. Process-wide: the program starts no thread, and a
// per-thread variable would need a thread pointer set up at start-up.
extern PROGRAM_STATE std::uint32_t pendingIoError;
void setPendingIoError(std::uint32_t code);

// Input. End of input is reported as byte 26 with endOfInput true.
struct StreamByte {
  std::uint8_t value;
  bool endOfInput;
};
StreamByte readChar(TextStream& stream);
// Only directly after readChar delivered a byte.
void unreadChar(TextStream& stream);
// Consumes bytes 0..32; true at end of input.
bool skipBlanks(TextStream& stream);
// Consumes up to and including the next LF, or to the end of input.
void readLine(TextStream& stream);

// Output. Each returns the stream, for chaining the writes of one statement.
TextStream& writeBytes(TextStream& stream, const void* bytes, std::uint32_t count);
TextStream& writeSpaces(TextStream& stream, std::int32_t count);
TextStream& writeChar(TextStream& stream, std::uint8_t byte);
TextStream& writeLine(TextStream& stream);
// flushStream runs flushOp of an output stream (stores its code); on a stream
// that is not open it stores 103, except for ConsoleOut and ConsoleErr.
std::uint32_t flushStream(TextStream& stream);
// closeStream writes out what an output stream holds, then runs closeOp, and
// stores a failure's code; on a stream that is not open it stores 103, except
// for ConsoleIn. The stream stays bound.
std::uint32_t closeStream(TextStream& stream);

// Gives a stream a buffer of the caller's in place of its own 128 bytes:
// `size` bytes at `bytes` (at least 2), which must outlive the stream's use.
// A standard stream is first bound for `mode` (modeInput or modeOutput) as
// its first read or write would bind it; output that the stream holds is
// written out first. An input stream must not hold unread bytes, which the
// new buffer would lose. Output to a terminal still goes out at each line's
// end. Returns 0, or the code of a failed binding or write, which it also
// stores; after a failed binding the stream keeps its own buffer.
std::uint32_t setStreamBuffer(TextStream& stream, std::uint16_t mode, std::uint8_t* bytes,
                              std::uint32_t size);

// Binds `stream`, which must not be a standard stream, to the file `name`
// opened for reading, with its own buffer and the standard streams' line
// style; closing the stream closes the file and leaves the stream closed.
// Returns 0, or the operating system's code of the failed open, which it also
// stores; the stream is then closed.
std::uint32_t openFileInput(TextStream& stream, const char* name);

// Start-up step: marks ConsoleIn, ConsoleOut and ConsoleErr closed, so that
// each is bound to its standard handle on first use.
void markStandardStreamsClosed();
// Shutdown step: closes ConsoleIn, ConsoleOut and ConsoleErr in that order and
// returns ConsoleOut's closeStream result.
std::uint32_t closeStandardStreams();
// True when the stream is bound for output (modeOutput or modeInOut).
bool isBoundForOutput(const TextStream& stream);
// Makes a stream that is bound for output write out whole lines only: every
// block it writes ends at a line feed, and the bytes of a line not yet ended
// stay held, also when the stream is closed or writeOutHeldBytes runs (so a
// program that ends in the middle of a line leaves no part of it). A line
// longer than the buffer goes out in pieces. Give the stream its buffer first.
// Does nothing to a stream that is not bound for output.
void writeWholeLinesOnly(TextStream& stream);
// Writes out what a stream in modeOutput holds, through its transfer slot,
// without storing or returning a failure: for the run-time error message,
// which must follow the program's own output.
void writeOutHeldBytes(TextStream& stream);
