// The equation a·x² + b·x + c = 0 as the programs read, solve and write it:
// the five stored doubles and the parts of the statements that use them.
// quadsolve runs the statements once, each ending in one ioCheck;
// quadsolve-batch runs them once per record.
//
// Arithmetic is done in 80-bit extended precision; the coefficients and roots
// are kept as doubles, rounded on every store, and an overflow on a store
// traps as run-time error 205 (through the extended model's trap hook).
#pragma once

#include <cstdint>

#include "textio/text_stream.h"

// The integer that starts the result line.
enum SolverOutcome : std::int32_t {
  outcomeDegenerate = -1,  // a = 0 and b = 0; c is not examined
  outcomeNoRealRoots = 0,  // a ≠ 0 and D < 0
  outcomeLinear = 1,       // a = 0 and b ≠ 0: one root
  outcomeTwoRoots = 2,     // a ≠ 0 and D > 0
  outcomeDoubleRoot = 3,   // a ≠ 0 and D = 0
};

// What the result line shows: the outcome and its roots (0 to 2), in the
// order written, smaller first.
struct ResultLine {
  SolverOutcome outcome;
  std::int32_t rootCount;
  double roots[2];
};

// The five variables back at zero, as a program starts with them.
void resetEquation();

// Statement 2 without its check: a, b and c, each stored right after its own
// read, then the rest of the line consumed. A malformed coefficient leaves
// 106 pending and the reads go on.
void readCoefficients(TextStream& input);

// The coefficients stored as given, for a caller that has them as doubles
// already (the library): what readCoefficients stores from their texts.
void setCoefficients(double valueA, double valueB, double valueC);

// Statement 3's computations: classifies the equation and computes and stores
// its roots. Nothing is written yet, so a trap leaves no part of the line.
ResultLine solveEquation();

// Statement 3's writes: the outcome code and the roots, each after a space,
// and the line end.
void writeResultLine(TextStream& output, const ResultLine& line);
