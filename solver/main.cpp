// quadsolve: solves one quadratic equation a·x² + b·x + c = 0.
//
// Writes an empty line, reads the coefficients a, b and c from standard input,
// writes one result line (the outcome code and the real roots, smaller first,
// two decimals each), reads and discards one more line and ends with exit
// code 0. Any failure ends the program with a numbered run-time error instead.
//
// The program runs straight through a fixed sequence of statements. Each one
// ends in exactly one ioCheck, which turns a failure recorded by the text layer
// into a run-time error; a floating-point trap ends the program at once.
#include "runtime/runtime.h"
#include "solver/equation.h"
#include "textio/text_stream.h"

int main() {
  consoleMode = true;
  initRuntime(startupTable);

  // The empty line comes before anything is read.
  writeLine(ConsoleOut);
  ioCheck();

  // The coefficients, each stored right after its own read; a malformed one is
  // reported only after the rest of the line has been consumed.
  readCoefficients(ConsoleIn);
  ioCheck();

  // The result line. Every root is computed and stored before the first write,
  // so a trap leaves no part of the line written.
  writeResultLine(ConsoleOut, solveEquation());
  ioCheck();

  // Run from a terminal, the program waits for Enter before it ends.
  readLine(ConsoleIn);
  ioCheck();

  terminateProgram();
}
