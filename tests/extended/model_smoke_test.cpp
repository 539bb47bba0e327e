// Hand-picked cases for the extended model, with the expected bits worked out
// by hand: rounding ties, the ends of the exponent range, the special values
// and the trap hook. They run on every machine, x87 or not.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <iterator>
#include <limits>
#include <random>
#include <vector>

#include "exceptions/exception_codes.h"
#include "extended/extended.h"
#include "extended/fpu_environment.h"
#include "extended/wide_arithmetic.h"
#include "runtime/runtime_internal.h"

namespace {

using extended::make;
using extended::negate;

constexpr std::uint64_t one = 0x8000000000000000u;  // integer bit alone
constexpr std::uint16_t allMasked = 0x037F;
constexpr std::uint16_t allUnmasked = 0x0340;

constexpr Extended value1 = make(false, 0x3FFF, one);
constexpr Extended value2 = make(false, 0x4000, one);
constexpr Extended value3 = make(false, 0x4000, 0xC000000000000000u);
constexpr Extended value5 = make(false, 0x4001, 0xA000000000000000u);
constexpr Extended largest = make(false, 0x7FFE, ~std::uint64_t{0});
constexpr Extended smallestNormal = make(false, 1, one);
constexpr Extended smallestDenormal = make(false, 0, 1);
constexpr Extended indefinite = make(true, 0x7FFF, 0xC000000000000000u);
constexpr Extended quietNaN = make(false, 0x7FFF, 0xC000000000001234u);
constexpr Extended signalingNaN = make(false, 0x7FFF, 0x8000000000005678u);

struct Trap {
  std::uint32_t code;
  std::uintptr_t address;
};
std::vector<Trap> traps;
void recordTrap(std::uint32_t code, std::uintptr_t address) {
  traps.push_back({code, address});
}
constexpr extended::TrapHook recordTrapHook = {recordTrap};

class ExtendedSmoke : public ::testing::Test {
 protected:
  void SetUp() override {
    extended::resetEnvironment();
    extended::setTrapHook(&recordTrapHook);
    traps.clear();
  }
  void TearDown() override {
    extended::setTrapHook(nullptr);
    extended::resetEnvironment();
  }
};

enum class Op { add, subtract, multiply, divide };

Extended apply(Op op, Extended a, Extended b) {
  switch (op) {
    case Op::add:
      return extended::add(a, b);
    case Op::subtract:
      return extended::subtract(a, b);
    case Op::multiply:
      return extended::multiply(a, b);
    case Op::divide:
      return extended::divide(a, b);
  }
  return {};
}

struct ArithmeticCase {
  const char* name;
  Op op;
  Extended a;
  Extended b;
  Extended expected;
  std::uint16_t flags;  // with every exception masked
};

const ArithmeticCase arithmeticCases[] = {
    // 1 + 2^-64 is halfway between 1 and its successor: ties to even keeps 1.
    {"tie to even stays", Op::add, value1, make(false, 0x3FBF, one), value1,
     extended::flagPrecision},
    // 1 + 3·2^-65 lies above halfway: rounds to 1 + 2^-63.
    {"above tie rounds up", Op::add, value1, make(false, 0x3FBF, 0xC000000000000000u),
     make(false, 0x3FFF, one | 1), extended::flagPrecision},
    // (1 + 2^-63) + 2^-64: halfway with an odd last bit rounds up to 1 + 2^-62.
    {"tie to even up", Op::add, make(false, 0x3FFF, one | 1), make(false, 0x3FBF, one),
     make(false, 0x3FFF, one | 2), extended::flagPrecision},
    {"exact cancellation is +0", Op::subtract, value3, value3, extended::positiveZero, 0},
    {"-0 + -0", Op::add, extended::negativeZero, extended::negativeZero, extended::negativeZero, 0},
    {"3 * 5", Op::multiply, value3, value5, make(false, 0x4002, 0xF000000000000000u), 0},
    {"1 / 3", Op::divide, value1, value3, make(false, 0x3FFD, 0xAAAAAAAAAAAAAAABu),
     extended::flagPrecision},
    {"5 - 3", Op::subtract, value5, value3, value2, 0},
    // Overflow: masked, an infinity with overflow and precision.
    {"largest * 2", Op::multiply, largest, value2, extended::positiveInfinity,
     extended::flagOverflow | extended::flagPrecision},
    {"largest + largest", Op::add, largest, largest, extended::positiveInfinity,
     extended::flagOverflow | extended::flagPrecision},
    // Gradual underflow: an exact denormal raises nothing while masked.
    {"smallest normal / 2", Op::divide, smallestNormal, value2, make(false, 0, one >> 1), 0},
    // Half the smallest denormal is a tie between 0 and it: even is 0.
    {"smallest denormal / 2", Op::divide, smallestDenormal, value2, extended::positiveZero,
     extended::flagDenormal | extended::flagUnderflow | extended::flagPrecision},
    // Three quarters of the smallest denormal rounds up to it.
    {"three quarters of smallest denormal", Op::multiply, make(false, 0, 3),
     make(false, 0x3FFD, one), smallestDenormal,
     extended::flagDenormal | extended::flagUnderflow | extended::flagPrecision},
    // A denormal and its own negation cancel exactly.
    {"denormal - denormal", Op::subtract, smallestDenormal, smallestDenormal,
     extended::positiveZero, extended::flagDenormal},
    // Denormal sums that carry into the smallest normal.
    {"denormals sum to normal", Op::add, make(false, 0, one >> 1), make(false, 0, one >> 1),
     smallestNormal, extended::flagDenormal},
    // A pseudo-denormal is read as the smallest normal's scale.
    {"pseudo-denormal + 0", Op::add, make(false, 0, one), extended::positiveZero, smallestNormal,
     extended::flagDenormal},
    {"0 / 0", Op::divide, extended::positiveZero, extended::negativeZero, indefinite,
     extended::flagInvalid},
    {"1 / -0", Op::divide, value1, extended::negativeZero, extended::negativeInfinity,
     extended::flagZeroDivide},
    {"denormal / 0 raises no denormal", Op::divide, smallestDenormal, extended::positiveZero,
     extended::positiveInfinity, extended::flagZeroDivide},
    {"0 / denormal", Op::divide, extended::positiveZero, smallestDenormal, extended::positiveZero,
     extended::flagDenormal},
    {"inf - inf", Op::subtract, extended::positiveInfinity, extended::positiveInfinity, indefinite,
     extended::flagInvalid},
    {"0 * -inf", Op::multiply, extended::positiveZero, extended::negativeInfinity, indefinite,
     extended::flagInvalid},
    {"inf / inf", Op::divide, extended::negativeInfinity, extended::positiveInfinity, indefinite,
     extended::flagInvalid},
    // NaNs: a signalling NaN is quieted with invalid; a quiet NaN beats a
    // signalling one; between quiet NaNs the larger significand wins.
    {"SNaN + 1", Op::add, signalingNaN, value1, make(false, 0x7FFF, 0xC000000000005678u),
     extended::flagInvalid},
    {"QNaN + SNaN", Op::add, quietNaN, signalingNaN, quietNaN, extended::flagInvalid},
    {"QNaN * larger QNaN", Op::multiply, quietNaN, make(true, 0x7FFF, 0xC000000000009999u),
     make(true, 0x7FFF, 0xC000000000009999u), 0},
    {"1 - QNaN keeps the NaN's sign", Op::subtract, value1, quietNaN, quietNaN, 0},
    {"QNaN + denormal raises no denormal", Op::add, quietNaN, smallestDenormal, quietNaN, 0},
    // Encodings the processor never produces are invalid operands.
    {"unnormal + 1", Op::add, make(false, 0x3FFF, 0x4000000000000000u), value1, indefinite,
     extended::flagInvalid},
    {"pseudo-infinity * 1", Op::multiply, make(false, 0x7FFF, 0), value1, indefinite,
     extended::flagInvalid},
};

TEST_F(ExtendedSmoke, ArithmeticMasked) {
  for (const ArithmeticCase& c : arithmeticCases) {
    extended::clearStatus();
    const Extended result = apply(c.op, c.a, c.b);
    EXPECT_EQ(result.signExponent, c.expected.signExponent) << c.name;
    EXPECT_EQ(result.significand, c.expected.significand) << c.name;
    EXPECT_EQ(extended::statusFlags(), c.flags) << c.name;
  }
  EXPECT_TRUE(traps.empty());
}

// The fused product-to-integer gives the bits and flags of its two
// operations, multiply and then the conversion to an integer, each rounding
// once: zeros, denormals (a tiny product), ties of either rounding, and
// seeded values in [0, 16) times 10^17, 1 and 3.
TEST_F(ExtendedSmoke, MultiplyToIntegerIsMultiplyThenConversion) {
  const Extended factors[] = {extended::exactInteger(100'000'000'000'000'000u), value1, value3};
  std::vector<Extended> values = {extended::positiveZero,
                                  smallestDenormal,
                                  make(false, 0, 0x7FFFFFFFFFFFFFFFu),
                                  smallestNormal,
                                  make(false, 0x3FFE, one),
                                  make(false, 0x4000, 0xA000000000000000u),
                                  make(false, 0x4002, ~std::uint64_t{0})};
  std::mt19937_64 draw(29);
  for (int i = 0; i < 20000; ++i) {
    const auto field = static_cast<std::uint16_t>(0x3FFF - 80 + static_cast<int>(draw() % 84));
    values.push_back(make(false, field, draw() | one));
  }
  for (const Extended factor : factors) {
    for (const Extended x : values) {
      extended::clearStatus();
      const auto expected =
          static_cast<std::uint64_t>(extended::toInt64(extended::multiply(x, factor)));
      const std::uint16_t expectedFlags = extended::statusFlags();
      extended::clearStatus();
      ASSERT_EQ(extended::multiplyToUint64(x, factor), expected)
          << std::hex << x.signExponent << " " << x.significand;
      ASSERT_EQ(extended::statusFlags(), expectedFlags)
          << std::hex << x.signExponent << " " << x.significand;
    }
  }
  EXPECT_TRUE(traps.empty());
}

// The processor's 64×64→128 product and 128/64 division, where the build
// uses them, and the portable ones of the other builds give the same results.
TEST(WideProduct, PortableEqualsTheBuildsOwn) {
  std::vector<std::uint64_t> operands = {0,
                                         1,
                                         2,
                                         0xFFFFFFFF,
                                         0x100000000,
                                         one - 1,
                                         one,
                                         ~std::uint64_t{0},
                                         0xFFFFFFFF00000000,
                                         0xDEADBEEFCAFEF00D};
  std::uint64_t state = 0x9E3779B97F4A7C15;
  for (int i = 0; i < 200; ++i) operands.push_back(state = state * 6364136223846793005 + 1);
  for (const std::uint64_t a : operands) {
    for (const std::uint64_t b : operands) {
      const auto own = extended::wide::multiply64To128(a, b);
      const auto portable = extended::wide::multiply64To128Portable(a, b);
      ASSERT_EQ(own.high, portable.high) << a << " * " << b;
      ASSERT_EQ(own.low, portable.low) << a << " * " << b;
      // (a·b + b) / (b with its top bit set): every quotient and remainder.
      const std::uint64_t divisor = b | extended::integerBit;
      if (own.high >= divisor) continue;
      std::uint64_t ownRest = 0;
      std::uint64_t portableRest = 0;
      ASSERT_EQ(
          extended::wide::divide128By64(own.high, own.low + b, divisor, ownRest),
          extended::wide::divide128By64Portable(own.high, own.low + b, divisor, portableRest));
      ASSERT_EQ(ownRest, portableRest) << a << ", " << b;
    }
  }
  EXPECT_EQ(extended::wide::multiply64To128Portable(~std::uint64_t{0}, ~std::uint64_t{0}).high,
            ~std::uint64_t{0} - 1);
}

TEST_F(ExtendedSmoke, SquareRoot) {
  extended::clearStatus();
  EXPECT_EQ(extended::squareRoot(value2), make(false, 0x3FFF, 0xB504F333F9DE6484u));
  EXPECT_EQ(extended::statusFlags(), extended::flagPrecision);
  extended::clearStatus();
  // 9 = 1.001b · 2^3 has the exact root 3.
  EXPECT_EQ(extended::squareRoot(make(false, 0x4002, 0x9000000000000000u)), value3);
  EXPECT_EQ(extended::squareRoot(extended::negativeZero), extended::negativeZero);
  EXPECT_EQ(extended::statusFlags(), 0);
  // The smallest denormal, 2^-16445, has the root 2^-8222.5 = 2^-8223 · √2.
  EXPECT_EQ(extended::squareRoot(smallestDenormal),
            make(false, 0x3FFF - 8223, 0xB504F333F9DE6484u));
  EXPECT_EQ(extended::statusFlags(), extended::flagDenormal | extended::flagPrecision);
  extended::clearStatus();
  EXPECT_EQ(extended::squareRoot(make(true, 0, 1)), indefinite);
  EXPECT_EQ(extended::statusFlags(), extended::flagInvalid);
}

TEST_F(ExtendedSmoke, Compare) {
  using extended::Comparison;
  EXPECT_EQ(extended::compare(extended::negativeZero, extended::positiveZero), Comparison::equal);
  EXPECT_EQ(extended::compare(value1, value2), Comparison::less);
  EXPECT_EQ(extended::compare(negate(value1), negate(value2)), Comparison::greater);
  EXPECT_EQ(extended::compare(extended::negativeInfinity, negate(largest)), Comparison::less);
  EXPECT_EQ(extended::compare(make(false, 0, one), smallestNormal), Comparison::equal);
  EXPECT_EQ(extended::statusFlags(), extended::flagDenormal);
  extended::clearStatus();
  EXPECT_EQ(extended::compare(quietNaN, quietNaN), Comparison::unordered);
  EXPECT_EQ(extended::statusFlags(), extended::flagInvalid);
}

TEST_F(ExtendedSmoke, RoundToInteger) {
  struct Case {
    Extended x;
    Extended expected;
  } const cases[] = {
      {make(false, 0x4000, 0xA000000000000000u), value2},                    // 2.5 → 2
      {make(false, 0x4000, 0xE000000000000000u), make(false, 0x4001, one)},  // 3.5 → 4
      {make(true, 0x3FFE, one), extended::negativeZero},                     // -0.5 → -0
      {make(true, 0x3FFE, one | 1), negate(value1)},                         // just above -0.5
      {make(false, 0x403E, one | 1), make(false, 0x403E, one | 1)},          // already an integer
  };
  for (const Case& c : cases) {
    extended::clearStatus();
    EXPECT_EQ(extended::roundToInteger(c.x), c.expected);
    EXPECT_EQ(extended::statusFlags(), c.x == c.expected ? 0 : extended::flagPrecision);
  }
}

TEST_F(ExtendedSmoke, DoubleConversions) {
  // 0.1 widens exactly: 53 significant bits, the rest zero.
  EXPECT_EQ(extended::fromDouble(0.1), make(false, 0x3FFB, 0xCCCCCCCCCCCCD000u));
  EXPECT_EQ(extended::statusFlags(), 0);
  // The smallest denormal double is normal in 80 bits: 2^-1074.
  EXPECT_EQ(extended::fromDouble(std::numeric_limits<double>::denorm_min()),
            make(false, 0x3FFF - 1074, one));
  EXPECT_EQ(extended::statusFlags(), extended::flagDenormal);
  extended::clearStatus();

  // 1 + 2^-53 is a tie between 1 and its double successor: stays 1.
  EXPECT_EQ(extended::toDouble(make(false, 0x3FFF, one | (one >> 53))), 1.0);
  EXPECT_EQ(extended::statusFlags(), extended::flagPrecision);
  extended::clearStatus();
  // Halfway above the largest double rounds to 2^1024: overflow.
  EXPECT_EQ(extended::toDouble(make(false, 0x43FE, 0xFFFFFFFFFFFFFC00u)),
            std::numeric_limits<double>::infinity());
  EXPECT_EQ(extended::statusFlags(), extended::flagOverflow | extended::flagPrecision);
  extended::clearStatus();
  // The smallest denormal extended is far below doubles: +0, underflow, no denormal flag.
  EXPECT_EQ(std::bit_cast<std::uint64_t>(extended::toDouble(smallestDenormal)), 0u);
  EXPECT_EQ(extended::statusFlags(), extended::flagUnderflow | extended::flagPrecision);
  extended::clearStatus();
  // 2^-1075 · 1.5 rounds up to the smallest denormal double.
  EXPECT_EQ(extended::toDouble(make(false, 0x3FFF - 1075, 0xC000000000000000u)),
            std::numeric_limits<double>::denorm_min());
  EXPECT_EQ(extended::statusFlags(), extended::flagUnderflow | extended::flagPrecision);
  extended::clearStatus();
  // A NaN keeps the top of its fraction; a signalling one is quieted.
  EXPECT_EQ(std::bit_cast<std::uint64_t>(extended::toDouble(signalingNaN)), 0x7FF800000000000Au);
  EXPECT_EQ(extended::statusFlags(), extended::flagInvalid);
}

TEST_F(ExtendedSmoke, IntegerConversions) {
  constexpr std::int64_t indefiniteInteger = std::numeric_limits<std::int64_t>::min();
  EXPECT_EQ(extended::fromInt64(indefiniteInteger), make(true, 0x403E, one));
  EXPECT_EQ(extended::fromInt64(-3), negate(value3));
  EXPECT_EQ(extended::fromInt64(0), extended::positiveZero);
  EXPECT_EQ(extended::statusFlags(), 0);
  EXPECT_EQ(extended::toInt64(make(true, 0x403E, one)), indefiniteInteger);
  EXPECT_EQ(extended::statusFlags(), 0);
  EXPECT_EQ(extended::toInt64(make(false, 0x4000, 0xA000000000000000u)), 2);  // 2.5
  EXPECT_EQ(extended::statusFlags(), extended::flagPrecision);
  extended::clearStatus();
  EXPECT_EQ(extended::toInt64(make(false, 0x403E, one)), indefiniteInteger);  // 2^63
  EXPECT_EQ(extended::statusFlags(), extended::flagInvalid);
  extended::clearStatus();
  // 2^63 − 1/2 is a tie whose even neighbour 2^63 is out of range.
  EXPECT_EQ(extended::toInt64(make(false, 0x403D, ~std::uint64_t{0})), indefiniteInteger);
  EXPECT_EQ(extended::statusFlags(), extended::flagInvalid);
  extended::clearStatus();
  EXPECT_EQ(extended::toInt64(quietNaN), indefiniteInteger);
  EXPECT_EQ(extended::statusFlags(), extended::flagInvalid);
}

TEST_F(ExtendedSmoke, MemoryImage) {
  const std::uint8_t image[extended::memoryImageSize] = {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0xBF};
  EXPECT_EQ(extended::fromMemoryImage(image), negate(value1));
  std::uint8_t written[extended::memoryImageSize] = {};
  extended::toMemoryImage(negate(value1), written);
  EXPECT_TRUE(std::equal(std::begin(image), std::end(image), std::begin(written)));
  EXPECT_EQ(extended::classify(make(false, 0x3FFF, 0x4000000000000000u)),
            extended::ValueClass::unsupported);
  EXPECT_EQ(extended::classify(make(false, 0, one)), extended::ValueClass::denormal);
}

// Kept out of line so that the trap's reported address lies inside it; the
// store after the call keeps the call from becoming a jump.
volatile std::uint64_t lastSignificand = 0;
[[gnu::noinline]] Extended divideHere(Extended a, Extended b) {
  const Extended result = extended::divide(a, b);
  lastSignificand = result.significand;
  return result;
}

TEST_F(ExtendedSmoke, TrapsWithTheRuntimeControlWord) {
  extended::loadControlWord(defaultFpuControlAtLoad);
  // Masked under this word: underflow, precision, denormal.
  EXPECT_EQ(extended::divide(smallestDenormal, value3), extended::positiveZero);
  EXPECT_TRUE(traps.empty());
  // Division by zero traps, with the caller's address, and the masked result.
  EXPECT_EQ(divideHere(value1, extended::positiveZero), extended::positiveInfinity);
  ASSERT_EQ(traps.size(), 1u);
  EXPECT_EQ(traps[0].code, platform::statusFloatDivideByZero);
  const auto start = reinterpret_cast<std::uintptr_t>(&divideHere);
  EXPECT_GT(traps[0].address, start);
  EXPECT_LT(traps[0].address, start + 4096);
}

// Every operation whose common path (normal operands) can trap, and those
// whose common path is inline, called from one out-of-line place; the store
// keeps each call from becoming a jump.
enum class Call {
  add,
  subtract,
  multiply,
  divide,
  squareRoot,
  roundToInteger,
  toDouble,
  multiplyToUint64,
  compare
};
[[gnu::noinline]] void callHere(Call call, Extended a, Extended b) {
  switch (call) {
    case Call::add:
      lastSignificand = extended::add(a, b).significand;
      break;
    case Call::subtract:
      lastSignificand = extended::subtract(a, b).significand;
      break;
    case Call::multiply:
      lastSignificand = extended::multiply(a, b).significand;
      break;
    case Call::divide:
      lastSignificand = extended::divide(a, b).significand;
      break;
    case Call::squareRoot:
      lastSignificand = extended::squareRoot(a).significand;
      break;
    case Call::roundToInteger:
      lastSignificand = extended::roundToInteger(a).significand;
      break;
    case Call::toDouble:
      lastSignificand = static_cast<std::uint64_t>(extended::toDouble(a));
      break;
    case Call::multiplyToUint64:
      lastSignificand = extended::multiplyToUint64(a, b);
      break;
    case Call::compare:
      lastSignificand = static_cast<std::uint64_t>(extended::compare(a, b));
      break;
  }
}

// A trap from the straight-line path of an operation reports its caller too.
TEST_F(ExtendedSmoke, TrapsFromCommonPathsReportTheCaller) {
  constexpr std::uint16_t precisionUnmasked = defaultFpuControlAtLoad & ~extended::flagPrecision;
  const Extended third = extended::divide(value1, value3);
  const Extended twoAndAHalf = make(false, 0x4000, 0xA000000000000000u);
  struct Case {
    const char* name;
    Call call;
    Extended a;
    Extended b;
    std::uint16_t word;
    std::uint32_t code;
  } const cases[] = {
      {"1 + 1/3", Call::add, value1, third, precisionUnmasked, platform::statusFloatInexactResult},
      {"1 - 1/3", Call::subtract, value1, third, precisionUnmasked,
       platform::statusFloatInexactResult},
      {"1/3 * 5", Call::multiply, third, value5, precisionUnmasked,
       platform::statusFloatInexactResult},
      {"1 / 3", Call::divide, value1, value3, precisionUnmasked,
       platform::statusFloatInexactResult},
      {"sqrt 2", Call::squareRoot, value2, value1, precisionUnmasked,
       platform::statusFloatInexactResult},
      {"round 2.5", Call::roundToInteger, twoAndAHalf, value1, precisionUnmasked,
       platform::statusFloatInexactResult},
      {"1/3 to double", Call::toDouble, third, value1, precisionUnmasked,
       platform::statusFloatInexactResult},
      {"1/3 * 5 to integer", Call::multiplyToUint64, third, value5, precisionUnmasked,
       platform::statusFloatInexactResult},
      {"2.5 * 1 to integer", Call::multiplyToUint64, twoAndAHalf, value1, precisionUnmasked,
       platform::statusFloatInexactResult},
      {"denormal * 5 to integer", Call::multiplyToUint64, smallestDenormal, value5,
       static_cast<std::uint16_t>(defaultFpuControlAtLoad & ~extended::flagDenormal),
       platform::statusFloatDenormalOperand},
      {"largest * 3", Call::multiply, largest, value3, defaultFpuControlAtLoad,
       platform::statusFloatOverflow},
      {"largest + largest", Call::add, largest, largest, defaultFpuControlAtLoad,
       platform::statusFloatOverflow},
      {"largest to double", Call::toDouble, largest, value1, defaultFpuControlAtLoad,
       platform::statusFloatOverflow},
      {"NaN compared", Call::compare, value1, quietNaN, defaultFpuControlAtLoad,
       platform::statusFloatInvalidOperation},
  };
  const auto start = reinterpret_cast<std::uintptr_t>(&callHere);
  for (const Case& c : cases) {
    extended::loadControlWord(c.word);
    traps.clear();
    callHere(c.call, c.a, c.b);
    ASSERT_EQ(traps.size(), 1u) << c.name;
    EXPECT_EQ(traps[0].code, c.code) << c.name;
    EXPECT_GT(traps[0].address, start) << c.name;
    EXPECT_LT(traps[0].address, start + 4096) << c.name;
  }
}

TEST_F(ExtendedSmoke, TrapPriorityWithEverythingUnmasked) {
  extended::loadControlWord(allUnmasked);
  struct Case {
    const char* name;
    Op op;
    Extended a;
    Extended b;
    std::uint32_t code;
    std::uint16_t flags;
  } const cases[] = {
      // Overflow before precision; the processor reports precision only when
      // the wrapped-exponent result is inexact.
      {"largest * 3", Op::multiply, largest, value3, platform::statusFloatOverflow,
       extended::flagOverflow | extended::flagPrecision},
      {"largest * 2", Op::multiply, largest, value2, platform::statusFloatOverflow,
       extended::flagOverflow},
      // Unmasked, any tiny result underflows, even an exact one.
      {"smallest normal / 2", Op::divide, smallestNormal, value2, platform::statusFloatUnderflow,
       extended::flagUnderflow},
      // An unmasked denormal operand stops the operation before it rounds.
      {"denormal * 3", Op::multiply, make(false, 0, 5), value3,
       platform::statusFloatDenormalOperand, extended::flagDenormal},
      {"1 / 3", Op::divide, value1, value3, platform::statusFloatInexactResult,
       extended::flagPrecision},
      {"inf - inf", Op::subtract, extended::positiveInfinity, extended::positiveInfinity,
       platform::statusFloatInvalidOperation, extended::flagInvalid},
  };
  for (const Case& c : cases) {
    traps.clear();
    extended::clearStatus();
    apply(c.op, c.a, c.b);
    EXPECT_EQ(extended::statusFlags(), c.flags) << c.name;
    ASSERT_EQ(traps.size(), 1u) << c.name;
    EXPECT_EQ(traps[0].code, c.code) << c.name;
  }
}

TEST_F(ExtendedSmoke, EnvironmentReset) {
  extended::loadControlWord(defaultFpuControlAtLoad);
  extended::divide(value1, value3);
  EXPECT_EQ(extended::controlWord(), defaultFpuControlAtLoad);
  EXPECT_EQ(extended::statusFlags(), extended::flagPrecision);
  extended::resetEnvironment();
  EXPECT_EQ(extended::controlWord(), allMasked);
  EXPECT_EQ(extended::statusFlags(), 0);
}

}  // namespace
