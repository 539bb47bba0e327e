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
// Arithmetic is done in 80-bit extended precision; the coefficients and roots
// are kept as doubles, rounded on every store, and an overflow on a store traps
// as run-time error 205.
#include <cstdint>

#include "extended/extended.h"
#include "runtime/runtime.h"
#include "textio/number_conversions.h"
#include "textio/text_stream.h"

namespace {

// The integer that starts the result line.
enum SolverOutcome : std::int32_t {
  outcomeDegenerate = -1,  // a = 0 and b = 0; c is not examined
  outcomeNoRealRoots = 0,  // a ≠ 0 and D < 0
  outcomeLinear = 1,       // a = 0 and b ≠ 0: one root
  outcomeTwoRoots = 2,     // a ≠ 0 and D > 0
  outcomeDoubleRoot = 3,   // a ≠ 0 and D = 0
};

constexpr std::uint8_t rootSeparator = ' ';
constexpr std::int32_t rootWidth = 0;
constexpr std::int32_t rootDecimals = 2;

// The exact constants of the formulas.
constexpr Extended zero = extended::positiveZero;
constexpr Extended two = extended::exactInteger(2);
constexpr Extended four = extended::exactInteger(4);

// The program's variables: coefficients and roots, zero at start.
double a;
double b;
double c;
double x1;  // the root computed with +√D (the only root in the one-root cases)
double x2;  // the root computed with −√D

Extended load(double value) {
  return extended::fromDouble(value);
}

// Rounds to the nearest double; a value beyond the double range traps (205).
double store(Extended value) {
  return extended::toDouble(value);
}

// An ordered comparison with zero (FCOM), not a bit test: -0 equals +0, and
// it raises what a comparison raises (denormal operand; invalid operation for
// a NaN).
bool equalsZero(Extended value) {
  return extended::compare(value, zero) == extended::Comparison::equal;
}

// D = b·b − (4·a)·c, never kept: every use evaluates it again, in this order.
Extended discriminant() {
  const Extended t1 = extended::multiply(load(b), load(b));
  const Extended t2 = extended::multiply(extended::multiply(four, load(a)), load(c));
  return extended::subtract(t1, t2);
}

Extended twiceA() {
  return extended::multiply(two, load(a));
}

// (√D + (−b)) / (2·a)
Extended rootWithPlus() {
  const Extended sum =
      extended::add(extended::squareRoot(discriminant()), extended::negate(load(b)));
  return extended::divide(sum, twiceA());
}

// ((−b) − √D) / (2·a)
Extended rootWithMinus() {
  const Extended difference =
      extended::subtract(extended::negate(load(b)), extended::squareRoot(discriminant()));
  return extended::divide(difference, twiceA());
}

// One root of the result line: a space, then the stored double, loaded only
// after the space is written (the order of the two calls is fixed here, not
// left to the order in which arguments happen to be evaluated).
TextStream& writeRoot(TextStream& stream, double root) {
  TextStream& spaced = writeChar(stream, rootSeparator);
  return writeReal(spaced, load(root), rootWidth, rootDecimals);
}

}  // namespace

int main() {
  consoleMode = true;
  initRuntime(startupTable);

  // The empty line comes before anything is read.
  writeLine(ConsoleOut);
  ioCheck();

  // The coefficients, each stored right after its own read; a malformed one is
  // reported only after the rest of the line has been consumed.
  a = store(readReal(ConsoleIn));
  b = store(readReal(ConsoleIn));
  c = store(readReal(ConsoleIn));
  readLine(ConsoleIn);
  ioCheck();

  // The result line. Every root is computed and stored before the first write,
  // so a trap leaves no part of the line written.
  if (equalsZero(load(a))) {
    if (equalsZero(load(b))) {
      writeLine(writeInteger(ConsoleOut, outcomeDegenerate));
    } else {
      x1 = store(extended::divide(extended::negate(load(c)), load(b)));
      writeLine(writeRoot(writeInteger(ConsoleOut, outcomeLinear), x1));
    }
  } else {
    const extended::Comparison sign = extended::compare(discriminant(), zero);
    if (sign == extended::Comparison::greater) {
      x1 = store(rootWithPlus());
      x2 = store(rootWithMinus());
      // For a > 0 x1 is the larger root, for a < 0 the smaller.
      if (extended::compare(load(x1), load(x2)) == extended::Comparison::less) {
        writeLine(writeRoot(writeRoot(writeInteger(ConsoleOut, outcomeTwoRoots), x1), x2));
      } else {
        writeLine(writeRoot(writeRoot(writeInteger(ConsoleOut, outcomeTwoRoots), x2), x1));
      }
    } else if (sign == extended::Comparison::less) {
      writeLine(writeInteger(ConsoleOut, outcomeNoRealRoots));
    } else {
      x1 = store(rootWithPlus());
      writeLine(writeRoot(writeInteger(ConsoleOut, outcomeDoubleRoot), x1));
    }
  }
  ioCheck();

  // Run from a terminal, the program waits for Enter before it ends.
  readLine(ConsoleIn);
  ioCheck();

  terminateProgram();
}
