#include "solver/batch_record.h"

#include "runtime/runtime.h"
#include "solver/equation.h"

void answerRecord(TextStream& input) {
  beginRuntimeRecord();
  resetEquation();

  readCoefficients(input);
  if (recordCheck()) {
    // A trap in the computations leaves no part of the line written.
    const ResultLine line = solveEquation();
    if (recordCheck()) {
      writeResultLine(ConsoleOut, line);
      if (recordCheck()) {
        readLine(input);
        recordCheck();
      }
    }
  }
  endRuntimeRecord();
}
