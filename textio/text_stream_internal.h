// Inside the text layer: the binding of the standard streams and the
// implementations of the operation slots, shared by text_stream.cpp,
// text_input.cpp and text_output.cpp.
#pragma once

#include <cstdint>

#include "textio/text_stream.h"

// The line style every standard stream takes when it is bound.
extern const std::uint8_t defaultLineStyle;

// Binding and the operation slots. Each returns 0 or the code it also stored:
// openStream 102 for a record that was never initialised, or the binding's
// code; bindStandardHandle the operating system's code of a failed handle
// lookup, or 105 for an unusable output handle; refillBuffer and writeOutBuffer
// the operating system's code of a failed read or write (a broken pipe on
// input is the end of the data, not a failure), refillBuffer 104 for a handle
// that is not open, which it leaves unbound (the one case in which a failed
// read leaves the mode other than modeInput); ensureInput stores 104 and
// ensureOutput 105 when the stream is not ready afterwards.
std::uint32_t openStream(TextStream& stream, std::uint16_t mode);
// Makes `stream` an open input stream, empty, with its own buffer, the
// standard streams' line style and these transfer and close slots.
void setInputSlots(TextStream& stream, StreamOperation transfer, StreamOperation close);
// Makes `stream` an open output stream, empty, over `size` bytes at `bytes`
// (which must outlive its use), with the standard streams' line style, this
// transfer slot and no flush or close work.
void setOutputSlots(TextStream& stream, std::uint8_t* bytes, std::uint32_t size,
                    StreamOperation transfer);
std::uint32_t bindStandardHandle(TextStream& stream);
std::uint32_t refillBuffer(TextStream& stream);
std::uint32_t writeOutBuffer(TextStream& stream);
// Writes out the held bytes up to and including the last line feed (all of
// them when no line has ended in a full buffer); the bytes of the line not yet
// ended move to the front of the buffer and stay held. 0, or the operating
// system's code of a failed write, which drops every held byte.
std::uint32_t writeOutWholeLines(TextStream& stream);
std::uint32_t noOperation(TextStream& stream);
bool ensureInput(TextStream& stream);
bool ensureOutput(TextStream& stream);
