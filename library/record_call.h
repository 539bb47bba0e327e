// Inside the library: one record of the batch program answered in memory, and
// the set-up that every entry point makes before it runs the shared code.
#pragma once

#include <cstdint>

#include "extended/extended.h"
#include "textio/text_stream.h"

namespace library {

// The longest answer line, CR LF included (QS_ANSWER_CAPACITY): a result
// line's roots are at most 41 characters each in the fixed form and fewer in
// the exponent form.
inline constexpr std::uint32_t answerCapacity = 128;

// The area that the line is written in: room for the longest answer and,
// beyond it, for the longest number text, which the writers then build in
// place instead of through a text of their own.
inline constexpr std::uint32_t answerAreaSize = 512;
static_assert(answerAreaSize > answerCapacity + 255);

struct AnswerLine {
  std::uint32_t length;  // CR LF included
  std::uint8_t bytes[answerAreaSize];
};

// Starts a record on the calling thread's state, as the batch program starts
// each of its records: the programs' control word, no status flag, no pending
// code, no error; an unmasked exception of the model becomes the record's
// error and the operation finishes with its masked result. Every entry point
// calls it first, since a thread's state starts zeroed.
void beginCall();

// Answers the record in bytes[0, length) (up to its first line feed, or to
// the end of the bytes) as quadsolve-batch answers it, into `answer`.
// Returns the record's code: 0 for a result line, else its error's.
std::uint8_t answerLine(const std::uint8_t* bytes, std::uint32_t length, AnswerLine& answer);

// Makes `stream` an input stream over bytes[0, length), whose end is the end
// of the data. The bytes are only read.
void readFrom(TextStream& stream, const std::uint8_t* bytes, std::uint32_t length);

}  // namespace library
