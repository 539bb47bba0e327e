// textToReal and scaleByPowerOfTen: the worked results bit for bit, the
// grammar and its failure positions, the value returned on failure, the
// boundaries of the integer accumulator, the out-of-range exponents and the
// overflow trap.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "exceptions/exception_codes.h"
#include "extended/extended.h"
#include "tests/textio/number_test_support.h"
#include "textio/number_conversions.h"
#include "textio/power_of_ten.h"

namespace {

using numbertest::bits;
using numbertest::trapCodes;

constexpr Extended one = bits(0x3FFF, 0x8000000000000000);
constexpr Extended five = bits(0x4001, 0xA000000000000000);
constexpr Extended seven = bits(0x4001, 0xE000000000000000);
constexpr Extended positiveZero = bits(0x0000, 0);
constexpr Extended negativeZero = bits(0x8000, 0);
constexpr Extended positiveInfinity = bits(0x7FFF, 0x8000000000000000);
constexpr Extended negativeInfinity = bits(0xFFFF, 0x8000000000000000);

using ReadRealTest = numbertest::TrapRecordingTest;

struct Accepted {
  const char* text;
  Extended value;
};

void expectAccepted(const std::vector<Accepted>& cases) {
  for (const Accepted& c : cases) {
    std::int32_t code = -1;
    EXPECT_EQ(textToReal(c.text, code), c.value) << "'" << c.text << "'";
    EXPECT_EQ(code, 0) << "'" << c.text << "'";
  }
  EXPECT_TRUE(trapCodes.empty());
}

TEST_F(ReadRealTest, WorkedResultsBitForBit) {
  expectAccepted({
      {"0.1", bits(0x3FFB, 0xCCCCCCCCCCCCCCCD)},
      {"1e400", bits(0x452F, 0xDA763FC8CB9FF9E5)},
      {"3.14159265358979323846", bits(0x4000, 0xC90FDAA22168C234)},
      {"123456789012345678901234567890", bits(0x405F, 0xC77487FB61B9F076)},
      {"1e4932", bits(0x7FFE, 0xD72CB2A95C7EF6CD)},
      {"1e-4940", bits(0x0000, 0x0000000663278E62)},
  });
}

TEST_F(ReadRealTest, AcceptedForms) {
  expectAccepted({
      {"-0", negativeZero},
      {"-1e-9999", negativeZero},
      {".5", bits(0x3FFE, 0x8000000000000000)},
      {"5.", five},
      {"5.e3", bits(0x400B, 0x9C40000000000000)},
      {"+3", bits(0x4000, 0xC000000000000000)},
      {"1e-2", bits(0x3FF8, 0xA3D70A3D70A3D70A)},
      {"1E-2", bits(0x3FF8, 0xA3D70A3D70A3D70A)},
      {"e5", positiveZero},
      {".", positiveZero},
      {".e5", positiveZero},
      {"+.", positiveZero},
      {"+.e3", positiveZero},
      {"-.", negativeZero},
      {"007", seven},
      {"00.50", bits(0x3FFE, 0x8000000000000000)},
      {"   -2", bits(0xC000, 0x8000000000000000)},
      {"1e+0", one},
      {"1e0000000000000000000000000000000000000000000000000000000000", one},
      {"99999999999999999999", bits(0x4041, 0xAD78EBC5AC620000)},
      {"1e-5000", positiveZero},
      {"1e5120", positiveInfinity},
      {"-1e9999", negativeInfinity},
  });
}

// The accumulator is an integer until a digit would take it to 2^64; from
// there on every digit is rounded twice, ties to even.
TEST_F(ReadRealTest, AccumulatorAroundTwoToThe64) {
  expectAccepted({
      {"18446744073709551615", bits(0x403E, 0xFFFFFFFFFFFFFFFF)},   // 2^64 - 1, exact
      {"18446744073709551616", bits(0x403F, 0x8000000000000000)},   // 2^64
      {"18446744073709551617", bits(0x403F, 0x8000000000000000)},   // tie, down to even
      {"18446744073709551618", bits(0x403F, 0x8000000000000001)},   // exact
      {"18446744073709551619", bits(0x403F, 0x8000000000000002)},   // tie, up to even
      {"1844674407370955161.9", bits(0x403B, 0xCCCCCCCCCCCCCCD0)},  // (2^64 + 4) / 10
  });
}

TEST_F(ReadRealTest, FailurePositionsAndAccumulator) {
  const struct {
    const char* text;
    std::int32_t position;
    Extended value;  // the unsigned, unscaled accumulator
  } cases[] = {
      {"1,5", 2, one},
      {"1e", 3, one},
      {"1e+", 4, one},
      {"1.5.3", 4, bits(0x4002, 0xF000000000000000)},
      {"--5", 2, positiveZero},
      {"$1F", 1, positiveZero},
      {"12.5x", 5, bits(0x4005, 0xFA00000000000000)},
      {"-12.5x", 6, bits(0x4005, 0xFA00000000000000)},
      {"x", 1, positiveZero},
      {"", 1, positiveZero},
      {"   ", 4, positiveZero},
      {"-", 2, positiveZero},
      {"+ 5", 2, positiveZero},
      {"5 ", 2, five},
      {".e", 3, positiveZero},
      {"1e5x", 4, one},
      {"1ee5", 3, one},
      {"0x10", 2, positiveZero},
      {"5\x80", 2, five},
      {"Nan", 1, positiveZero},
      {"+Inf", 2, positiveZero},
      {"-1.5E+", 7, bits(0x4002, 0xF000000000000000)},
      {"123456789012345678901234567890x", 31, bits(0x405F, 0xC77487FB61B9F076)},
      {"1e99999999999999999999999999x", 29, one},
  };
  for (const auto& c : cases) {
    std::int32_t code = 0;
    EXPECT_EQ(textToReal(c.text, code), c.value) << "'" << c.text << "'";
    EXPECT_EQ(code, c.position) << "'" << c.text << "'";
  }
  std::int32_t code = 0;
  EXPECT_EQ(textToReal(nullptr, code), positiveZero);
  EXPECT_EQ(code, 1);
  EXPECT_TRUE(trapCodes.empty());
}

// A zero stays zero however large its exponent, and exponents beyond 32 bits
// saturate instead of wrapping.
TEST_F(ReadRealTest, OutOfRangeExponents) {
  expectAccepted({
      {"0e5120", positiveZero},
      {"-0e9999", negativeZero},
      {"0.000e99999999999999999999", positiveZero},
      {"1e4294967297", positiveInfinity},
      {"1e4294967296", positiveInfinity},
      {"1e2147483648", positiveInfinity},
      {"1e-2147483648", positiveZero},
      {"1e-99999999999", positiveZero},
      {"-1e99999999999", negativeInfinity},
      {"0.0000000001e100010", positiveInfinity},
      {"0.0000000001e-99995", positiveZero},
  });
}

TEST_F(ReadRealTest, OverflowBelowTheThresholdTraps) {
  for (const char* text : {"1e4933", "1e5000", "-1e5119", "999999999999999999999e4912"}) {
    trapCodes.clear();
    std::int32_t code = -1;
    textToReal(text, code);
    EXPECT_EQ(code, 0) << text;
    ASSERT_EQ(trapCodes.size(), 1u) << text;
    EXPECT_EQ(trapCodes[0], platform::statusFloatOverflow) << text;
  }
}

TEST_F(ReadRealTest, ScaleByPowerOfTen) {
  const struct {
    Extended x;
    std::int32_t n;
    Extended expected;
  } cases[] = {
      {seven, 0, seven},
      {positiveInfinity, 0, positiveInfinity},
      // A quotient by an exact entry gives the integer back; the product by a
      // rounded reciprocal would not.
      {bits(0x4041, 0xAD78EBC5AC620000), -20, one},
      {seven, 5120, positiveInfinity},
      {bits(0x8002, 0xE000000000000000), INT32_MAX, positiveInfinity},
      {positiveZero, INT32_MAX, positiveZero},
      {negativeZero, 5120, negativeZero},
      {seven, -5120, positiveZero},
      {seven, INT32_MIN, positiveZero},
      {seven, INT32_MIN + 1, positiveZero},
  };
  for (const auto& c : cases) EXPECT_EQ(scaleByPowerOfTen(c.x, c.n), c.expected) << c.n;
  EXPECT_TRUE(trapCodes.empty());
}

}  // namespace
