// realToText against a reference that runs the same steps on the processor's
// own x87 unit: the scaling by table powers of ten, the product by 10^17, the
// rounding to an integer, and then the digit positions, their decimal rounding
// with the carry running leftwards, and the layout of the text, all spelled
// out character by character. The power-of-ten tables of the reference are
// computed here from exact big integers, not taken from the product.
//
// The normal run checks some tens of thousands of seeded random cases; the
// sweep labelled `long` checks millions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "extended/extended.h"
#include "textio/number_conversions.h"

#if defined(__x86_64__) || defined(__i386__)

namespace {

// ---- The x87 unit ----

// Extended precision, round to nearest, every exception masked, for the
// lifetime of the guard.
class X87Environment {
 public:
  X87Environment() {
    asm volatile("fnstcw %0" : "=m"(saved_));
    const std::uint16_t word = 0x037F;
    asm volatile("fldcw %0" : : "m"(word));
  }
  ~X87Environment() { asm volatile("fldcw %0" : : "m"(saved_)); }
  X87Environment(const X87Environment&) = delete;
  X87Environment& operator=(const X87Environment&) = delete;

 private:
  std::uint16_t saved_ = 0;
};

long double fromBits(std::uint16_t signExponent, std::uint64_t significand) {
  long double x = 0;
  unsigned char bytes[sizeof(long double)] = {};
  std::memcpy(bytes, &significand, 8);
  std::memcpy(bytes + 8, &signExponent, 2);
  std::memcpy(&x, bytes, sizeof x);
  return x;
}

std::uint16_t signExponentOf(long double x) {
  std::uint16_t field = 0;
  std::memcpy(&field, reinterpret_cast<const unsigned char*>(&x) + 8, 2);
  return field;
}

std::uint64_t significandOf(long double x) {
  std::uint64_t significand = 0;
  std::memcpy(&significand, &x, 8);
  return significand;
}

Extended toModel(long double x) {
  return Extended{significandOf(x), signExponentOf(x)};
}

long double roundToIntegerX87(long double x) {
  asm("frndint" : "+t"(x));
  return x;
}

// ---- Power-of-ten tables from exact big integers ----

// 10^n rounded to a 64-bit significand, ties to even.
class ExactPowers {
 public:
  ExactPowers() {
    std::vector<std::uint32_t> limbs{1};  // little-endian base 2^32
    for (int n = 0; n <= 512 * 9; ++n) {
      if (n < 32) small[n] = rounded(limbs);
      if (n % 32 == 0 && n / 32 >= 1 && n / 32 <= 15) mid[n / 32] = rounded(limbs);
      if (n % 512 == 0 && n / 512 >= 1) big[n / 512] = rounded(limbs);
      std::uint64_t carry = 0;
      for (auto& limb : limbs) {
        const std::uint64_t product = std::uint64_t{limb} * 10 + carry;
        limb = static_cast<std::uint32_t>(product);
        carry = product >> 32;
      }
      if (carry != 0) limbs.push_back(static_cast<std::uint32_t>(carry));
    }
  }

  long double small[32];
  long double mid[16];  // 1..15 used
  long double big[10];  // 1..9 used

 private:
  static bool bit(const std::vector<std::uint32_t>& limbs, long index) {
    if (index < 0) return false;
    return ((limbs[static_cast<std::size_t>(index / 32)] >> (index % 32)) & 1u) != 0;
  }

