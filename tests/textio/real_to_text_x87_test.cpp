// realToText against a reference that runs the same steps on the processor's
// own x87 unit: the scaling by table powers of ten, the product by 10^17, the
// rounding to an integer, and then the digit positions, their decimal rounding
// with the carry running leftwards, and the layout of the text, all spelled
// out character by character. The reference scales with the conversions'
// tables, which power_of_ten_table_test checks against exact powers.
//
// realToText runs as in the program: under the control word of start-up, in
// which invalid operation, division by zero and overflow trap, with a trap
// hook that records. A case matches when the texts are the same, realToText
// raised exactly the exception flags that the reference's steps raised on the
// x87 unit, and it met no trap.
//
// The normal run checks some tens of thousands of seeded random cases; the
// sweep labelled `long` checks 20 million (at most QUADSOLVE_LONG_CASES, see
// tests/long_sweep.h), and the proof labelled `proof` every float32 value.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "extended/extended.h"
#include "extended/fpu_environment.h"
#include "tests/long_sweep.h"
#include "tests/textio/number_test_support.h"
#include "textio/number_conversions.h"

#if QUADSOLVE_HAVE_X87

namespace {

using numbertest::scaleX87;
using numbertest::toLongDouble;
using numbertest::toModel;

std::uint16_t signExponentOf(long double x) {
  return toModel(x).signExponent;
}

std::uint64_t significandOf(long double x) {
  return toModel(x).significand;
}

long double fromBits(std::uint16_t signExponent, std::uint64_t significand) {
  return toLongDouble(Extended{significand, signExponent});
}

long double roundToIntegerX87(long double x) {
  asm("frndint" : "+t"(x));
  return x;
}

// ---- The reference conversion ----

struct Scaled {
  int k;
  long double m;
};

Scaled decimalExponentX87(long double x) {
  int k = 0;
  for (;;) {
    const std::uint16_t field = signExponentOf(x) & 0x7FFF;
    if (field == 0 && significandOf(x) == 0) break;
    const int e = static_cast<int>(field) - 16383;
    const int d = static_cast<int>(std::floor(e * 19728.0 / 65536.0));
    if (d == 0) break;
    k += d;
    x = scaleX87(x, -d);
  }
  return {k, x};
}

// Positions 0..18 of round(m × 10^17), unrounded.
std::string unroundedPositions(long double m) {
  long double y = roundToIntegerX87(m * 1e17L);
  std::string positions(19, '0');
  if (y >= 1e18L) {
    y -= 1e18L;
    positions[0] = '1';
  }
  auto integer = static_cast<std::uint64_t>(y);
  for (int i = 18; i >= 1; --i) {
    positions[static_cast<std::size_t>(i)] = static_cast<char>('0' + integer % 10);
    integer /= 10;
  }
  return positions;
}

// Positions 0..count, rounded at `count` by the digit at count + 1.
std::string roundedPositions(std::string positions, int count) {
  if (count >= 18) return positions + std::string(static_cast<std::size_t>(count - 18), '0');
  positions.resize(static_cast<std::size_t>(count) + 2);
  if (positions[static_cast<std::size_t>(count) + 1] >= '5') {
    for (int i = count;; --i) {
      char& digit = positions[static_cast<std::size_t>(i)];
      if (digit == '9') {
        digit = '0';
      } else {
        ++digit;
        break;
      }
    }
  }
  positions.resize(static_cast<std::size_t>(count) + 1);
  return positions;
}

std::string rightJustified(const std::string& body, int width) {
  const int cap = std::min(width, 255);
  if (cap <= static_cast<int>(body.size())) return body;
  return std::string(static_cast<std::size_t>(cap) - body.size(), ' ') + body;
}

std::string exponentFormX87(bool negative, Scaled s, int width) {
  const int cap = std::min(width, 255);
  const int n = std::clamp(cap - 8, 2, 18);
  const std::string unrounded = unroundedPositions(s.m);
  std::string digits;
  int e = s.k;
  if (unrounded[0] == '1') {
    // Already 10 or more: rounded once by the first digit not shown.
    digits = roundedPositions(unrounded, n - 1);
    e = s.k + 1;
  } else {
    const std::string positions = roundedPositions(unrounded, n);
    if (positions[0] == '1') {
      digits = positions.substr(0, static_cast<std::size_t>(n));
      e = s.k + 1;
    } else {
      digits = positions.substr(1, static_cast<std::size_t>(n));
    }
  }
  std::string body(1, negative ? '-' : ' ');
  body += digits[0];
  body += '.';
  body += digits.substr(1);
  body += 'E';
  body += e >= 0 ? '+' : '-';
  const int exponentMagnitude = std::abs(e);
  for (const int place : {1000, 100, 10, 1}) {
    body += static_cast<char>('0' + exponentMagnitude / place % 10);
  }
  return rightJustified(body, width);
}

std::string referenceText(long double value, int width, int decimals) {
  const bool negative = (signExponentOf(value) & 0x8000) != 0;
  const std::uint16_t field = signExponentOf(value) & 0x7FFF;
  if (field == 0x7FFF) {
    if (significandOf(value) == 0x8000000000000000u) {
      return rightJustified(negative ? "-Inf" : "+Inf", width);
    }
    return rightJustified("Nan", width);
  }
  const long double magnitude = negative ? -value : value;
  if (decimals < 0) return exponentFormX87(negative, decimalExponentX87(magnitude), width);
  decimals = std::min(decimals, 216);
  Scaled s{0, magnitude};
  if (!(magnitude < 10.0L)) {
    s = decimalExponentX87(magnitude);
    if (s.k > 35) return exponentFormX87(negative, s, width);
  }
  const int count = s.k + 1 + decimals;
  const std::string digits = roundedPositions(unroundedPositions(s.m), count);
  std::string body = negative ? "-" : "";
  const std::size_t first = digits[0] == '1' ? 0 : 1;
  body += digits.substr(first, static_cast<std::size_t>(s.k) + 2 - first);
  if (decimals > 0) {
    body += '.';
    body.append(digits, static_cast<std::size_t>(s.k) + 2);
  }
  return rightJustified(body, width);
}

// ---- The two sides ----

// A text and the exception flags raised in writing it; for realToText also
// the codes of the traps it met.
struct Written {
  std::string text;
  std::uint16_t flags = 0;
  std::vector<std::uint32_t> traps;
  bool operator==(const Written&) const = default;
};

std::string shown(const Written& written) {
  char flags[16];
  std::snprintf(flags, sizeof flags, " flags 0x%02X", written.flags);
  std::string text = "[" + written.text + "]" + flags;
  for (const std::uint32_t code : written.traps) {
    char trap[24];
    std::snprintf(trap, sizeof trap, " trap 0x%08X", code);
    text += trap;
  }
  return text;
}

void PrintTo(const Written& written, std::ostream* os) {
  *os << shown(written);
}

// The reference on the x87 unit, from cleared flags.
Written reference(long double value, int width, int decimals) {
  numbertest::X87Environment x87;
  std::string text = referenceText(value, width, decimals);
  return Written{std::move(text), x87.flags(), {}};
}

// realToText in the program's environment, from cleared flags.
Written product(long double value, int width, int decimals) {
  numbertest::enterProgramEnvironment();
  std::string text = numbertest::realText(toModel(value), width, decimals);
  Written written{std::move(text),
                  static_cast<std::uint16_t>(extended::statusFlags() & extended::exceptionMaskBits),
                  numbertest::trapCodes};
  numbertest::leaveProgramEnvironment();
  return written;
}

std::string describe(long double value, int width, int decimals) {
  return ::testing::PrintToString(toModel(value)) + " width " + std::to_string(width) +
         " decimals " + std::to_string(decimals);
}

// ---- Seeded cases ----

class CaseSource {
 public:
  explicit CaseSource(std::uint64_t seed) : random_(seed) {}

