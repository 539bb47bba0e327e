// One record of quadsolve-batch: quadsolve's statements 2 to 4 on one line.
#pragma once

#include "textio/text_stream.h"

// Answers the record that `input` delivers (the record alone, then the end
// of input): reads the coefficients, solves, writes the result line to
// ConsoleOut and reads the rest of the line, each statement ending in one
// recordCheck; the first error of the record ends it, and its end writes the
// error line to ConsoleOut instead. A failure that no record can absorb (a
// failed read or write) ends the program.
void answerRecord(TextStream& input);