  static long double rounded(const std::vector<std::uint32_t>& limbs) {
    long length = static_cast<long>(limbs.size()) * 32;
    while (!bit(limbs, length - 1)) --length;
    std::uint64_t significand = 0;
    for (long i = length - 1; i >= length - 64; --i) {
      significand = (significand << 1) | (bit(limbs, i) ? 1u : 0u);
    }
    long exponent = length - 1;
    const bool half = bit(limbs, length - 65);
    bool sticky = false;
    for (long i = length - 66; i >= 0 && !sticky; --i) sticky = bit(limbs, i);
    if (half && (sticky || (significand & 1u) != 0)) {
      if (++significand == 0) {
        significand = 0x8000000000000000u;
        ++exponent;
      }
    }
    return fromBits(static_cast<std::uint16_t>(16383 + exponent), significand);
  }
};

const ExactPowers& exactPowers() {
  static const ExactPowers powers;
  return powers;
}

// ---- The reference conversion ----

long double scaleX87(long double x, int n) {
  const ExactPowers& p = exactPowers();
  if (n == 0) return x;
  const bool divide = n < 0;
  const int magnitude = divide ? -n : n;
  if (magnitude >= 5120) return divide ? 0.0L : INFINITY;
  auto apply = [&](long double factor) { x = divide ? x / factor : x * factor; };
  apply(p.small[magnitude % 32]);
  int rest = magnitude / 32;
  if (rest == 0) return x;
  if (rest % 16 != 0) apply(p.mid[rest % 16]);
  rest /= 16;
  if (rest != 0) apply(p.big[rest]);
  return x;
}

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
  X87Environment environment;
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

std::string productText(long double value, int width, int decimals) {
  CountedText text;
  realToText(toModel(value), width, decimals, text);
  return std::string(text.chars, text.length);
}

std::string describe(long double value, int width, int decimals) {
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "bits %04X:%016llX width %d decimals %d",
                signExponentOf(value), static_cast<unsigned long long>(significandOf(value)), width,
                decimals);
  return buffer;
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
    const std::string expected = referenceText(value, width, decimals);
    const std::string actual = productText(value, width, decimals);
    if (expected != actual) {
      ++failures;
      ADD_FAILURE() << describe(value, width, decimals) << "\n  x87:     [" << expected
                    << "]\n  product: [" << actual << "]";
    }
  }
}

TEST(RealToTextAgainstX87, TablesMatchTheSampleEntries) {
  const ExactPowers& p = exactPowers();
  const long double samples[][2] = {
      {p.small[28], fromBits(0x405C, 0x813F3978F8940984u)},
      {p.mid[1], fromBits(0x4069, 0x9DC5ADA82B70B59Eu)},
      {p.big[9], fromBits(0x7BCA, 0xAE3511626ED559F0u)},
  };
  for (const auto& sample : samples) {
    EXPECT_EQ(signExponentOf(sample[0]), signExponentOf(sample[1]));
    EXPECT_EQ(significandOf(sample[0]), significandOf(sample[1]));
  }
  // The model's scaling uses the same tables: one step of each size.
  for (const int n : {-4931, -300, -31, -1, 1, 17, 28, 300, 4931}) {
    X87Environment environment;
    const long double x = 1.2345678901234567891L;
    EXPECT_EQ(toModel(scaleX87(x, n)), scaleByPowerOfTen(toModel(x), n)) << "n = " << n;
  }
}

TEST(RealToTextAgainstX87, RoundingTableRows) {
  // The reference must reproduce the worked rows before it judges anything.
  const struct {
    double value;
    const char* text;
  } rows[] = {
      {0.125, "0.13"},      {0.005, "0.01"},   {0.015, "0.02"}, {0.045, "0.05"}, {0.285, "0.28"},
      {2.675, "2.67"},      {1.005, "1.00"},   {0.995, "1.00"}, {9.995, "9.99"}, {99.995, "100.00"},
      {999.995, "1000.00"}, {-0.001, "-0.00"}, {-0.0, "-0.00"}, {0.0, "0.00"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(referenceText(row.value, 0, 2), row.text) << row.value;
    EXPECT_EQ(productText(row.value, 0, 2), row.text) << row.value;
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
        EXPECT_EQ(productText(value, width, decimals), referenceText(value, width, decimals))
            << describe(value, width, decimals);
      }
    }
  }
}

TEST(RealToTextAgainstX87, SeededRandomValues) {
  runSeededCases(20261207, 40000);
}

TEST(RealToTextAgainstX87Long, SeededRandomValuesLong) {
  runSeededCases(777, 20'000'000);
}

}  // namespace

#endif
