// Operand tests shared by the operations of the extended model.
#pragma once

#include <cstdint>

#include "extended/extended.h"

namespace extended::detail {

// True for a normal value (exponent field 1..32766, integer bit set): the
// common case that every operation takes without further classification.
inline bool isNormal(Extended x) {
  return (x.significand & integerBit) != 0 &&
         static_cast<std::uint16_t>(x.exponentField() - 1u) < maxExponentField - 1u;
}

// True for +0 and −0.
inline bool isZero(Extended x) {
  return x.exponentField() == 0 && x.significand == 0;
}

}  // namespace extended::detail
