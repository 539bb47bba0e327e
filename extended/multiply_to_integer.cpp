#include "extended/extended.h"
#include "extended/round_and_pack.h"
#include "extended/x87_rules.h"

namespace extended::detail {

std::uint64_t multiplyOtherToUint64(Extended x, Extended factor) {
  if (x.significand == 0) return 0;  // a zero times a normal factor: exact

  // A denormal: the denormal-operand flag, and a product that can be tiny.
  std::uint16_t flags = flagDenormal;
  const Unpacked a = unpackFinite(x);
  const NormalizedProduct p = normalizedProduct(a.exponent + factor.exponentField() - exponentBias,
                                                a.significand, factor.significand);
  const Extended rounded = roundAndPack(false, p.exponent, p.significand, p.extra, flags);
  // A field of 0 gives an exponent far below -1: a denormal rounds to 0.
  const std::uint64_t result =
      roundToWhole(rounded.significand, rounded.exponentField() - exponentBias, flags);
  rules::signalOperation(flags, EXTENDED_CALLER_ADDRESS());
  return result;
}

void signalForCaller(std::uint16_t flags) {
  rules::signalFlags(flags, EXTENDED_CALLER_ADDRESS());
}

}  // namespace extended::detail
