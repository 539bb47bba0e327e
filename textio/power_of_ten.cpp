// Scaling by a power of ten from the constant tables.
#include "textio/power_of_ten.h"

#include <cassert>

namespace {

// x · 10^k (or x / 10^k) for 0 < k < pow10ScaleLimit, with `operation`
// multiply or divide: the small factor always, then the mid and the big factor
// when k has them, so the smallest factor comes first.
template <Extended (*operation)(Extended, Extended)>
Extended applyPowerOfTen(Extended x, std::int32_t k) {
  assert(k > 0 && k < pow10ScaleLimit);
  const std::int32_t mid = k / pow10MidStep % (pow10BigStep / pow10MidStep);  // 0..15
  const std::int32_t big = k / pow10BigStep;                                  // 0..9
  x = operation(x, pow10Small[k % pow10SmallCount]);
  if (mid != 0) x = operation(x, pow10Mid[mid - 1]);
  if (big != 0) x = operation(x, pow10Big[big - 1]);
  return x;
}

// scaleByPowerOfTen for the magnitudes that take more than one table entry,
// or none. Out of line, so that the everyday case keeps a small frame.
[[gnu::noinline]] Extended scaleByComposedPower(Extended x, std::int32_t n) {
  if (n > 0) {
    // Beyond the tables' reach: infinity, but a zero stays what it is.
    if (n >= pow10ScaleLimit) {
      return extended::classify(x) == extended::ValueClass::zero ? x : extended::positiveInfinity;
    }
    return applyPowerOfTen<extended::multiply>(x, n);
  }
  // n = -2^31 has no 32-bit magnitude: it is out of range like every n <= -5120.
  if (n <= -pow10ScaleLimit) return extended::positiveZero;
  return applyPowerOfTen<extended::divide>(x, -n);
}

}  // namespace

Extended scaleByPowerOfTen(Extended x, std::int32_t n) {
  if (n == 0) return x;
  if (n <= -pow10SmallCount || n >= pow10SmallCount) return scaleByComposedPower(x, n);
  // The everyday case, a short fraction or a small decimal exponent: one
  // table entry.
  const Extended scaled =
      n > 0 ? extended::multiply(x, pow10Small[n]) : extended::divide(x, pow10Small[-n]);
  // Keeps the operation from becoming a tail call, whose return address, the
  // one a trap reports, would lie in the caller instead of here.
  __asm__ __volatile__("" ::: "memory");
  return scaled;
}
