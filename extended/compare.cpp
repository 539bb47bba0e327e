#include "extended/extended.h"
#include "extended/fpu_environment.h"
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

}  // namespace

Comparison compare(Extended a, Extended b) {
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
    if (ca == ValueClass::zero && cb == ValueClass::zero) {
      result = Comparison::equal;
    } else if (a.sign() != b.sign()) {
      result = a.sign() ? Comparison::less : Comparison::greater;
    } else if (magnitudeLess(a, b)) {
      result = a.sign() ? Comparison::greater : Comparison::less;
    } else if (magnitudeLess(b, a)) {
      result = a.sign() ? Comparison::less : Comparison::greater;
    } else {
      result = Comparison::equal;
    }
  }
  rules::signalOperation(flags, EXTENDED_CALLER_ADDRESS());
  return result;
}

}  // namespace extended