  long double value() {
    switch (random_() % 6) {
      case 0: {  // any double, every exponent
        const std::uint64_t bits = random_();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
      }
      case 1: {  // doubles where the fixed form has work to do
        const int exponent = static_cast<int>(random_() % 200) - 70;
        return std::ldexp(1.0 + static_cast<double>(random_() >> 11) * 0x1p-53, exponent) *
               (random_() % 2 != 0 ? -1.0 : 1.0);
      }
      case 2: {  // short decimals held as doubles: the rounding ties
        const double whole = static_cast<double>(random_() % 10'000'000);
        const double divisor = std::pow(10.0, static_cast<double>(random_() % 8));
        return whole / divisor;
      }
      case 3: {  // any canonical extended value: normal, denormal or zero
        const auto field = static_cast<std::uint16_t>(random_() % 0x7FFF);
        std::uint64_t significand = random_();
        if (field != 0) {
          significand |= 0x8000000000000000u;
        } else {
          significand &= 0x7FFFFFFFFFFFFFFFu;
        }
        return fromBits(static_cast<std::uint16_t>(field | (random_() % 2) << 15), significand);
      }
      case 4: {  // extended values near the decimal range of the fixed form
        const auto field = static_cast<std::uint16_t>(16383 - 64 + random_() % 200);
        return fromBits(field, random_() | 0x8000000000000000u);
      }
      default: {  // near 2^120, where the fixed form gives way
        const auto field = static_cast<std::uint16_t>(16383 + 118 + random_() % 4);
        return fromBits(field, random_() | 0x8000000000000000u);
      }
    }
  }

