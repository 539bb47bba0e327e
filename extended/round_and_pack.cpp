#include "extended/round_and_pack.h"

#include <cassert>

#include "extended/fpu_environment.h"
#include "extended/wide_arithmetic.h"
#include "extended/x87_rules.h"

namespace extended::detail {
namespace {

constexpr std::int32_t maxNormalExponent = 0x7FFE;

bool underflowMasked() {
  return (controlWord() & flagUnderflow) != 0;
}
bool overflowMasked() {
  return (controlWord() & flagOverflow) != 0;
}

// Flags of a result that overflows the format. Masked, the result is an
// infinity and always inexact; unmasked, the processor delivers the rounded
// result with the exponent wrapped and reports precision only when rounding
// lost bits.
std::uint16_t overflowFlags(bool inexact) {
  if (overflowMasked() || inexact) return flagOverflow | flagPrecision;
  return flagOverflow;
}

// Flags of a result that is tiny after rounding. Masked, underflow needs an
// inexact denormalized result; unmasked, any tiny result underflows and
// precision follows the rounding with unbounded exponent.
std::uint16_t tinyFlags(bool denormalInexact, bool unboundedInexact) {
  if (underflowMasked()) return denormalInexact ? flagUnderflow | flagPrecision : 0;
  return static_cast<std::uint16_t>(flagUnderflow | (unboundedInexact ? flagPrecision : 0));
}

// A store to memory with an unmasked overflow or underflow stores nothing, so
// it reports that exception alone.
std::uint16_t storeOverflowFlags() {
  return overflowMasked() ? flagOverflow | flagPrecision : flagOverflow;
}

std::uint16_t storeTinyFlags(bool inexact) {
  if (underflowMasked()) return inexact ? flagUnderflow | flagPrecision : 0;
  return flagUnderflow;
}

}  // namespace

Extended roundAndPackOutOfRange(bool sign, std::int32_t exponent, std::uint64_t significand,
                                std::uint64_t extra, std::uint16_t& flags) {
  assert((significand & integerBit) != 0);
  if (exponent >= maxNormalExponent) {
    // Overflow, before or after rounding.
    const bool inexact = extra != 0;
    if (inexact && roundsUp(significand, extra)) {
      ++significand;
      if (significand == 0) {
        significand = integerBit;
        ++exponent;
      }
    }
    if (exponent > maxNormalExponent) {
      flags |= overflowFlags(inexact);
      return make(sign, maxExponentField, integerBit);
    }
    if (inexact) flags |= flagPrecision;
    return make(sign, static_cast<std::uint16_t>(exponent), significand);
  }

  // Below the normal range. Tiny after rounding unless rounding with unbounded
  // exponent carries a value just below the smallest normal up to it.
  const bool unboundedInexact = extra != 0;
  const bool tiny =
      exponent < 0 || significand != ~std::uint64_t{0} || !roundsUp(significand, extra);
  const wide::SignificandExtra shifted =
      wide::shiftRightJamExtra(significand, extra, static_cast<std::uint32_t>(1 - exponent));
  significand = shifted.significand;
  const bool inexact = shifted.extra != 0;
  if (inexact && roundsUp(significand, shifted.extra)) ++significand;
  // A carry into the integer bit makes the smallest normal, exponent field 1.
  const std::uint16_t exponentField = (significand & integerBit) != 0 ? 1 : 0;
  if (tiny) {
    flags |= tinyFlags(inexact, unboundedInexact);
  } else if (inexact) {
    flags |= flagPrecision;
  }
  return make(sign, exponentField, significand);
}

Extended roundPackAndSignalOutOfLine(bool sign, std::int32_t exponent, std::uint64_t significand,
                                     std::uint64_t extra, std::uint16_t flags,
                                     std::uintptr_t callerAddress) {
  const Extended result = roundAndPack(sign, exponent, significand, extra, flags);
  rules::signalOperation(flags, callerAddress);
  return result;
}

Extended normalizeRoundAndPack(bool sign, std::int32_t exponent, std::uint64_t significand,
                               std::uint64_t extra, std::uint16_t& flags) {
  if (significand == 0 && extra == 0) return make(sign, 0, 0);
  normalize(exponent, significand, extra);
  return roundAndPack(sign, exponent, significand, extra, flags);
}

std::uint64_t roundAndPackDouble(bool sign, std::int32_t exponent, std::uint64_t significand,
                                 std::uint64_t extra, std::uint16_t& flags) {
  assert((significand & integerBit) != 0);
  const std::uint64_t signBit = sign ? std::uint64_t{1} << 63 : 0;
  const std::int32_t doubleExponent = exponent - doubleExponentOffset;

  // Left-aligned bits below the 53 kept ones, sticky included.
  auto roundBitsOf = [](std::uint64_t sig, std::uint64_t rest) {
    return (sig << (64 - doubleDroppedBits)) | (rest != 0 ? 1u : 0u);
  };

  if (doubleExponent >= 1) {
    const bool inexact = (significand & doubleDroppedMask) != 0 || extra != 0;
    const std::uint64_t kept = roundToDoubleSignificand(significand, extra);
    if (doubleExponent + static_cast<std::int32_t>(kept >> 53) > maxDoubleExponent) {
      flags |= storeOverflowFlags();
      return signBit | (std::uint64_t{0x7FF} << 52);
    }
    if (inexact) flags |= flagPrecision;
    return packDouble(sign, doubleExponent, kept);
  }

  // Below the normal range of doubles.
  const std::uint64_t unboundedRoundBits = roundBitsOf(significand & doubleDroppedMask, extra);
  const bool tiny = doubleExponent < 0 ||
                    (significand >> doubleDroppedBits) != (std::uint64_t{1} << 53) - 1 ||
                    !roundsUp(significand >> doubleDroppedBits, unboundedRoundBits);
  const wide::SignificandExtra shifted =
      wide::shiftRightJamExtra(significand, extra, static_cast<std::uint32_t>(1 - doubleExponent));
  std::uint64_t kept = shifted.significand >> doubleDroppedBits;
  const std::uint64_t roundBits =
      roundBitsOf(shifted.significand & doubleDroppedMask, shifted.extra);
  const bool inexact = roundBits != 0;
  if (inexact && roundsUp(kept, roundBits)) ++kept;
  if (tiny) {
    flags |= storeTinyFlags(inexact);
  } else if (inexact) {
    flags |= flagPrecision;
  }
  // A carry into bit 52 is the smallest normal double: the same bits.
  return signBit | kept;
}

}  // namespace extended::detail
