#include "solver/equation.h"

#include "extended/extended.h"
#include "textio/number_conversions.h"

namespace {

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

void resetEquation() {
  a = b = c = x1 = x2 = 0;
}

void readCoefficients(TextStream& input) {
  a = store(readReal(input));
  b = store(readReal(input));
  c = store(readReal(input));
  readLine(input);
}

ResultLine solveEquation() {
  if (equalsZero(load(a))) {
    if (equalsZero(load(b))) return {outcomeDegenerate, 0, {}};
    x1 = store(extended::divide(extended::negate(load(c)), load(b)));
    return {outcomeLinear, 1, {x1}};
  }
  const extended::Comparison sign = extended::compare(discriminant(), zero);
  if (sign == extended::Comparison::greater) {
    x1 = store(rootWithPlus());
    x2 = store(rootWithMinus());
    // For a > 0 x1 is the larger root, for a < 0 the smaller.
    if (extended::compare(load(x1), load(x2)) == extended::Comparison::less) {
      return {outcomeTwoRoots, 2, {x1, x2}};
    }
    return {outcomeTwoRoots, 2, {x2, x1}};
  }
  if (sign == extended::Comparison::less) return {outcomeNoRealRoots, 0, {}};
  x1 = store(rootWithPlus());
  return {outcomeDoubleRoot, 1, {x1}};
}

void writeResultLine(TextStream& output, const ResultLine& line) {
  TextStream* stream = &writeInteger(output, line.outcome);
  for (std::int32_t index = 0; index < line.rootCount; ++index) {
    stream = &writeRoot(*stream, line.roots[index]);
  }
  writeLine(*stream);
}
