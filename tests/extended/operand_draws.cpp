#include "tests/extended/operand_draws.h"

#include <bit>
#include <cstdint>

namespace x87test {

namespace {

constexpr std::int64_t bias = extended::exponentBias;
constexpr std::int64_t maxFinite = extended::maxExponentField - 1;  // 32766
constexpr std::uint64_t integerBit = extended::integerBit;
constexpr std::uint64_t quietBit = 0x4000000000000000u;

std::uint64_t splitMix(std::uint64_t& x) {
  std::uint64_t z = (x += 0x9E3779B97F4A7C15u);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
  return z ^ (z >> 31);
}

// Braced initialisation evaluates its clauses left to right, so the draws that
// make up one value are taken in the same order whatever the compiler and its
// options (the arguments of a plain call are evaluated in no fixed order).
struct InOrder {
  InOrder(bool negative, std::uint16_t exponentField, std::uint64_t significand)
      : value(extended::make(negative, exponentField, significand)) {}
  operator Extended() const { return value; }
  Extended value;
};

std::uint16_t field(std::int64_t exponent) {
  return static_cast<std::uint16_t>(exponent < 1 ? 1 : exponent > maxFinite ? maxFinite : exponent);
}

// A significand with the integer bit set, shaped so that rounding decisions
// fall on ties, near-ties and carries often: uniform bits, few bits, runs of
// ones (carry out of the top after rounding), and fixed low patterns.
std::uint64_t drawSignificand(Random& r) {
  switch (r.below(8)) {
    case 0:
    case 1:
    case 2:
      return integerBit | r.next();
    case 3: {  // a few bits only: sums and products often exact or halfway
      std::uint64_t s = integerBit;
      for (std::uint64_t n = r.below(4); n > 0; --n) s |= std::uint64_t{1} << r.below(63);
      return s;
    }
    case 4: {  // ones from the top down to a random bit, maybe one bit off
      std::uint64_t s = ~std::uint64_t{0} << r.below(64);
      if (r.coin()) s ^= std::uint64_t{1} << r.below(63);
      return s | integerBit;
    }
    case 5: {  // random top, low bits 100..0, 011..1 or 100..01 at a random place
      const unsigned width = static_cast<unsigned>(r.below(63)) + 1;
      const std::uint64_t half = std::uint64_t{1} << (width - 1);
      const std::uint64_t patterns[] = {half, half - 1, half + 1, 0};
      const std::uint64_t low = patterns[r.below(4)];
      const std::uint64_t lowMask =
          width == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << width) - 1;
      return integerBit | (r.next() & ~lowMask) | low;
    }
    case 6:
      return integerBit | (r.next() << r.below(64));  // trailing zeros
    default:
      return integerBit | (r.next() >> r.below(64));  // leading zeros
  }
}

// A biased exponent for a normal value, weighted towards the places where
// results change class.
std::int64_t drawExponent(Random& r) {
  switch (r.below(8)) {
    case 0:
      return r.between(1, maxFinite);
    case 1:
      return r.between(1, 80);
    case 2:
      return r.between(maxFinite - 80, maxFinite);
    case 3:
      return bias - 1022 + r.between(-70, 8);  // double's denormal range
    case 4:
      return bias + 1023 + r.between(-4, 4);  // double's top
    case 5:
      return bias + r.between(-4, 68);  // integers
    default:
      return bias + r.between(-80, 80);
  }
}

// floor(2^127 / d), saturated at 2^64 - 1. Domain: d >= 2^63.
std::uint64_t power127Over(std::uint64_t d) {
  if (d == integerBit) return ~std::uint64_t{0};
  std::uint64_t remainder = integerBit;  // the high half of 2^127; the low half is zero
  std::uint64_t quotient = 0;
  for (int i = 0; i < 64; ++i) {
    const bool carry = (remainder >> 63) != 0;
    remainder <<= 1;
    quotient <<= 1;
    if (carry || remainder >= d) {
      remainder -= d;
      quotient |= 1;
    }
  }
  return quotient;
}

Extended normal(Random& r) {
  return InOrder{r.coin(), field(drawExponent(r)), drawSignificand(r)};
}

Extended nan(Random& r, bool quiet) {
  std::uint64_t payload;
  if (r.coin()) {
    payload = r.next();
  } else {
    const std::uint64_t low = r.next() >> r.below(64);
    payload = low | (r.next() << r.below(64));
  }
  payload &= quietBit - 1;
  if (!quiet && payload == 0) payload = 1;
  if (r.below(8) == 0) payload = quiet ? 0 : 1;  // the indefinite and the smallest SNaN
  return InOrder{r.coin(), extended::maxExponentField,
                 integerBit | (quiet ? quietBit : 0) | payload};
}

Extended unsupported(Random& r) {
  const std::uint64_t fraction = r.next() & ~integerBit;
  switch (r.below(3)) {
    case 0:  // unnormal: exponent 1..32766 without the integer bit (zero included)
      return InOrder{r.coin(), field(drawExponent(r)), r.coin() ? fraction : 0};
    case 1:  // pseudo-infinity
      return InOrder{r.coin(), extended::maxExponentField, 0};
    default:  // pseudo-NaN, quiet or signalling pattern
      return InOrder{r.coin(), extended::maxExponentField, fraction == 0 ? 1 : fraction};
  }
}

Extended denormal(Random& r) {
  std::uint64_t s = drawSignificand(r) >> (r.below(63) + 1);
  if (s == 0) s = 1;
  return InOrder{r.coin(), 0, s};
}

std::uint64_t doubleBits(Random& r) {
  const std::uint64_t sign = r.coin() ? 0x8000000000000000u : 0;
  const std::uint64_t fraction = drawSignificand(r) >> 11 & 0x000FFFFFFFFFFFFFu;
  switch (r.below(10)) {
    case 0:
    case 1:
      return r.next();
    case 2:
    case 3: {  // denormal
      const std::uint64_t shifted = fraction >> r.below(53);
      return sign | shifted | (r.coin() ? 0 : 1);
    }
    case 4:
      return sign;  // zero
    case 5:
      return sign | 0x7FF0000000000000u;  // infinity
    case 6:
      return sign | 0x7FF8000000000000u | (r.coin() ? fraction : 0);  // quiet NaN
    case 7:
      return sign | 0x7FF0000000000000u | (fraction >> 1 | 1);  // signalling NaN
    default: {
      const std::uint64_t e =
          r.coin() ? r.below(2046) + 1 : (r.coin() ? r.below(4) + 1 : 2046 - r.below(4));
      return sign | e << 52 | fraction;
    }
  }
}

std::uint64_t int64Bits(Random& r) {
  switch (r.below(6)) {
    case 0:
      return r.next();
    case 1: {
      const std::uint64_t edges[] = {0,
                                     1,
                                     ~std::uint64_t{0},
                                     0x8000000000000000u,
                                     0x7FFFFFFFFFFFFFFFu,
                                     0x8000000000000001u,
                                     0x7FFFFFFFFFFFFFFEu};
      return edges[r.below(7)];
    }
    default: {
      const std::uint64_t magnitude = r.next() >> r.below(64);
      return r.coin() ? magnitude : 0 - magnitude;
    }
  }
}

Operands single(Extended a) {
  return Operands{a, extended::positiveZero};
}

// An operand near the largest integers of int64 and the halves between
// integers: exponents bias-2..bias+65, the fraction cut at the binary point.
Extended nearInteger(Random& r) {
  const std::int64_t e = bias + r.between(-2, 65);
  std::uint64_t s = drawSignificand(r);
  const std::int64_t fractionBits = 63 - (e - bias);
  if (fractionBits > 0 && fractionBits < 64 && r.coin()) {
    const std::uint64_t half = std::uint64_t{1} << (fractionBits - 1);
    const std::uint64_t mask = (std::uint64_t{1} << fractionBits) - 1;
    const std::uint64_t lows[] = {half, 0, half - 1, half + 1};
    s = (s & ~mask) | (lows[r.below(4)] & mask) | integerBit;
  }
  if (r.below(6) == 0) {  // the int64 range's own edges
    const std::uint64_t edges[] = {integerBit, 0xFFFFFFFFFFFFFFFFu, 0xFFFFFFFFFFFFFFFEu,
                                   0x8000000000000001u};
    return InOrder{r.coin(), static_cast<std::uint16_t>(bias + 62 + r.below(3)), edges[r.below(4)]};
  }
  return InOrder{r.coin(), static_cast<std::uint16_t>(e), s};
}

// An operand whose rounding to double is interesting: exponents around the
// double's normal and denormal range, low bits at the 53-bit rounding place
// shaped as ties, near-ties and carries into 2^1024.
Extended nearDouble(Random& r) {
  std::int64_t e;
  switch (r.below(4)) {
    case 0:
      e = bias + 1023 + r.between(-2, 1);
      break;
    case 1:
      e = bias - 1022 + r.between(-56, 2);
      break;
    case 2:
      e = bias - 1022 + r.between(-70, -54);
      break;
    default:
      e = bias + r.between(-1100, 1100);
      break;
  }
  // The rounding place: 11 bits for a normal double, more below its range.
  const std::int64_t shift =
      e >= bias - 1022 ? 11 : std::min<std::int64_t>(64, 11 + (bias - 1022 - e));
  std::uint64_t s = drawSignificand(r);
  if (shift < 64 && r.below(3) != 0) {
    const std::uint64_t half = std::uint64_t{1} << (shift - 1);
    const std::uint64_t mask = (std::uint64_t{1} << shift) - 1;
    const std::uint64_t lows[] = {half, half - 1, half + 1, 0, mask};
    std::uint64_t high = s & ~mask;
    if (r.below(4) == 0) high = ~mask;  // all ones above: the carry goes to the next power
    s = high | lows[r.below(5)] | integerBit;
  }
  return InOrder{r.coin(), field(e), s};
}

// Two operands for add and subtract: exponents close together (cancellation,
// alignment shifts up to past the sticky bit, exact ties), one half an ulp of
// the other, and sums near the top and bottom of the range.
Operands additive(Random& r) {
  Extended a = normal(r);
  switch (r.below(6)) {
    case 0: {
      const std::int64_t e = a.exponentField() + r.between(-70, 70);
      return Operands{a, InOrder{r.coin(), field(e), drawSignificand(r)}};
    }
    case 1: {  // b equal or near to ±a: exact cancellation and its neighbours
      Extended b = a;
      b.significand ^= r.next() >> r.below(65 - 1) >> 1;
      b.significand |= integerBit;
      if (r.coin()) b.signExponent ^= 0x8000;
      return Operands{a, b};
    }
    case 2: {  // b a power of two at a's rounding place: ties and near-ties
      const std::int64_t e = a.exponentField() - r.between(62, 66);
      const std::uint64_t sigs[] = {integerBit, 0xC000000000000000u, drawSignificand(r)};
      if (e < 1) break;
      return Operands{a, InOrder{r.coin(), field(e), sigs[r.below(3)]}};
    }
    case 3: {  // both near the top: overflow, sometimes only after rounding
      const std::uint64_t nearCarry = ~std::uint64_t{0} << r.below(3);
      a = InOrder{r.coin(), field(maxFinite - r.between(0, 2)),
                  r.coin() ? nearCarry : drawSignificand(r)};
      const std::int64_t e = maxFinite - r.between(0, 70);
      return Operands{a, InOrder{a.sign() != (r.below(4) == 0), field(e), drawSignificand(r)}};
    }
    case 4: {  // both tiny: denormal sums, underflow to and from the normal range
      const auto tiny = [&r]() {
        return r.coin() ? denormal(r)
                        : InOrder{r.coin(), field(r.between(1, 66)), drawSignificand(r)};
      };
      return Operands{tiny(), tiny()};
    }
    default:
      break;
  }
  return Operands{drawValue(r), drawValue(r)};
}

// Two operands for multiply and divide whose exponents put the result near
// overflow, near the denormal range or across it.
Operands multiplicative(Random& r, bool divide) {
  if (r.below(3) == 0) return Operands{drawValue(r), drawValue(r)};
  const std::int64_t ea = r.between(1, maxFinite);
  std::int64_t target;
  switch (r.below(4)) {
    case 0:
      target = maxFinite + r.between(-3, 3);
      break;
    case 1:
      target = r.between(-66, 3);
      break;
    case 2:
      target = r.between(-80, 80);
      break;
    default:
      target = bias + r.between(-60, 60);
      break;
  }
  // multiply: ea + eb - bias ~ target; divide: ea - eb + bias ~ target.
  const std::int64_t eb = divide ? ea + bias - target : target - ea + bias;
  Extended b;
  if (eb < 1) {
    b = denormal(r);
  } else if (eb > maxFinite) {
    return Operands{drawValue(r), drawValue(r)};
  } else {
    b = InOrder{r.coin(), static_cast<std::uint16_t>(eb), drawSignificand(r)};
  }
  Extended a = InOrder{r.coin(), static_cast<std::uint16_t>(ea), drawSignificand(r)};
  if (b.exponentField() != 0 && r.below(4) == 0) {
    // A result a few units from a power of two. For multiply, b's significand
    // a few units from 2^127 / a's: the product may round up into the next
    // binade, here placed at the bottom of the normal range (tiny only before
    // rounding) or at its top (overflow only after rounding). A quotient of
    // 64-bit significands never lies within half an ulp below a power of two;
    // for divide, a's significand a few units from b's gives quotients next
    // to 1 on both sides.
    const std::int64_t delta = r.between(-3, 3);
    if (divide) {
      a.significand = b.significand + static_cast<std::uint64_t>(delta);
    } else {
      b.significand = power127Over(a.significand) + static_cast<std::uint64_t>(delta);
      const std::int64_t resultField = r.coin() ? 0 : maxFinite;
      const std::int64_t bField = resultField + bias - ea;
      if (bField >= 1 && bField <= maxFinite) {
        b.signExponent = static_cast<std::uint16_t>((b.signExponent & 0x8000) | bField);
      }
    }
    a.significand |= integerBit;
    b.significand |= integerBit;
    return Operands{a, b};
  }
  if (divide && b.exponentField() != 0 && r.below(4) == 0) {
    // An exact quotient: a = q·b with q and b short enough for 64 bits.
    const unsigned qBits = static_cast<unsigned>(r.below(32)) + 1;
    const std::uint64_t q = (r.next() >> (64 - qBits)) | (std::uint64_t{1} << (qBits - 1));
    const std::uint64_t bShort = b.significand >> qBits;
    const std::uint64_t product = q * bShort;
    b.significand = bShort << std::countl_zero(bShort);
    a = InOrder{r.coin(), a.exponentField(), product << std::countl_zero(product)};
  }
  return Operands{a, b};
}

Operands squareRootCase(Random& r) {
  switch (r.below(4)) {
    case 0: {  // an exact square
      const std::uint64_t m = r.next() >> (32 + r.below(32)) | 1;
      const std::uint64_t square = m * m;
      const int normalize = std::countl_zero(square);
      return single(InOrder{r.coin() && r.coin(), field(bias + r.between(-16000, 16000)),
                            square << normalize});
    }
    case 1:
      return single(InOrder{r.below(8) == 0, field(drawExponent(r)), drawSignificand(r)});
    case 2:
      return single(denormal(r));
    default:
      return single(drawValue(r));
  }
}

}  // namespace

