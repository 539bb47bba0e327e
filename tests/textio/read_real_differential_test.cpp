// Differential test against the processor: seeded random decimal texts are
// converted by textToReal and, on the x87 unit itself, by the same sequence of
// operations (per digit a rounded multiplication by 10 and a rounded addition
// of the digit, then the table operations, then the sign). The bits and the
// exception flags must agree, and an overflow must trap in the model exactly
// when the x87 unit raises its overflow flag.
//
// The texts are built from their parts (digits, point position, exponent), so
// the reference needs no parser. The digit counts straddle 2^64, where the
// conversion stops keeping the accumulator as an integer. The sweep labelled
// `long` converts 10^7 texts, 10^5 from each of 100 seeds, or as many of them
// as QUADSOLVE_LONG_CASES allows (tests/long_sweep.h): a hundred at least,
// for every boundary to be reached.
//
// The proof labelled `proof` reads every finite float32 value in exponent form
// as std::to_chars writes it: the library only provides the texts, the x87
// unit the expected results.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <random>
#include <string>

#include "extended/extended.h"
#include "tests/long_sweep.h"
#include "tests/textio/number_test_support.h"
#include "textio/number_conversions.h"

namespace {

using numbertest::trapCodes;

struct Sample {
  bool negative = false;
  std::string digits;  // the significand's digits, in order
  int pointAt = -1;    // digits before the point; -1: no point
  bool hasExponent = false;
  std::int64_t exponent = 0;
  std::string text;
};

// Random texts: 1 to 40 digits (runs of 9s and zeros now and then), an
// optional point, an optional exponent from -5200 to 5200 with the spellings
// the grammar allows.
[[maybe_unused]] Sample randomSample(std::mt19937_64& random) {
  auto below = [&](std::uint64_t n) { return static_cast<int>(random() % n); };
  Sample s;
  const int length = 1 + below(40);
  const int style = below(8);
  for (int i = 0; i < length; ++i) {
    char digit = static_cast<char>('0' + below(10));
    if (style == 0) digit = '9';
    if (style == 1 && i > 0 && below(3) != 0) digit = '0';
    if (style == 2 && i < length / 2) digit = '0';
    s.digits += digit;
  }
  if (below(3) != 0) s.pointAt = below(length + 1);
  if (below(4) != 0) {
    s.hasExponent = true;
    const int range = below(4);
    if (range == 0) {
      s.exponent = below(10401) - 5200;
    } else if (range == 1) {
      s.exponent = (below(2) == 0 ? 1 : -1) * (4890 + below(80));  // near the ends of the range
    } else if (range == 2) {
      s.exponent = (below(2) == 0 ? 1 : -1) * (5080 + below(120));  // near the threshold
    } else {
      s.exponent = below(81) - 40;
    }
  }
  s.negative = below(3) == 0;

  if (s.negative) {
    s.text += '-';
  } else if (below(6) == 0) {
    s.text += '+';
  }
  for (int i = 0; i < length; ++i) {
    if (i == s.pointAt) s.text += '.';
    s.text += s.digits[static_cast<std::size_t>(i)];
  }
  if (s.pointAt == length) s.text += '.';
  if (s.hasExponent) {
    s.text += below(2) == 0 ? 'e' : 'E';
    if (s.exponent < 0) {
      s.text += '-';
    } else if (below(3) == 0) {
      s.text += '+';
    }
    s.text += std::string(static_cast<std::size_t>(below(3) == 0 ? below(3) : 0), '0');
    s.text += std::to_string(s.exponent < 0 ? -s.exponent : s.exponent);
  }
  return s;
}

#if QUADSOLVE_HAVE_X87

// A conversion's value and the exception flags it raised.
struct Conversion {
  Extended value;
  std::uint16_t flags = 0;
  bool operator==(const Conversion&) const = default;
  bool overflow() const { return (flags & extended::flagOverflow) != 0; }
};

std::string describe(const Conversion& c) {
  char flags[16];
  std::snprintf(flags, sizeof flags, " flags 0x%02X", c.flags);
  return ::testing::PrintToString(c.value) + flags;
}

// The conversion on the x87 unit: per digit a rounded multiplication by 10
// and a rounded addition, then the table operations, then the sign.
Conversion x87Conversion(const Sample& s) {
  numbertest::X87Environment x87;
  volatile long double accumulator = 0.0L;
  for (char digit : s.digits) {
    accumulator = accumulator * 10.0L;
    accumulator = accumulator + static_cast<long double>(digit - '0');
  }
  const std::int64_t fractionDigits =
      s.pointAt < 0 ? 0 : static_cast<std::int64_t>(s.digits.size()) - s.pointAt;
  long double value = numbertest::scaleX87(accumulator, s.exponent - fractionDigits);
  if (s.negative) value = -value;
  return Conversion{numbertest::toModel(value), x87.flags()};
}

// textToReal in the program's environment (an overflow trap recorded in
// trapCodes), from cleared flags.
Conversion modelConversion(const Sample& s, std::int32_t& code) {
  extended::clearStatus();
  trapCodes.clear();
  const Extended value = textToReal(s.text.c_str(), code);
  return Conversion{
      value, static_cast<std::uint16_t>(extended::statusFlags() & extended::exceptionMaskBits)};
}

void compareWithX87(std::uint64_t seed, int count) {
  numbertest::enterProgramEnvironment();
  std::mt19937_64 random(seed);
  int mismatches = 0;
  // How many samples reached each boundary, so that a sweep that misses one
  // fails instead of passing vacuously.
  int overflows = 0;
  int denormals = 0;
  int infinities = 0;
  int wideAccumulators = 0;
  for (int i = 0; i < count && mismatches < 20; ++i) {
    const Sample s = randomSample(random);
    std::int32_t code = -1;
    const Conversion model = modelConversion(s, code);
    const Conversion expected = x87Conversion(s);
    ASSERT_EQ(code, 0) << s.text;
    const Extended value = model.value;
    overflows += expected.overflow() ? 1 : 0;
    denormals += value.exponentField() == 0 && value.significand != 0 ? 1 : 0;
    infinities += value.exponentField() == extended::maxExponentField && !expected.overflow();
    wideAccumulators +=
        s.digits.size() > 20 && s.digits.find_first_not_of('0') < s.digits.size() - 20;
    if (model != expected || trapCodes.empty() == expected.overflow()) {
      ++mismatches;
      ADD_FAILURE() << "seed " << seed << " sample " << i << " '" << s.text << "': model "
                    << describe(model) << " x87 " << describe(expected) << " traps "
                    << trapCodes.size();
    }
  }
  numbertest::leaveProgramEnvironment();
  const int expectedShare = count / 1000;
  EXPECT_GT(overflows, expectedShare);
  EXPECT_GT(denormals, expectedShare);
  EXPECT_GT(infinities, expectedShare);
  EXPECT_GT(wideAccumulators, expectedShare);
}

// A seed can be given to rerun a failure: QUADSOLVE_SEED=...
std::uint64_t seedOr(std::uint64_t fallback) {
  const char* text = std::getenv("QUADSOLVE_SEED");
  return text != nullptr ? std::strtoull(text, nullptr, 10) : fallback;
}

TEST(ReadRealDifferential, SeededTextsAgainstX87) {
  compareWithX87(seedOr(20261207), 100000);
}

// Long sweep (CTest label `long`).
TEST(ReadRealDifferentialLong, SeededTextsAgainstX87) {
  constexpr std::uint64_t perSeed = 100000;
  const std::uint64_t total = longsweep::cases(100 * perSeed);
  // A cut-short sweep shares its texts evenly among the seeds it needs, so that
  // none has too few to reach every boundary.
  const std::uint64_t seeds = (total + perSeed - 1) / perSeed;
  for (std::uint64_t seed = 1; seed <= seeds; ++seed) {
    const std::uint64_t count = total / seeds + (seed <= total % seeds ? 1 : 0);
    compareWithX87(seed * 7919, static_cast<int>(count));
  }
}

// The parts of a text in std::to_chars' exponent form: an optional "-", digits
// with at most one ".", "e" and a signed exponent.
Sample exponentFormSample(const char* text) {
  Sample s;
  s.text = text;
  s.negative = *text == '-';
  const char* p = s.negative ? text + 1 : text;
  for (; *p != 'e'; ++p) {
    if (*p == '.') {
      s.pointAt = static_cast<int>(s.digits.size());
    } else {
      s.digits += *p;
    }
  }
  s.hasExponent = true;
  s.exponent = std::strtoll(p + 1, nullptr, 10);
  return s;
}

// Every finite float32 value in exponent form, with 9 significant digits and
// with the fewest that read back to the same float32.
TEST(ReadRealProof, EveryFiniteFloat32) {
  numbertest::enterProgramEnvironment();
  numbertest::Float32Proof proof("textToReal");
  const std::uint64_t mismatches = proof.run([&](std::uint32_t bits) {
    const float value = std::bit_cast<float>(bits);
    if (!std::isfinite(value)) return 0;
    char nineDigits[24];
    char shortest[24];
    const auto scientific = std::chars_format::scientific;
    *std::to_chars(nineDigits, std::end(nineDigits) - 1, value, scientific, 8).ptr = 0;
    *std::to_chars(shortest, std::end(shortest) - 1, value, scientific).ptr = 0;
    for (const char* text : {nineDigits, shortest}) {
      const Sample s = exponentFormSample(text);
      std::int32_t code = -1;
      const Conversion model = modelConversion(s, code);
      const Conversion expected = x87Conversion(s);
      if (code != 0 || model != expected) {
        proof.mismatch("'" + s.text + "'", describe(expected),
                       describe(model) + " code " + std::to_string(code));
      }
    }
    return 2;
  });
  numbertest::leaveProgramEnvironment();
  EXPECT_EQ(mismatches, 0u);
}

#else

TEST(ReadRealDifferential, SeededTextsAgainstX87) {
  GTEST_SKIP() << "needs an x87 unit";
}
TEST(ReadRealDifferentialLong, SeededTextsAgainstX87) {
  GTEST_SKIP() << "needs an x87 unit";
}

#endif

}  // namespace
