#include <bit>
#include <cassert>

#include "extended/extended.h"

namespace extended {

ValueClass classify(Extended x) {
  const std::uint16_t exponent = x.exponentField();
  if (exponent == 0) return x.significand == 0 ? ValueClass::zero : ValueClass::denormal;
  if ((x.significand & integerBit) == 0) return ValueClass::unsupported;
  if (exponent != maxExponentField) return ValueClass::normal;
  return x.significand == integerBit ? ValueClass::infinity : ValueClass::nan;
}

Extended detail::canonicalOther(Extended x) {
  assert(x.exponentField() != maxExponentField);
  std::uint16_t field = x.exponentField();
  const std::uint64_t significand = x.significand;
  if ((significand & integerBit) != 0) {
    if (field == 0) field = 1;  // a pseudo-denormal has the scale of field 1
    return make(x.sign(), field, significand);
  }
  if (field == 0 || significand == 0) return make(x.sign(), 0, significand);
  const int shift = std::countl_zero(significand);
  if (shift < field) {
    return make(x.sign(), static_cast<std::uint16_t>(field - shift), significand << shift);
  }
  // Too small for a normal: as far left as field 1 allows, i.e. a denormal.
  return make(x.sign(), 0, significand << (field - 1));
}

void toMemoryImage(Extended x, std::uint8_t image[memoryImageSize]) {
  for (int i = 0; i < 8; ++i) image[i] = static_cast<std::uint8_t>(x.significand >> (8 * i));
  image[8] = static_cast<std::uint8_t>(x.signExponent);
  image[9] = static_cast<std::uint8_t>(x.signExponent >> 8);
}

Extended fromMemoryImage(const std::uint8_t image[memoryImageSize]) {
  Extended x;
  for (int i = 0; i < 8; ++i) x.significand |= static_cast<std::uint64_t>(image[i]) << (8 * i);
  x.signExponent = static_cast<std::uint16_t>(image[8] | (image[9] << 8));
  return x;
}

}  // namespace extended
