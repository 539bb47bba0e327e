#include <array>

#include "extended/extended.h"
#include "extended/fpu_environment.h"
#include "extended/round_and_pack.h"
#include "extended/wide_arithmetic.h"
#include "extended/x87_rules.h"

namespace extended {
namespace {

// floor(sqrt(n)) for any 64-bit n, by bisection; compile-time use only.
constexpr std::uint64_t exactSquareRootSlow(std::uint64_t n) {
  std::uint64_t low = 0;
  std::uint64_t high = std::uint64_t{1} << 32;
  while (high - low > 1) {
    const std::uint64_t middle = (low + high) / 2;
    if (middle * middle <= n) {
      low = middle;
    } else {
      high = middle;
    }
  }
  return low;
}

// Starting estimates of sqrt(x) for x in [2^62, 2^64), indexed by the top 8
// bits of x (64..255): the root of the middle of each interval, scaled by 2^-32
// below 2^32 (that is, sqrt(index + 1/2) · 2^28).
constexpr std::array<std::uint32_t, 192> makeEstimateTable() {
  std::array<std::uint32_t, 192> table{};
  for (std::uint64_t index = 64; index < 256; ++index) {
    table[index - 64] = static_cast<std::uint32_t>(exactSquareRootSlow(((2 * index + 1) << 55)));
  }
  return table;
}
constexpr std::array<std::uint32_t, 192> estimateTable = makeEstimateTable();

// floor(sqrt(x)) for x in [2^62, 2^64): table estimate, two Newton steps,
// then an exact correction downwards.
std::uint64_t squareRoot64(std::uint64_t x) {
  std::uint64_t root = estimateTable[(x >> 56) - 64];
  root = (root + x / root) >> 1;
  root = (root + x / root) >> 1;
  if (root > 0xFFFFFFFFu) root = 0xFFFFFFFFu;
  while (root * root > x) --root;
  // An integer Newton step never lands below floor(sqrt(x)), and neither does
  // the clamp (sqrt(x) < 2^32), so stepping down ends on the exact root.
  return root;
}

// Square root of a positive finite value, with `flags` raised before
// rounding: the significand N (scaled by 2^64 or 2^63 to make the exponent
// even) has the integer root q with remainder r = N − q² ≤ 2q; r > q means the
// exact root lies above q + 1/2.
inline Extended squareRootFinite(detail::Unpacked x, std::uint16_t flags,
                                 std::uintptr_t callerAddress) {
  const std::int32_t unbiased = x.exponent - exponentBias;
  // value = significand · 2^(unbiased − 63); take N = significand · 2^64 when
  // unbiased − 63 − 64 is even, that is, unbiased odd.
  wide::Uint128 radicand{x.significand, 0};
  if ((unbiased & 1) == 0) radicand = wide::Uint128{x.significand >> 1, x.significand << 63};
  // The root has its top bit set: N ≥ 2^126.

  // One Newton step from the 32-bit root of the high half, then correct
  // downwards.
  const std::uint64_t start = squareRoot64(radicand.high) << 32;
  const wide::Uint128 startSquare = wide::multiply64To128(start, start);
  const wide::Uint128 startRest = wide::subtract128(radicand, startSquare);
  std::uint64_t unused = 0;
  const wide::Uint128 halfRest{startRest.high >> 1, (startRest.high << 63) | (startRest.low >> 1)};
  const std::uint64_t step = wide::divide128By64(halfRest.high, halfRest.low, start, unused);
  std::uint64_t root = start + step;
  if (root < start) root = ~std::uint64_t{0};
  wide::Uint128 square = wide::multiply64To128(root, root);
  while (wide::less128(radicand, square)) {
    --root;
    square = wide::multiply64To128(root, root);
  }
  // A Newton step from below never lands below floor(sqrt(N)), so stepping
  // down ends on the exact integer root q, with N − q² ≤ 2q.
  const wide::Uint128 remainder = wide::subtract128(radicand, square);
  std::uint64_t extra = 0;
  if (remainder.high != 0 || remainder.low != 0) {
    extra = wide::less128(wide::Uint128{0, root}, remainder) ? detail::roundHalfway | 1 : 1;
  }
  // The root's top bit stands for 2^floor(unbiased / 2).
  const std::int32_t halfExponent = (unbiased - (unbiased & 1)) / 2;
  return detail::roundPackAndSignal(false, halfExponent + exponentBias, root, extra, flags,
                                    callerAddress);
}

// Operands other than positive normal values. Cold: compiled for size, as
// the everyday operands never come here.
[[gnu::noinline, gnu::cold]] Extended squareRootSpecial(Extended x, std::uintptr_t callerAddress) {
  const ValueClass c = classify(x);
  std::uint16_t flags = 0;
  Extended result = x;  // zeros and +infinity
  if (rules::isNaNOrUnsupported(c)) {
    result = rules::nanResult(x, c, flags);
  } else if (c != ValueClass::zero && x.sign()) {
    flags |= flagInvalid;
    result = rules::indefiniteNaN;
  } else if (c == ValueClass::denormal) {
    return squareRootFinite(detail::unpackFinite(x), flagDenormal, callerAddress);
  }
  rules::signalOperation(flags, callerAddress);
  return result;
}

}  // namespace

Extended squareRoot(Extended x) {
  if (detail::isNormal(x) && !x.sign()) {
    return squareRootFinite(detail::unpackNormal(x), 0, EXTENDED_CALLER_ADDRESS());
  }
  return squareRootSpecial(x, EXTENDED_CALLER_ADDRESS());
}

}  // namespace extended
