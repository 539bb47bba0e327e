#include "tests/extended/edge_cases.h"

#include <cstdint>
#include <vector>

namespace x87test {

namespace {

using extended::make;
using Op = Operation;

constexpr std::uint64_t top = extended::integerBit;
constexpr std::uint16_t bias = extended::exponentBias;
constexpr std::uint16_t maxField = extended::maxExponentField;

constexpr Extended value(bool negative, int exponentField, std::uint64_t significand) {
  return make(negative, static_cast<std::uint16_t>(exponentField), significand);
}
// ±2^power · (significand / 2^63)
constexpr Extended scaled(int power, std::uint64_t significand = top, bool negative = false) {
  return value(negative, bias + power, significand);
}

constexpr Extended one = scaled(0);
constexpr Extended minusOne = scaled(0, top, true);
constexpr Extended two = scaled(1);
constexpr Extended three = scaled(1, 0xC000000000000000u);
constexpr Extended half = scaled(-1);
constexpr Extended plusZero = extended::positiveZero;
constexpr Extended minusZero = extended::negativeZero;
constexpr Extended plusInfinity = extended::positiveInfinity;
constexpr Extended minusInfinity = extended::negativeInfinity;
constexpr Extended maxNormal = value(false, maxField - 1, ~std::uint64_t{0});
constexpr Extended minNormal = value(false, 1, top);
constexpr Extended maxDenormal = value(false, 0, top - 1);
constexpr Extended minDenormal = value(false, 0, 1);
constexpr Extended minusMinDenormal = value(true, 0, 1);
constexpr Extended pseudoDenormal = value(false, 0, top);
constexpr Extended pseudoDenormalLarge = value(true, 0, ~std::uint64_t{0});
constexpr Extended quietNaN = value(false, maxField, 0xC000000000000001u);
constexpr Extended quietNaNLarger = value(false, maxField, 0xC000000000000002u);
constexpr Extended quietNaNNegative = value(true, maxField, 0xC000000000000001u);
constexpr Extended signalingNaN = value(false, maxField, 0x8000000000000001u);
constexpr Extended signalingNaNLarger = value(true, maxField, 0xBFFFFFFFFFFFFFFFu);
constexpr Extended indefinite = value(true, maxField, 0xC000000000000000u);
constexpr Extended unnormal = value(false, bias, 0x4000000000000000u);
constexpr Extended pseudoZero = value(true, bias, 0);
constexpr Extended pseudoInfinity = value(false, maxField, 0);
constexpr Extended pseudoNaN = value(true, maxField, 0x4000000000000001u);

Operands unary(Extended a) {
  return Operands{a, plusZero};
}
Operands pair(Extended a, Extended b) {
  return Operands{a, b};
}
Operands fromBits(std::uint64_t bits) {
  return Operands{Extended{bits, 0}, plusZero};
}

// A product whose 128-bit significand is 0x7FFF...FFDE..: just below a power of
// two, it rounds up to it; at the ends of the range it overflows or leaves
// the denormal range only after rounding.
constexpr std::uint64_t nearCarryA = 0x9027C4D1C386BBC4u;
constexpr std::uint64_t nearCarryB = 0xE34F72048812C911u;

std::vector<EdgeCase> build() {
  std::vector<EdgeCase> cases;
  const auto add = [&cases](const char* boundary, Op op, Operands x) {
    cases.push_back(EdgeCase{boundary, op, x});
  };
  const Op binaries[] = {Op::add, Op::subtract, Op::multiply, Op::divide, Op::compare};
  const Op unaries[] = {Op::squareRoot, Op::roundToInteger, Op::toDouble,
                        Op::toInt64,    Op::negate,         Op::absolute};

  // Harness sanity: known answers that catch swapped operands.
  add("known answers", Op::subtract, pair(three, one));
  add("known answers", Op::divide, pair(three, two));
  add("known answers", Op::compare, pair(one, three));
  add("known answers", Op::compare, pair(three, one));
  add("known answers", Op::squareRoot, unary(scaled(2)));

  for (const Op op : binaries) {
    add("signed zeros", op, pair(plusZero, minusZero));
    add("signed zeros", op, pair(minusZero, minusZero));
    add("signed zeros", op, pair(minusZero, plusZero));
    add("signed zeros", op, pair(one, minusZero));
    add("signed zeros", op, pair(minusOne, plusZero));
  }
  add("signed zeros", Op::subtract, pair(three, three));
  add("signed zeros", Op::add, pair(three, scaled(1, 0xC000000000000000u, true)));
  add("signed zeros", Op::multiply, pair(minDenormal, minusMinDenormal));
  for (const Op op : unaries) {
    add("signed zeros", op, unary(minusZero));
    add("signed zeros", op, unary(plusZero));
  }
  add("signed zeros", Op::roundToInteger, unary(scaled(-2, top, true)));
  add("signed zeros", Op::roundToInteger, unary(scaled(-1, top, true)));
  add("signed zeros", Op::fromDouble, fromBits(0x8000000000000000u));
  add("signed zeros", Op::fromInt64, fromBits(0));

  // Denormal operands: the flag, and where the processor leaves it out.
  for (const Op op : binaries) {
    add("denormal operands", op, pair(minDenormal, one));
    add("denormal operands", op, pair(one, maxDenormal));
    add("denormal operands", op, pair(maxDenormal, minusMinDenormal));
    add("denormal operands", op, pair(pseudoDenormal, one));
    add("denormal operands", op, pair(pseudoDenormalLarge, pseudoDenormal));
    add("denormal operands", op, pair(minDenormal, quietNaN));
    add("denormal operands", op, pair(signalingNaN, maxDenormal));
    add("denormal operands", op, pair(minDenormal, plusZero));
    add("denormal operands", op, pair(plusZero, minDenormal));
    add("denormal operands", op, pair(minDenormal, plusInfinity));
    add("denormal operands", op, pair(minDenormal, unnormal));
  }
  for (const Op op : unaries) {
    add("denormal operands", op, unary(minDenormal));
    add("denormal operands", op, unary(minusMinDenormal));
    add("denormal operands", op, unary(maxDenormal));
    add("denormal operands", op, unary(pseudoDenormal));
    add("denormal operands", op, unary(pseudoDenormalLarge));
  }
  // A pseudo-denormal has the value of the smallest normal.
  add("denormal operands", Op::compare, pair(pseudoDenormal, minNormal));
  add("denormal operands", Op::subtract, pair(pseudoDenormal, minNormal));
  add("denormal operands", Op::add, pair(pseudoDenormal, value(true, 0, top - 1)));
  add("denormal operands", Op::multiply, pair(pseudoDenormalLarge, scaled(63)));
  add("denormal operands", Op::fromDouble, fromBits(1));
  add("denormal operands", Op::fromDouble, fromBits(0x800FFFFFFFFFFFFFu));
  add("denormal operands", Op::fromDouble, fromBits(0x0008000000000000u));
  add("denormal operands", Op::fromDouble, fromBits(0x0010000000000000u));

  // The ends of the range, and results that cross them only after rounding.
  add("range ends", Op::add, pair(maxNormal, maxNormal));
  add("range ends", Op::add, pair(maxNormal, scaled(16383 - 64)));
  add("range ends", Op::add, pair(maxNormal, scaled(16383 - 65, ~std::uint64_t{0})));
  add("range ends", Op::subtract, pair(minNormal, minDenormal));
  add("range ends", Op::subtract, pair(minNormal, scaled(-16382 - 64)));
  add("range ends", Op::multiply, pair(maxNormal, one));
  add("range ends", Op::multiply, pair(maxNormal, two));
  add("range ends", Op::multiply, pair(minNormal, half));
  add("range ends", Op::multiply, pair(minNormal, scaled(-1, 0xC000000000000000u)));
  add("range ends", Op::multiply, pair(minNormal, minNormal));
  add("range ends", Op::multiply, pair(maxDenormal, scaled(1)));
  add("range ends", Op::divide, pair(minNormal, two));
  add("range ends", Op::divide, pair(one, maxNormal));
  add("range ends", Op::divide, pair(maxNormal, half));
  add("range ends", Op::divide, pair(maxNormal, scaled(-1, ~std::uint64_t{0})));
  add("range ends", Op::divide, pair(one, minDenormal));
  add("range ends", Op::divide, pair(minNormal, scaled(0, ~std::uint64_t{0})));
  add("range ends", Op::squareRoot, unary(maxNormal));
  add("range ends", Op::squareRoot, unary(minNormal));
  add("range ends", Op::multiply,
      pair(value(false, maxField - 1, nearCarryA), value(false, bias, nearCarryB)));
  add("range ends", Op::multiply,
      pair(value(true, maxField - 1, nearCarryA), value(false, bias - 1, nearCarryB)));
  add("range ends", Op::multiply,
      pair(value(false, 1, nearCarryA), value(false, bias - 1, nearCarryB)));
  add("range ends", Op::multiply,
      pair(value(false, 1, nearCarryA), value(true, bias - 2, nearCarryB)));
  add("range ends", Op::multiply,
      pair(value(false, 1, nearCarryA), value(false, bias - 66, nearCarryB)));

  // Ties to even at every rounding place.
  add("ties to even", Op::add, pair(one, scaled(-64)));
  add("ties to even", Op::add, pair(scaled(0, top | 1), scaled(-64)));
  add("ties to even", Op::add, pair(scaled(0, top | 1), scaled(-64, top, true)));
  add("ties to even", Op::subtract, pair(scaled(1), scaled(-64)));
  add("ties to even", Op::subtract, pair(scaled(1), scaled(-65, 0xC000000000000000u)));
  add("ties to even", Op::multiply, pair(scaled(0, top | 1), three));
  add("ties to even", Op::multiply, pair(scaled(0, top | 3), three));
  add("ties to even", Op::multiply, pair(value(false, 1, top | 1), scaled(-2)));
  add("ties to even", Op::multiply, pair(value(false, 1, top | 3), scaled(-2)));
  add("ties to even", Op::multiply,
      pair(value(false, 1, top | 1), scaled(-1, 0xC000000000000000u)));
  for (const std::uint64_t s : {top | 0x400, top | 0xC00, top | 0x3FF, top | 0x401, top | 0xBFF}) {
    add("ties to even", Op::toDouble, unary(scaled(0, s)));
    add("ties to even", Op::toDouble, unary(scaled(-1030, s, true)));
  }
  for (const int power : {-1, 0, 1, 2, 62, 63}) {
    for (const std::uint64_t s : {top, top | (top >> 1), top | (top >> 2), 0xC000000000000000u}) {
      add("ties to even", Op::roundToInteger, unary(scaled(power, s)));
      add("ties to even", Op::roundToInteger, unary(scaled(power, s, true)));
      add("ties to even", Op::toInt64, unary(scaled(power, s)));
      add("ties to even", Op::toInt64, unary(scaled(power, s, true)));
    }
  }

  // Rounding to double: overflow to 2^1024, the denormal range and zero.
  add("double range", Op::toDouble, unary(scaled(1023, 0xFFFFFFFFFFFFF800u)));
  add("double range", Op::toDouble, unary(scaled(1023, 0xFFFFFFFFFFFFFBFFu)));
  add("double range", Op::toDouble, unary(scaled(1023, 0xFFFFFFFFFFFFFC00u)));
  add("double range", Op::toDouble, unary(scaled(1023, 0xFFFFFFFFFFFFFC00u, true)));
  add("double range", Op::toDouble, unary(scaled(1024)));
  add("double range", Op::toDouble, unary(maxNormal));
  add("double range", Op::toDouble, unary(scaled(-1022)));
  add("double range", Op::toDouble, unary(scaled(-1023, ~std::uint64_t{0})));
  add("double range", Op::toDouble, unary(scaled(-1023, 0xFFFFFFFFFFFFFC00u)));
  add("double range", Op::toDouble, unary(scaled(-1023, 0xFFFFFFFFFFFFF800u)));
  add("double range", Op::toDouble, unary(scaled(-1074)));
  add("double range", Op::toDouble, unary(scaled(-1075)));
  add("double range", Op::toDouble, unary(scaled(-1075, top | 1)));
  add("double range", Op::toDouble, unary(scaled(-1076, 0xC000000000000000u)));
  add("double range", Op::toDouble, unary(scaled(-1076)));
  add("double range", Op::toDouble, unary(scaled(-1074, 0xC000000000000000u)));
  add("double range", Op::toDouble, unary(minNormal));
  add("double range", Op::fromDouble, fromBits(0x7FEFFFFFFFFFFFFFu));
  add("double range", Op::fromDouble, fromBits(0x0000000000000001u));

  // The int64 range.
  add("int64 range", Op::toInt64, unary(scaled(63)));
  add("int64 range", Op::toInt64, unary(scaled(63, top, true)));
  add("int64 range", Op::toInt64, unary(scaled(62, ~std::uint64_t{0} << 1)));
  add("int64 range", Op::toInt64, unary(scaled(62, ~std::uint64_t{0})));
  add("int64 range", Op::toInt64, unary(scaled(63, top | 1, true)));
  add("int64 range", Op::toInt64, unary(scaled(62, ~std::uint64_t{0}, true)));
  add("int64 range", Op::toInt64, unary(scaled(63, top | 1)));
  add("int64 range", Op::toInt64, unary(scaled(64)));
  add("int64 range", Op::toInt64, unary(maxNormal));
  add("int64 range", Op::toInt64, unary(value(true, maxField - 1, top)));
  for (const std::uint64_t bits :
       {std::uint64_t{0x8000000000000000u}, std::uint64_t{0x7FFFFFFFFFFFFFFFu}, ~std::uint64_t{0},
        std::uint64_t{1}, std::uint64_t{0x0020000000000001u}}) {
    add("int64 range", Op::fromInt64, fromBits(bits));
  }

  // Infinities and invalid operations.
  add("invalid operations", Op::add, pair(plusInfinity, minusInfinity));
  add("invalid operations", Op::subtract, pair(plusInfinity, plusInfinity));
  add("invalid operations", Op::add, pair(plusInfinity, plusInfinity));
  add("invalid operations", Op::multiply, pair(plusZero, minusInfinity));
  add("invalid operations", Op::multiply, pair(minusInfinity, minDenormal));
  add("invalid operations", Op::divide, pair(plusZero, minusZero));
  add("invalid operations", Op::divide, pair(plusInfinity, minusInfinity));
  add("invalid operations", Op::divide, pair(minusOne, plusZero));
  add("invalid operations", Op::divide, pair(plusInfinity, plusZero));
  add("invalid operations", Op::divide, pair(one, minusInfinity));
  add("invalid operations", Op::squareRoot, unary(minusOne));
  add("invalid operations", Op::squareRoot, unary(minusInfinity));
  add("invalid operations", Op::squareRoot, unary(plusInfinity));
  add("invalid operations", Op::compare, pair(plusInfinity, plusInfinity));
  add("invalid operations", Op::compare, pair(minusInfinity, maxNormal));
  add("invalid operations", Op::roundToInteger, unary(minusInfinity));
  add("invalid operations", Op::toDouble, unary(minusInfinity));
  add("invalid operations", Op::toInt64, unary(minusInfinity));
  add("invalid operations", Op::fromDouble, fromBits(0xFFF0000000000000u));

  // NaNs: quieting, which of two is kept, and NaNs through every operation.
  const Extended nans[] = {quietNaN,           quietNaNLarger, quietNaNNegative, signalingNaN,
                           signalingNaNLarger, indefinite,     pseudoNaN};
  for (const Op op : binaries) {
    for (const Extended a : nans) {
      for (const Extended b : nans) add("NaN operands", op, pair(a, b));
      add("NaN operands", op, pair(a, one));
      add("NaN operands", op, pair(plusInfinity, a));
      add("NaN operands", op, pair(a, minusZero));
    }
  }
  for (const Op op : unaries) {
    for (const Extended a : nans) add("NaN operands", op, unary(a));
  }
  for (const std::uint64_t bits :
       {std::uint64_t{0x7FF8000000000000u}, std::uint64_t{0xFFF8000000000001u},
        std::uint64_t{0x7FF0000000000001u}, std::uint64_t{0xFFF7FFFFFFFFFFFFu}}) {
    add("NaN operands", Op::fromDouble, fromBits(bits));
  }
  add("NaN operands", Op::toDouble, unary(value(false, maxField, 0xC0000000000007FFu)));
  add("NaN operands", Op::toDouble, unary(value(true, maxField, 0x80000000000007FFu)));

  // Encodings the processor does not produce: invalid operands everywhere.
  const Extended unsupported[] = {unnormal, pseudoZero, pseudoInfinity, pseudoNaN,
                                  value(false, maxField - 1, 0x7FFFFFFFFFFFFFFFu)};
  for (const Extended u : unsupported) {
    for (const Op op : binaries) {
      add("unsupported encodings", op, pair(u, one));
      add("unsupported encodings", op, pair(minDenormal, u));
      add("unsupported encodings", op, pair(u, quietNaN));
      add("unsupported encodings", op, pair(signalingNaN, u));
    }
    for (const Op op : unaries) add("unsupported encodings", op, unary(u));
  }
  return cases;
}

}  // namespace

std::span<const EdgeCase> edgeCases() {
  static const std::vector<EdgeCase> cases = build();
  return cases;
}

}  // namespace x87test
