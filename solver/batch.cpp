// quadsolve-batch: answers a whole input of quadratic equations, one a line.
//
// Each line of standard input is a record: the line feed ends it, the last
// line may lack one, and every other byte is read as quadsolve reads its
// input. For each record the program writes exactly what quadsolve writes
// after its leading empty line when that record, with a line feed, is its
// whole standard input: the result line, or the run-time error line of an
// error that ends the record (its address a place in this program). One
// output line for each input line, in order.
//
// Every record starts from the state that quadsolve starts from: the
// floating-point environment, no pending code, no error, the coefficients and
// roots zero, a reader that sees the record alone. An error of a record ends
// that record only; what no record can absorb (a failed read of standard
// input, a failed write of standard output, a processor exception, a signal
// sent from outside) ends the program as it ends quadsolve. The exit code is
// then that error's; otherwise it is the code of the first record that ended
// in an error, or 0 when every record got its result line.
//
// Output goes to files and pipes in blocks of 64 KiB, and to a terminal line
// by line; every block ends at a line end. SIGINT, SIGTERM and SIGHUP write
// out the whole lines held, then end the program by the signal.
#include <cstdint>

#include "runtime/runtime.h"
#include "solver/equation.h"
#include "textio/record_input.h"
#include "textio/text_stream.h"

namespace {

constexpr std::uint32_t outputBlockSize = 64 * 1024;
std::uint8_t outputBlock[outputBlockSize];

// Binds standard output and gives it the large block; a terminal still gets
// every line as it ends. A failed binding leaves its code pending.
void useLargeOutputBlocks() {
  writeBytes(ConsoleOut, outputBlock, 0);
  if (isBoundForOutput(ConsoleOut)) {
    ConsoleOut.bufPtr = outputBlock;
    ConsoleOut.bufSize = outputBlockSize;
  }
}

// quadsolve's statements 2 to 4 on one record, each ending in one check; the
// first error of the record ends it.
void answerRecord() {
  beginRecord();
  resetEquation();

  readCoefficients(RecordIn);
  recordCheck();
  if (recordFailed()) return;

  // A trap in the computations leaves no part of the line written.
  const ResultLine line = solveEquation();
  if (recordFailed()) return;
  writeResultLine(ConsoleOut, line);
  recordCheck();

  readLine(RecordIn);
  recordCheck();
}

// The error line of a record that ended in an error, in place of its result.
void writeRecordError(const RecordOutcome& outcome) {
  writeLine(writeBytes(ConsoleOut, outcome.message, static_cast<std::uint32_t>(outcome.length)));
  ioCheck();
}

}  // namespace

int main() {
  consoleMode = true;
  initRuntime(startupTable);

  useLargeOutputBlocks();
  ioCheck();
  keepOutputLinesWhole();

  while (startRecord()) {
    answerRecord();
    const RecordOutcome outcome = endRecord();
    // What the reader left of the record; a failed read ends the program.
    finishRecord();
    ioCheck();
    if (outcome.code != 0) writeRecordError(outcome);
  }
  // The end of the input, or a failed read of it.
  ioCheck();

  terminateProgram();
}
