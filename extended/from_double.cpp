#include <bit>

#include "extended/extended.h"
#include "extended/fpu_environment.h"
#include "extended/round_and_pack.h"
#include "extended/x87_rules.h"

namespace extended {
namespace {

constexpr std::uint32_t maxDoubleExponentField = 0x7FF;
constexpr std::uint64_t fractionMask = (std::uint64_t{1} << 52) - 1;
constexpr std::uint64_t doubleQuietBit = std::uint64_t{1} << 51;

}  // namespace

// Out of line in every build: its caller's address is that of the code that
// widened the double.
[[gnu::noinline]] Extended detail::fromDoubleSpecial(std::uint64_t bits) {
  const std::uintptr_t callerAddress = EXTENDED_CALLER_ADDRESS();
  const bool sign = (bits >> 63) != 0;
  const std::uint64_t fraction = bits & fractionMask;
  std::uint16_t flags = 0;
  Extended result;
  if (((bits >> 52) & maxDoubleExponentField) != 0) {
    if (fraction == 0) {
      result = make(sign, maxExponentField, integerBit);
    } else {
      // The NaN's payload moves to the top of the fraction; a signalling NaN is quieted.
      if ((fraction & doubleQuietBit) == 0) flags |= flagInvalid;
      result = make(sign, maxExponentField, integerBit | rules::quietBit | (fraction << 11));
    }
  } else if (fraction == 0) {
    result = make(sign, 0, 0);
  } else {
    // fraction · 2^−1074, made normal: every double is exact in 80 bits.
    return detail::normalizeRoundPackAndSignal(sign, exponentBias + 63 - 1074, fraction, 0,
                                               flagDenormal, callerAddress);
  }
  rules::signalOperation(flags, callerAddress);
  return result;
}

}  // namespace extended
