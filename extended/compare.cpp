#include "extended/extended.h"
#include "extended/fpu_environment.h"
#include "extended/operands.h"
#include "extended/x87_rules.h"

namespace extended {
namespace {

// Orders magnitudes of supported non-NaN encodings: a pseudo-denormal has the
// scale of exponent field 1, like the smallest normals.
bool magnitudeLess(Extended a, Extended b) {
  const std::uint16_t exponentA = a.exponentField() == 0 ? 1 : a.exponentField();
  const std::uint16_t exponentB = b.exponentField() == 0 ? 1 : b.exponentField();
  return exponentA < exponentB || (exponentA == exponentB && a.significand < b.significand);
}

// The order of two supported non-NaN encodings; −0 equals +0.
inline Comparison orderOf(Extended a, Extended b) {
  if (detail::isZero(a) && detail::isZero(b)) return Comparison::equal;
  if (a.sign() != b.sign()) return a.sign() ? Comparison::less : Comparison::greater;
  if (magnitudeLess(a, b)) return a.sign() ? Comparison::greater : Comparison::less;
  if (magnitudeLess(b, a)) return a.sign() ? Comparison::less : Comparison::greater;
  return Comparison::equal;
}

// Operands that are not both normal or zero.
[[gnu::noinline]] Comparison compareSpecial(Extended a, Extended b, std::uintptr_t callerAddress) {
  const ValueClass ca = classify(a);
  const ValueClass cb = classify(b);
  std::uint16_t flags = 0;
  Comparison result;
  if (rules::isNaNOrUnsupported(ca) || rules::isNaNOrUnsupported(cb)) {
    // An ordered comparison with any NaN is invalid.
    flags = flagInvalid;
    result = Comparison::unordered;
  } else {
    if (ca == ValueClass::denormal || cb == ValueClass::denormal) flags = flagDenormal;
    result = orderOf(a, b);
  }
  rules::signalOperation(flags, callerAddress);
  return result;
}

}  // namespace

Comparison compare(Extended a, Extended b) {
  // Normal values and zeros: no flags.
  if ((detail::isNormal(a) || detail::isZero(a)) && (detail::isNormal(b) || detail::isZero(b))) {
    return orderOf(a, b);
  }
  return compareSpecial(a, b, EXTENDED_CALLER_ADDRESS());
}

}  // namespace extended