Random::Random(std::uint64_t seed) {
  for (auto& word : state_) word = splitMix(seed);
}

std::uint64_t Random::next() {
  const std::uint64_t result = std::rotl(state_[1] * 5, 7) * 9;
  const std::uint64_t t = state_[1] << 17;
  state_[2] ^= state_[0];
  state_[3] ^= state_[1];
  state_[1] ^= state_[2];
  state_[0] ^= state_[3];
  state_[2] ^= t;
  state_[3] = std::rotl(state_[3], 45);
  return result;
}

std::uint64_t Random::below(std::uint64_t bound) {
  return next() % bound;
}

std::int64_t Random::between(std::int64_t low, std::int64_t high) {
  return low + static_cast<std::int64_t>(below(static_cast<std::uint64_t>(high - low) + 1));
}

Extended drawValue(Random& r) {
  switch (r.below(25)) {
    case 0:
    case 1:
    case 2:
      return Extended{r.next(), static_cast<std::uint16_t>(r.next())};  // any bits
    case 3:
    case 4:
      return denormal(r);
    case 5:
      return InOrder{r.coin(), 0, integerBit | r.next()};  // pseudo-denormal
    case 6:
    case 7:
      return r.coin() ? extended::positiveZero : extended::negativeZero;
    case 8:
      return r.coin() ? extended::positiveInfinity : extended::negativeInfinity;
    case 9:
    case 10:
      return nan(r, true);
    case 11:
    case 12:
      return nan(r, false);
    case 13:
      return unsupported(r);
    case 14:
      return InOrder{r.coin(), static_cast<std::uint16_t>(maxFinite), ~std::uint64_t{0}};
    case 15:
      return InOrder{r.coin(), 1, r.coin() ? integerBit : drawSignificand(r)};
    default:
      return normal(r);
  }
}

