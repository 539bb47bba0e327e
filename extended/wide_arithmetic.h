// Wide integer helpers for the extended model, in plain portable C++: 64×64→128
// products, 128/64 division, shifts that keep a sticky bit, 128-bit
// subtraction and comparison. Built the same way on every target, with one
// exception: the 64×64→128 product and the 128/64 division are the
// compiler's 128-bit integer arithmetic where it offers that type (x86-64,
// aarch64 and the other 64-bit targets), and the portable ones elsewhere
// (armhf, win32). Both give the exact product, and the exact quotient and
// remainder, so the results are the same bits; the tests compare them.
#pragma once

#include <bit>
#include <cassert>
#include <cstdint>

namespace extended::wide {

// An unsigned 128-bit number as two 64-bit halves.
struct Uint128 {
  std::uint64_t high = 0;
  std::uint64_t low = 0;
};

// A 64-bit significand with 64 further bits below it: `extra` holds the bits
// shifted out, its top bit being the round bit; a nonzero value below the top
// bit means "more than nothing" (sticky), not an exact fraction.
struct SignificandExtra {
  std::uint64_t significand = 0;
  std::uint64_t extra = 0;
};

inline constexpr std::uint64_t lowHalfMask = 0xFFFFFFFFu;

// Full product of two 64-bit numbers, from four 32×32-bit partial products.
inline Uint128 multiply64To128Portable(std::uint64_t a, std::uint64_t b) {
  const std::uint64_t aLow = a & lowHalfMask;
  const std::uint64_t aHigh = a >> 32;
  const std::uint64_t bLow = b & lowHalfMask;
  const std::uint64_t bHigh = b >> 32;
  const std::uint64_t lowLow = aLow * bLow;
  const std::uint64_t highLow = aHigh * bLow;
  // The two cross products, each weighing 2^32; a carry out of their sum weighs 2^96.
  const std::uint64_t cross = highLow + aLow * bHigh;
  const std::uint64_t crossCarry = cross < highLow ? std::uint64_t{1} << 32 : 0;
  const std::uint64_t low = lowLow + (cross << 32);
  const std::uint64_t lowCarry = low < lowLow ? 1 : 0;
  return Uint128{aHigh * bHigh + (cross >> 32) + crossCarry + lowCarry, low};
}

// Full product of two 64-bit numbers: one multiplication where the processor
// has a 64×64→128 product.
#ifdef __SIZEOF_INT128__
__extension__ typedef unsigned __int128 NativeUint128;
#endif

inline Uint128 multiply64To128(std::uint64_t a, std::uint64_t b) {
#ifdef __SIZEOF_INT128__
  const NativeUint128 product = static_cast<NativeUint128>(a) * b;
  return Uint128{static_cast<std::uint64_t>(product >> 64), static_cast<std::uint64_t>(product)};
#else
  return multiply64To128Portable(a, b);
#endif
}

inline Uint128 subtract128(Uint128 a, Uint128 b) {
  return Uint128{a.high - b.high - (a.low < b.low ? 1u : 0u), a.low - b.low};
}

inline bool less128(Uint128 a, Uint128 b) {
  return a.high < b.high || (a.high == b.high && a.low < b.low);
}

// Shifts the pair (significand, extra) right by any distance ≥ 0; bits that
// fall out of `extra` are ORed into its lowest bit.
inline SignificandExtra shiftRightJamExtra(std::uint64_t significand, std::uint64_t extra,
                                           std::uint32_t distance) {
  if (distance == 0) return SignificandExtra{significand, extra};
  if (distance < 64) {
    return SignificandExtra{significand >> distance,
                            (significand << (64 - distance)) | (extra >> distance) |
                                ((extra << (64 - distance)) != 0 ? 1u : 0u)};
  }
  if (distance == 64) return SignificandExtra{0, significand | (extra != 0 ? 1u : 0u)};
  if (distance < 128) {
    return SignificandExtra{0, (significand >> (distance - 64)) |
                                   (((significand << (128 - distance)) | extra) != 0 ? 1u : 0u)};
  }
  return SignificandExtra{0, (significand | extra) != 0 ? 1u : 0u};
}

// Divides the 128-bit number (high, low) by `divisor`, which must have its top
// bit set and exceed `high`, so that the quotient fits 64 bits. Returns the
// quotient and stores the remainder. Two 64/32 digit steps (long division in
// base 2^32 with the usual two-correction estimate).
inline std::uint64_t divide128By64Portable(std::uint64_t high, std::uint64_t low,
                                           std::uint64_t divisor, std::uint64_t& remainder) {
  assert((divisor >> 63) != 0 && high < divisor);
  constexpr std::uint64_t base = std::uint64_t{1} << 32;
  const std::uint64_t divisorHigh = divisor >> 32;
  const std::uint64_t divisorLow = divisor & lowHalfMask;
  const std::uint64_t lowDigit1 = low >> 32;
  const std::uint64_t lowDigit0 = low & lowHalfMask;

  // First quotient digit from (high, lowDigit1).
  std::uint64_t quotient1 = high / divisorHigh;
  std::uint64_t partial = high - quotient1 * divisorHigh;
  while (quotient1 >= base || quotient1 * divisorLow > ((partial << 32) | lowDigit1)) {
    --quotient1;
    partial += divisorHigh;
    if (partial >= base) break;
  }
  const std::uint64_t rest = (high << 32) + lowDigit1 - quotient1 * divisor;

  // Second digit from (rest, lowDigit0).
  std::uint64_t quotient0 = rest / divisorHigh;
  partial = rest - quotient0 * divisorHigh;
  while (quotient0 >= base || quotient0 * divisorLow > ((partial << 32) | lowDigit0)) {
    --quotient0;
    partial += divisorHigh;
    if (partial >= base) break;
  }
  remainder = (rest << 32) + lowDigit0 - quotient0 * divisor;
  return (quotient1 << 32) | quotient0;
}

// As divide128By64Portable, with the same domain and results: the compiler's
// 128-bit division where it has that type (on x86-64 the processor's own
// 128/64 division). The remainder is below the divisor, so its low 64 bits
// are all of it. The compiler's division is a call into its support library
// (__udivti3), whose 64-bit ARM build carries no branch-target marks: linked
// in, that one object would take BTI off the whole program, so 64-bit ARM
// keeps the portable division.
inline std::uint64_t divide128By64(std::uint64_t high, std::uint64_t low, std::uint64_t divisor,
                                   std::uint64_t& remainder) {
#if defined(__SIZEOF_INT128__) && !defined(__aarch64__)
  assert((divisor >> 63) != 0 && high < divisor);
  const auto quotient =
      static_cast<std::uint64_t>(((static_cast<NativeUint128>(high) << 64) | low) / divisor);
  remainder = low - quotient * divisor;
  return quotient;
#else
  return divide128By64Portable(high, low, divisor, remainder);
#endif
}

}  // namespace extended::wide
