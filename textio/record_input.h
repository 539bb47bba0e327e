// Input read as records, one line each, for a program that answers a whole
// input one line at a time (quadsolve-batch).
//
// RecordIn is a text stream that delivers the bytes of the current record, up
// to and including its line feed, and then reports the end of input, exactly
// as ConsoleIn delivers an input that holds that line alone: blanks, CR,
// byte 26 and the end of the line behave as they would there. The records
// come from a source stream, straight out of its buffer (give it a large one
// with setStreamBuffer), so memory does not grow with the length of a line.
// The end of a source ends the record that it holds: a last line without a
// line feed is a record of its own.
#pragma once

#include <cstdint>

#include "platform/program_state.h"
#include "textio/text_stream.h"

extern PROGRAM_STATE TextStream RecordIn;

// Takes the records from `source`, an input stream that is open (ConsoleIn
// bound by setStreamBuffer, or a stream of openFileInput), from its next
// unread byte on. The source must stay open while its records are read.
void useRecordSource(TextStream& source);

// What a source's first bytes say it holds.
enum class SourceText : std::uint8_t {
  bytes,              // anything else: the records are its bytes
  utf16LittleEndian,  // the byte-order mark FF FE
  utf16BigEndian,     // the byte-order mark FE FF
};

// Reads the start of the source, before its first record, and tells whether
// it begins with a UTF-16 byte-order mark; nothing is consumed. A source of
// fewer than two bytes is bytes. A failed read gives bytes, with its code
// pending and kept for recordSourceFailure(), as startInputRecord keeps it.
SourceText sourceText();

// Starts the next record of the source. False at its end (no byte left) or
// when it cannot be read, whose code is then pending and kept for
// recordSourceFailure().
bool startInputRecord();

// Consumes what the reader left of the current record, up to and including
// its line feed. Returns 0, or the code of a failed read, which it also
// stores.
std::uint32_t finishInputRecord();

// The operating system's code of the source's read that failed, 0 while none
// has failed (a source found not open at its first read has had no read that
// failed). A record that the failure cut is no record of the source: a read
// after it may well report the end of the data (a terminal that has hung up
// does), so the code stays here for the program's checks.
std::uint32_t recordSourceFailure();
