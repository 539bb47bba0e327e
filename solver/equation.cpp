#include "solver/equation.h"

#include "extended/extended.h"
#include "platform/program_state.h"
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
PROGRAM_STATE double a;
PROGRAM_STATE double b;
PROGRAM_STATE double c;
PROGRAM_STATE double x1;  // the root computed with +√D (the only root in the one-root cases)
PROGRAM_STATE double x2;  // the root computed with −√D

// The loads, stores and tests with zero are inlined where the formulas use
// them, in every build, as their common cases are a few instructions and a
// trap in them reports the solver's own code.
[[gnu::always_inline]] inline Extended load(double value) {
  return extended::fromDouble(value);
}

// Rounds to the nearest double; a value beyond the double range traps (205).
[[gnu::always_inline]] inline double store(Extended value) {
  return extended::toDouble(value);
}

// An ordered comparison with zero (FCOM), not a bit test: -0 equals +0, and
// it raises what a comparison raises (denormal operand; invalid operation for
// a NaN).
[[gnu::always_inline]] inline bool equalsZero(Extended value) {
  return extended::compare(value, zero) == extended::Comparison::equal;
}

// D = b·b − (4·a)·c, from the loaded coefficients (c is loaded here, where
// the formula first uses it), and its sign: an ordered comparison with zero.
struct Discriminant {
  Extended value;
  extended::Comparison sign;
};

// Kept out of line in every build, and its last call is no tail call (the
// sign is stored after it), so that an error in D's evaluation or its sign
// test has an address in this function, which the symbol table names.
[[gnu::noinline]] Discriminant discriminantAndSign(Extended loadedA, Extended loadedB) {
  const Extended t1 = extended::multiply(loadedB, loadedB);
  const Extended t2 = extended::multiply(extended::multiply(four, loadedA), load(c));
  Discriminant d;
  d.value = extended::subtract(t1, t2);
  d.sign = extended::compare(d.value, zero);
  return d;
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

void setCoefficients(double valueA, double valueB, double valueC) {
  a = valueA;
  b = valueB;
  c = valueC;
}

ResultLine solveEquation() {
  // Each coefficient is loaded once, where the formulas first use it; a load
  // is exact and its flags are sticky, so a second load would change nothing.
  const Extended loadedA = load(a);
  if (equalsZero(loadedA)) {
    const Extended loadedB = load(b);
    if (equalsZero(loadedB)) return {outcomeDegenerate, 0, {}};
    x1 = store(extended::divide(extended::negate(load(c)), loadedB));
    return {outcomeLinear, 1, {x1}};
  }
  // D is evaluated once and kept, and so are √D, −b and 2·a, though the
  // formulas name them at every use (D in the sign test and in each root).
  // Each is a pure function of a, b and c: evaluated again it gives the same
  // bits and raises the same flags, which are sticky, so a repeat changes
  // nothing in the status word; nor can a repeat trap, since an unmasked flag
  // traps at the first evaluation, which comes first, in the same order as
  // before (D, its sign, √D, −b, the sum, 2·a), from the same call.
  const Extended loadedB = load(b);
  const Discriminant discriminant = discriminantAndSign(loadedA, loadedB);
  const Extended d = discriminant.value;
  const extended::Comparison sign = discriminant.sign;
  if (sign == extended::Comparison::less) return {outcomeNoRealRoots, 0, {}};
  const Extended squareRootOfD = extended::squareRoot(d);
  const Extended minusB = extended::negate(loadedB);
  // (√D + (−b)) / (2·a)
  const Extended sum = extended::add(squareRootOfD, minusB);
  const Extended twiceA = extended::multiply(two, loadedA);
  x1 = store(extended::divide(sum, twiceA));
  if (sign != extended::Comparison::greater) return {outcomeDoubleRoot, 1, {x1}};
  // ((−b) − √D) / (2·a)
  x2 = store(extended::divide(extended::subtract(minusB, squareRootOfD), twiceA));
  // For a > 0 x1 is the larger root, for a < 0 the smaller.
  if (extended::compare(load(x1), load(x2)) == extended::Comparison::less) {
    return {outcomeTwoRoots, 2, {x1, x2}};
  }
  return {outcomeTwoRoots, 2, {x2, x1}};
}

void writeResultLine(TextStream& output, const ResultLine& line) {
  TextStream* stream = &writeInteger(output, line.outcome);
  for (std::int32_t index = 0; index < line.rootCount; ++index) {
    stream = &writeRoot(*stream, line.roots[index]);
  }
  writeLine(*stream);
}
