// The operations of the extended model as one enumeration, so that the x87
// reference, the model runner, the random draws and the fixed vectors all speak
// about the same cases in the same terms.
//
// Encoding of operands and results in `Extended` slots:
//   fromDouble: operand a.significand holds the IEEE double's bits;
//   fromInt64:  operand a.significand holds the integer's two's-complement bits;
//   toDouble:   result significand holds the double's bits, signExponent 0;
//   toInt64:    result significand holds the integer's bits, signExponent 0;
//   compare:    result significand holds the Comparison value, signExponent 0.
#pragma once

#include <cstdint>
#include <string>

#include "extended/extended.h"
#include "extended/fpu_environment.h"
#include "runtime/runtime_internal.h"

namespace x87test {

enum class Operation : std::uint8_t {
  add,
  subtract,
  multiply,
  divide,
  squareRoot,
  compare,
  roundToInteger,
  fromDouble,
  toDouble,
  fromInt64,
  toInt64,
  negate,
  absolute,
};
inline constexpr int operationCount = 13;

const char* operationName(Operation op);
bool isBinary(Operation op);

struct Operands {
  Extended a;
  Extended b;  // second operand of add, subtract, multiply, divide, compare
};

struct Outcome {
  Extended value;
  std::uint16_t flags = 0;     // the six exception flags after the operation
  std::uint32_t trapCode = 0;  // platform code of the trap taken, 0 for none
};

// Control words under which the cases are run, beside the program's own
// (defaultFpuControlAtLoad).
inline constexpr std::uint16_t allMaskedWord = 0x137F;  // every exception masked
inline constexpr std::uint16_t allUnmaskedWord = 0x1340;

// The platform code of the exception that is reported first among `unmasked`
// (a set of flags): invalid operation or division by zero, then denormal
// operand, then overflow or underflow, then precision. 0 for an empty set.
std::uint32_t priorityCode(std::uint16_t unmasked);

// Runs one operation on the model under `controlWord` with a recording trap
// hook installed: value and flags as the model leaves them, trapCode from the
// first call of the hook.
Outcome runOnModel(Operation op, const Operands& x, std::uint16_t controlWord);

// Number of hook calls and the caller address of the first in the last
// runOnModel().
int lastTrapCallCount();
std::uintptr_t lastTrapCallerAddress();

// Whether the model's outcome `got` matches the reference's `expected` (the x87
// unit or a fixed vector) under one control word. Without an unmasked
// exception, value and flags must be identical and no trap taken. With one,
// only the trap code is compared: the processor stops before a result at a
// pre-computation exception and scales an unmasked overflow or underflow,
// while the model finishes with the masked result when the hook returns.
bool agrees(Operation op, std::uint16_t controlWord, const Outcome& expected, const Outcome& got);

std::string describeExtended(Extended x);
std::string describeOperands(Operation op, const Operands& x);
std::string describeOutcome(Operation op, const Outcome& o);

}  // namespace x87test