Operands drawOperands(Operation op, Random& r) {
  switch (op) {
    case Operation::add:
    case Operation::subtract:
      return additive(r);
    case Operation::multiply:
      return multiplicative(r, false);
    case Operation::divide:
      return multiplicative(r, true);
    case Operation::squareRoot:
      return squareRootCase(r);
    case Operation::compare: {
      Operands x = r.below(4) == 0 ? additive(r) : Operands{drawValue(r), drawValue(r)};
      if (r.below(8) == 0) x.b = x.a;  // equal, including equal NaNs
      if (r.below(16) == 0) x.b = extended::make(!x.a.sign(), x.a.exponentField(), x.a.significand);
      return x;
    }
    case Operation::roundToInteger:
      return single(r.coin() ? nearInteger(r) : drawValue(r));
    case Operation::toInt64:
      return single(r.below(4) != 0 ? nearInteger(r) : drawValue(r));
    case Operation::toDouble:
      return single(r.below(4) != 0 ? nearDouble(r) : drawValue(r));
    case Operation::fromDouble:
      return single(Extended{doubleBits(r), 0});
    case Operation::fromInt64:
      return single(Extended{int64Bits(r), 0});
    case Operation::negate:
    case Operation::absolute:
      return single(drawValue(r));
  }
  return single(drawValue(r));
}

}  // namespace x87test
