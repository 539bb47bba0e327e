#include <bit>

#include "extended/extended.h"
#include "extended/fpu_environment.h"
#include "extended/round_and_pack.h"
#include "extended/x87_rules.h"

namespace extended {

[[gnu::noinline]] double detail::toDoubleOther(Extended x) {
  const std::uintptr_t callerAddress = EXTENDED_CALLER_ADDRESS();
  constexpr std::uint64_t signBit = std::uint64_t{1} << 63;
  constexpr std::uint64_t infinityBits = std::uint64_t{0x7FF} << 52;
  constexpr std::uint64_t indefiniteBits = 0xFFF8000000000000u;
  const std::uint64_t sign = x.sign() ? signBit : 0;
  std::uint16_t flags = 0;
  std::uint64_t bits = 0;
  switch (classify(x)) {
    case ValueClass::zero:
      bits = sign;
      break;
    case ValueClass::infinity:
      bits = sign | infinityBits;
      break;
    case ValueClass::nan:
      // The top 52 fraction bits are kept; a signalling NaN is quieted.
      if ((x.significand & rules::quietBit) == 0) flags |= flagInvalid;
      bits = sign | infinityBits | (((x.significand | rules::quietBit) & ~integerBit) >> 11);
      break;
    case ValueClass::unsupported:
      flags |= flagInvalid;
      bits = indefiniteBits;
      break;
    case ValueClass::normal:
    case ValueClass::denormal: {
      const Unpacked u = unpackFinite(x);
      bits = roundAndPackDouble(u.sign, u.exponent, u.significand, 0, flags);
      break;
    }
  }
  rules::signalOperation(flags, callerAddress);
  return std::bit_cast<double>(bits);
}

}  // namespace extended
