#include "extended/x87_rules.h"

#include "extended/fpu_environment.h"

namespace extended::rules {

Extended nanResult(Extended x, ValueClass c, std::uint16_t& flags) {
  if (c == ValueClass::unsupported) {
    flags |= flagInvalid;
    return indefiniteNaN;
  }
  if ((x.significand & quietBit) == 0) flags |= flagInvalid;
  x.significand |= quietBit;
  return x;
}

Extended nanResult(Extended a, ValueClass ca, Extended b, ValueClass cb, std::uint16_t& flags) {
  if (ca == ValueClass::unsupported || cb == ValueClass::unsupported) {
    flags |= flagInvalid;
    return indefiniteNaN;
  }
  const bool signalingA = isSignalingNaN(a, ca);
  const bool signalingB = isSignalingNaN(b, cb);
  if (signalingA || signalingB) flags |= flagInvalid;
  if (ca != ValueClass::nan) return Extended{b.significand | quietBit, b.signExponent};
  if (cb != ValueClass::nan) return Extended{a.significand | quietBit, a.signExponent};
  // A quiet NaN wins over a signalling one; between two of the same kind the
  // larger significand wins, quieted, and between equal significands the
  // positive one.
  if (signalingA != signalingB) return signalingA ? b : a;
  const std::uint64_t quietA = a.significand | quietBit;
  const std::uint64_t quietB = b.significand | quietBit;
  if (quietA > quietB) return Extended{quietA, a.signExponent};
  if (quietB > quietA) return Extended{quietB, b.signExponent};
  return Extended{quietA, a.sign() ? b.signExponent : a.signExponent};
}

void signalFlags(std::uint16_t flags, std::uintptr_t callerAddress) {
  if ((flags & flagDenormal) != 0 && (controlWord() & flagDenormal) == 0) {
    flags &= flagInvalid | flagZeroDivide | flagDenormal;
  }
  raiseExceptions(flags, callerAddress);
}

}  // namespace extended::rules
