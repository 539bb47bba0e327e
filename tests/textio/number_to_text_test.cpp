// The number texts byte for byte: the decimal rounding of the solver's format,
// the fixed and exponent forms, the field rule inside the conversions, the
// special words, and the two conversion steps on their own.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "extended/extended.h"
#include "extended/fpu_environment.h"
#include "tests/textio/number_test_support.h"
#include "textio/digit_arithmetic.h"
#include "textio/number_conversions.h"

namespace {

using numbertest::intText;
using numbertest::realText;

constexpr std::int32_t int32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t int32Max = std::numeric_limits<std::int32_t>::max();
const double denormMin = std::numeric_limits<double>::denorm_min();
const double twoTo120 = std::ldexp(1.0, 120);
const double belowTwoTo120 = std::nextafter(twoTo120, 0.0);

std::string spaces(std::size_t count) {
  return std::string(count, ' ');
}

// A value of a table: a double, widened exactly, or an extended value.
struct Value {
  Value(double d) : x(extended::fromDouble(d)) {}  // NOLINT: implicit by design
  Value(Extended e) : x(e) {}                      // NOLINT
  Extended x;
};

struct RealCase {
  Value value;
  std::int32_t width;
  std::int32_t decimals;
  std::string text;
};

void expectTexts(const std::vector<RealCase>& cases) {
  for (const RealCase& c : cases) {
    EXPECT_EQ(realText(c.value.x, c.width, c.decimals), c.text)
        << ::testing::PrintToString(c.value.x) << " width " << c.width << " decimals "
        << c.decimals;
  }
}

// ---- The solver's format: width 0, 2 decimals ----

TEST(FixedForm, DecimalRoundingByTheFirstDroppedDigit) {
  expectTexts({
      {0.125, 0, 2, "0.13"},  // a tie in the intermediate rounds away from zero
      {0.005, 0, 2, "0.01"},
      {0.015, 0, 2, "0.02"},  // held below, but 0.01500000000000000 after 17 decimals
      {0.045, 0, 2, "0.05"},
      {0.285, 0, 2, "0.28"},       // 0.28499999999999998
      {2.675, 0, 2, "2.67"},       // 2.67499999999999982
      {1.005, 0, 2, "1.00"},       // 1.00499999999999989
      {0.995, 0, 2, "1.00"},       // carry into the units
      {9.995, 0, 2, "9.99"},       // 9.99499999999999922
      {99.995, 0, 2, "100.00"},    // scaled: 9.9995…, the carry adds a digit
      {999.995, 0, 2, "1000.00"},  // positions 099999|5
  });
}

TEST(FixedForm, SignComesFromTheSignBit) {
  expectTexts({
      {-0.001, 0, 2, "-0.00"},
      {-0.0, 0, 2, "-0.00"},
      {0.0, 0, 2, "0.00"},
      {-1e-300, 0, 2, "-0.00"},
      {denormMin, 0, 2, "0.00"},
      {-denormMin, 0, 2, "-0.00"},
      {extended::make(true, 0, 1), 0, 2, "-0.00"},  // the smallest extended
      {-0.4, 0, 0, "-0"},
  });
}

TEST(FixedForm, FieldWidth) {
  expectTexts({
      {3.0, 8, 2, "    3.00"},
      {-3.0, 8, 2, "   -3.00"},             // the sign stands next to the digits
      {123.456, 2, 2, "123.46"},            // never cut
      {1.5, 300, 2, spaces(251) + "1.50"},  // 255 inside the conversion
      {1.5, 5, 2, " 1.50"},
      {1.5, 4, 2, "1.50"},
      {1.5, -4, 2, "1.50"},
      {1.5, int32Min, 2, "1.50"},
      {1.5, int32Max, 2, spaces(251) + "1.50"},
  });
}

TEST(FixedForm, NoDecimals) {
  expectTexts({
      {2.5, 0, 0, "3"},
      {0.5, 0, 0, "1"},
      {-1.5, 0, 0, "-2"},
      {99.5, 0, 0, "100"},
      {0.4, 0, 0, "0"},
  });
}

TEST(FixedForm, DigitsBeyondTheEighteenth) {
  expectTexts({
      {1e20, 0, 2, "100000000000000000000.00"},
      {0.1, 0, 20, "0.10000000000000001000"},
      {1.0, 0, 300, "1." + std::string(216, '0')},
      {1.0, 0, int32Max, "1." + std::string(216, '0')},
      {1.0, 0, 215, "1." + std::string(215, '0')},
  });
}

TEST(FixedForm, LongestTextFillsTheCountedText) {
  // 37 integer digits, the sign, the point and 216 decimals.
  const std::string text = realText(extended::fromDouble(-belowTwoTo120), 0, 216);
  ASSERT_EQ(text.size(), 255u);
  EXPECT_EQ(text.substr(0, 40), "-1329227995784915725000000000000000000.0");
  EXPECT_EQ(realText(extended::fromDouble(-belowTwoTo120), 255, 216), text);
}

// ---- The switch at 2^120 ----

TEST(FormSwitch, FixedFormEndsAtTwoToThe120) {
  expectTexts({
      {belowTwoTo120, 0, 2, "1329227995784915725000000000000000000.00"},
      {twoTo120, 0, 2, " 1.3E+0036"},
      {twoTo120, 0, 0, " 1.3E+0036"},
      {twoTo120, 0, 216, " 1.3E+0036"},
      {twoTo120, 14, 30, " 1.32923E+0036"},  // decimals ignored, the width counts
      {1e300, 0, 2, " 1.0E+0300"},
      {-1e308, 0, 2, "-1.0E+0308"},
      {std::numeric_limits<double>::max(), 0, 2, " 1.8E+0308"},
      {extended::make(false, 0x7FFE, ~std::uint64_t{0}), 0, 2, " 1.2E+4932"},
  });
}

// ---- Exponent form ----

TEST(ExponentForm, DigitsFromTheWidth) {
  expectTexts({
      {1234.5678, 0, -1, " 1.2E+0003"},
      {1234.5678, 20, -1, " 1.23456780000E+0003"},
      {1.0, 11, -1, " 1.00E+0000"},
      {1.0, 30, -1, "     1.00000000000000000E+0000"},  // 18 digits, 4 spaces of fill
      {1.0, 26, -1, " 1.00000000000000000E+0000"},
      {1.0, 10, -1, " 1.0E+0000"},
      {1.0, int32Min, -1, " 1.0E+0000"},
      {1.0, int32Max, int32Min, spaces(229) + " 1.00000000000000000E+0000"},
      {-0.00123, 12, -1, "-1.230E-0003"},
      {0.0, 0, -1, " 0.0E+0000"},
      {-0.0, 0, -1, "-0.0E+0000"},
      {denormMin, 0, -1, " 4.9E-0324"},
      {extended::make(true, 0, 1), 0, -1, "-3.6E-4951"},
      {extended::make(false, 0x7FFE, ~std::uint64_t{0}), 0, -1, " 1.2E+4932"},
      {std::numeric_limits<double>::max(), 26, -1, " 1.79769313486231571E+0308"},
  });
}

// Rounded once, by the first digit not shown: at position N - 1 when the
// scaled value is 10 or more, else at position N.
TEST(ExponentForm, RoundsOnceByTheFirstHiddenDigit) {
  expectTexts({
      {12.9, 0, -1, " 1.3E+0001"},
      {126.0, 0, -1, " 1.3E+0002"},
      {15.96, 0, -1, " 1.6E+0001"},
      {12.49, 0, -1, " 1.2E+0001"},  // no double rounding through the 9
      {129.0, 0, -1, " 1.3E+0002"},
      {12.5, 11, -1, " 1.25E+0001"},
      {12.5, 0, -1, " 1.3E+0001"},
      {1.29, 0, -1, " 1.3E+0000"},
      {9.96, 0, -1, " 1.0E+0001"},  // the carry reaches position 0
      {19.99, 0, -1, " 2.0E+0001"},
      {1.25, 0, -1, " 1.3E+0000"},
      {1.24, 0, -1, " 1.2E+0000"},
  });
}

// ---- Special values ----

TEST(SpecialValues, FixedWords) {
  expectTexts({
      {extended::positiveInfinity, 6, 2, "  +Inf"},
      {extended::negativeInfinity, 0, 2, "-Inf"},
      {extended::positiveInfinity, 0, -1, "+Inf"},
      {extended::negativeInfinity, int32Max, -1, spaces(251) + "-Inf"},
  });
  // Quiet and signalling NaNs of either sign, a pseudo-infinity, a pseudo-NaN.
  for (const std::uint64_t significand :
       {0xC000000000000000u, 0x8000000000000001u, std::uint64_t{0}, 0x4000000000000000u}) {
    for (const bool negative : {false, true}) {
      const Value nan = extended::make(negative, 0x7FFF, significand);
      expectTexts({{nan, 0, 2, "Nan"}, {nan, 5, -1, "  Nan"}, {nan, int32Min, int32Min, "Nan"}});
    }
  }
}

TEST(SpecialValues, NonCanonicalEncodingsWriteTheNumberTheyHold) {
  // Unnormals, pseudo-zeros and pseudo-denormals are written as the normal,
  // zero or denormal of the same value, never passed to the arithmetic.
  struct {
    Extended odd;
    Extended canonical;
  } pairs[] = {
      {extended::make(false, 16383 + 3, 0x1000000000000000u), extended::fromDouble(1.0)},
      {extended::make(true, 16383 + 70, 0x0000000000000ABCu), extended::fromDouble(-0xABC * 128.0)},
      {extended::make(false, 1234, 0), extended::positiveZero},
      {extended::make(true, 1, 0), extended::negativeZero},
      {extended::make(false, 0, 0x8000000000000001u),
       extended::make(false, 1, 0x8000000000000001u)},
      {extended::make(false, 3, 0x0000000000000001u), extended::make(false, 0, 4)},
  };
  for (const auto& pair : pairs) {
    for (const std::int32_t decimals : {-1, 0, 2, 216}) {
      for (const std::int32_t width : {0, 30}) {
        EXPECT_EQ(realText(pair.odd, width, decimals), realText(pair.canonical, width, decimals));
      }
    }
  }
}

TEST(SpecialValues, NoExceptionThatTheProgramTrapsOn) {
  // Every encoding, canonical or not, converts without an invalid operation,
  // a division by zero or an overflow; the words need no arithmetic at all.
  constexpr std::uint16_t trapping =
      extended::flagInvalid | extended::flagZeroDivide | extended::flagOverflow;
  for (std::uint32_t field = 0; field <= 0x7FFF; field += field < 16500 && field > 16300 ? 1 : 7) {
    for (const std::uint64_t significand : {std::uint64_t{0x8000000000000000u}, ~std::uint64_t{0},
                                            std::uint64_t{1}, std::uint64_t{0x4000000000000000u}}) {
      for (const std::int32_t decimals : {-1, 2, 216}) {
        const Extended x =
            extended::make(field % 2 == 0, static_cast<std::uint16_t>(field), significand);
        extended::clearStatus();
        realText(x, 0, decimals);
        const std::uint16_t flags = extended::statusFlags();
        EXPECT_EQ(flags & trapping, 0) << "field " << field << " significand " << significand;
        if (field == 0x7FFF) {
          EXPECT_EQ(flags, 0);
        }
      }
    }
  }
}

// ---- Integers ----

TEST(IntegerText, DigitsSignAndField) {
  EXPECT_EQ(intText(0, 0), "0");
  EXPECT_EQ(intText(-1, 0), "-1");
  EXPECT_EQ(intText(int32Min, 0), "-2147483648");
  EXPECT_EQ(intText(int32Max, 0), "2147483647");
  EXPECT_EQ(intText(42, 5), "   42");
  EXPECT_EQ(intText(12345, 3), "12345");
  EXPECT_EQ(intText(7, -4), "7");
  EXPECT_EQ(intText(7, int32Min), "7");
  EXPECT_EQ(intText(7, 300), spaces(254) + "7");
  EXPECT_EQ(intText(int32Min, int32Max), spaces(244) + "-2147483648");
}

// ---- The conversion steps ----

TEST(DecimalExponent, BringsEveryBinaryExponentIntoOneToSixteen) {
  const Extended one = extended::fromDouble(1.0);
  const Extended sixteen = extended::fromDouble(16.0);
  for (std::uint32_t field = 0; field < 0x7FFF; ++field) {
    for (const std::uint64_t significand : {0x8000000000000000u, 0xFFFFFFFFFFFFFFFFu}) {
      const Extended x =
          field == 0 ? extended::make(false, 0, significand >> 1)
                     : extended::make(false, static_cast<std::uint16_t>(field), significand);
      const DecimalScaled scaled = decimalExponent(x);
      ASSERT_NE(extended::compare(scaled.scaled, one), extended::Comparison::less)
          << "field " << field;
      ASSERT_EQ(extended::compare(scaled.scaled, sixteen), extended::Comparison::less)
          << "field " << field;
      // x = scaled × 10^k within the rounding of the scaling steps.
      const double binaryExponent = field == 0 ? -16382.0 : static_cast<double>(field) - 16383;
      const double log10x =
          binaryExponent * std::log10(2.0) + std::log10(static_cast<double>(significand) * 0x1p-63);
      ASSERT_NEAR(scaled.exponent, log10x, 1.3) << "field " << field;
    }
  }
}

TEST(DecimalExponent, ZeroAndTheEdgesOfTheRange) {
  const struct {
    Extended x;
    std::int32_t exponent;
    Extended scaled;
  } cases[] = {
      {extended::positiveZero, 0, extended::positiveZero},
      {extended::fromDouble(1.0), 0, extended::fromDouble(1.0)},
      {extended::fromDouble(15.99), 0, extended::fromDouble(15.99)},
      {extended::fromDouble(100.0), 1, extended::fromDouble(10.0)},
  };
  for (const auto& c : cases) {
    const DecimalScaled scaled = decimalExponent(c.x);
    EXPECT_EQ(scaled.exponent, c.exponent);
    EXPECT_EQ(scaled.scaled, c.scaled);
  }
}

TEST(GenerateDigits, PositionsAndDecimalRounding) {
  const auto digitsOf = [](double m, std::int32_t count) {
    std::string digits(static_cast<std::size_t>(count) + 1, '?');
    generateDigits(extended::fromDouble(m), count, digits.data());
    return digits;
  };
  EXPECT_EQ(digitsOf(0.0, 3), "0000");
  EXPECT_EQ(digitsOf(1.5, 18), "0150000000000000000");
  EXPECT_EQ(digitsOf(1.5, 20), "015000000000000000000");
  EXPECT_EQ(digitsOf(12.5, 18), "1250000000000000000");  // position 0 holds the carry
  EXPECT_EQ(digitsOf(0.1, 18), "0010000000000000001");   // 17 decimals, the last rounded
  EXPECT_EQ(digitsOf(0.1, 17), "001000000000000000");    // dropped 1: no change
  EXPECT_EQ(digitsOf(9.9999, 3), "1000");                // carry runs to position 0
  EXPECT_EQ(digitsOf(9.9994, 4), "09999");
  EXPECT_EQ(digitsOf(15.96, 2), "160");  // the carry stays inside
  EXPECT_EQ(digitsOf(0.5, 1), "01");     // a dropped 5 rounds up
  EXPECT_EQ(digitsOf(0.4999, 1), "00");
  // The last digit: m × 10^17 rounded to an integer, ties to even.
  EXPECT_EQ(digitsOf(std::ldexp(1.0, -57), 18), "0000000000000000001");  // 0.69… rounds up
  EXPECT_EQ(digitsOf(std::ldexp(1.0, -58), 18), "0000000000000000000");  // 0.35 rounds down
  EXPECT_EQ(digitsOf(std::ldexp(1.0, -18), 18), "0000000381469726562");  // …562.5
  EXPECT_EQ(digitsOf(std::ldexp(3.0, -18), 18), "0000001144409179688");  // …687.5
  EXPECT_EQ(digitsOf(1.0, maxDigitCount), "01" + std::string(maxDigitCount - 1, '0'));
}

// Division by a power of ten by one multiplication, against the division: seeded
// dividends below 2^61, multiples of the power and the values one below them.
TEST(GenerateDigits, DivisionByAPowerOfTenAsTheDivisionGivesIt) {
  std::mt19937_64 random(20261208);
  for (int i = 0; i < 300000; ++i) {
    const auto n = static_cast<std::int32_t>(i % (significantDigits + 1));
    const std::uint64_t power = powersOfTen[static_cast<std::size_t>(n)];
    std::uint64_t x = random() % largestQuotientDividend;
    if (i % 3 != 0 && x >= power) x = x / power * power - (i % 3 == 2 ? 1 : 0);
    if (i < 2 * (significantDigits + 1)) x = i % 2 == 0 ? largestQuotientDividend - 1 : power;
    ASSERT_EQ(divideByPowerOfTen(x, n), x / power) << x << " / 10^" << n;
  }
}

}  // namespace
