#include "extended/extended.h"
#include "extended/fpu_environment.h"
#include "extended/x87_rules.h"

namespace extended {

[[gnu::noinline]] Comparison detail::compareOther(Extended a, Extended b) {
  const std::uintptr_t callerAddress = EXTENDED_CALLER_ADDRESS();
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

}  // namespace extended
