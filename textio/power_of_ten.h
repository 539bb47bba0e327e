// Powers of ten for reading and writing reals: the constant tables and the
// scaling by them (scaleByPowerOfTen), which the reader uses to apply a
// number's decimal exponent and the writer to bring a value into [1, 16).
//
// Each table entry is the exact power rounded to a 64-bit significand, to
// nearest with ties to even (10^0 to 10^27 are exact). The entries are
// produced by tools/generate_power_of_ten_table.cpp into power_of_ten_table.cpp.
//
// A magnitude k below 5120 is composed as 10^(k mod 32) · 10^(32·(k div 32 mod
// 16)) · 10^(512·(k div 512)), at most one entry from each table.
#pragma once

#include <cstdint>

#include "extended/extended.h"

inline constexpr int pow10SmallCount = 32;  // pow10Small[j] = 10^j, j = 0..31
inline constexpr int pow10MidCount = 15;    // pow10Mid[j - 1] = 10^(32·j), j = 1..15
inline constexpr int pow10BigCount = 9;     // pow10Big[j - 1] = 10^(512·j), j = 1..9
inline constexpr int pow10MidStep = 32;
inline constexpr int pow10BigStep = 512;
// One more than the largest exponent the tables compose: 31 + 32·15 + 512·9.
inline constexpr int pow10ScaleLimit = 5120;

extern const Extended pow10Small[pow10SmallCount];
extern const Extended pow10Mid[pow10MidCount];
extern const Extended pow10Big[pow10BigCount];

// x times 10^n with at most three rounded table operations, smallest factor
// first; negative n divides. |n| of 5120 or more gives +Infinity (a zero stays
// zero) or +0 without a trap. An overflow of the table operations traps
// (floating-point overflow).
Extended scaleByPowerOfTen(Extended x, std::int32_t n);
