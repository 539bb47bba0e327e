// Standard input read as records, one line each, for a program that answers
// a whole input one line at a time (quadsolve-batch).
//
// RecordIn is a text stream that delivers the bytes of the current record, up
// to and including its line feed, and then reports the end of input, exactly
// as ConsoleIn delivers an input that holds that line alone: blanks, CR,
// byte 26 and the end of the line behave as they would there. Standard input
// is read in blocks of 64 KiB whatever the length of a line, so memory does
// not grow with the input.
#pragma once

#include <cstdint>

#include "textio/text_stream.h"

extern TextStream RecordIn;

// Starts the next record. False at the end of standard input (no byte left),
// or when it cannot be read: the code is then pending (104 when standard
// input cannot be bound, else the operating system's).
bool startRecord();

// Consumes what the reader left of the current record, up to and including
// its line feed. Returns 0, or the code of a failed read, which it also
// stores.
std::uint32_t finishRecord();