  int width() { return static_cast<int>(random_() % 46) - 5; }  // -5..40

  int decimals() {
    if (random_() % 8 == 0) return 216 + static_cast<int>(random_() % 100);  // capped
    return static_cast<int>(random_() % 34) - 3;                             // -3..30
  }

 private:
  std::mt19937_64 random_;
};

void runSeededCases(std::uint64_t seed, int cases) {
  CaseSource source(seed);
  int failures = 0;
  for (int i = 0; i < cases && failures < 20; ++i) {
    const long double value = source.value();
    const int width = source.width();
    const int decimals = source.decimals();
    const Written expected = reference(value, width, decimals);
    const Written actual = product(value, width, decimals);
    if (expected != actual) {
      ++failures;
      ADD_FAILURE() << describe(value, width, decimals) << "\n  x87:     " << shown(expected)
                    << "\n  product: " << shown(actual);
    }
  }
}

TEST(RealToTextAgainstX87, AroundTwoToThe120) {
  const long double twoTo120 = std::ldexp(1.0L, 120);
  std::vector<long double> values = {
      twoTo120,
      std::nextafter(static_cast<double>(twoTo120), 0.0),
      std::nextafter(static_cast<double>(twoTo120), INFINITY),
      fromBits(16383 + 119, 0xFFFFFFFFFFFFFFFFu),  // the largest extended below 2^120
      fromBits(16383 + 120, 0x8000000000000001u),
  };
  for (const long double value : std::vector<long double>(values)) values.push_back(-value);
  for (const long double value : values) {
    for (const int decimals : {-1, 0, 2, 30, 216, 300}) {
      for (const int width : {-5, 0, 10, 11, 20, 26, 27, 40, 300}) {
        EXPECT_EQ(product(value, width, decimals), reference(value, width, decimals))
            << describe(value, width, decimals);
      }
    }
  }
}

TEST(RealToTextAgainstX87, SeededRandomValues) {
  runSeededCases(20261207, 40000);
}

TEST(RealToTextAgainstX87Long, SeededRandomValuesLong) {
  runSeededCases(777, static_cast<int>(longsweep::cases(20'000'000)));
}

// Every float32 bit pattern, as the double it widens to, in the solver's form
// for a root (two decimals, the exponent form from 2^120 up) and in the
// exponent form asked for directly: with all 18 digits, and rounded to 2 to 17
// digits (width 10 to 25, by the pattern's low four bits).
TEST(RealToTextProof, EveryFloat32) {
  numbertest::Float32Proof proof("realToText");
  const std::uint64_t mismatches = proof.run([&](std::uint32_t bits) {
    const long double value = static_cast<double>(std::bit_cast<float>(bits));
    const int roundedWidth = 10 + static_cast<int>(bits % 16);
    for (const auto& [width, decimals] : {std::pair{0, 2}, {26, -1}, {roundedWidth, -1}}) {
      const Written expected = reference(value, width, decimals);
      const Written actual = product(value, width, decimals);
      if (expected != actual) {
        proof.mismatch(describe(value, width, decimals), shown(expected), shown(actual));
      }
    }
    return 3;
  });
  EXPECT_EQ(mismatches, 0u);
}

}  // namespace

#endif
