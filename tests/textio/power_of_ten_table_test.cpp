// The power-of-ten tables: every entry checked exactly against the power it
// stands for, with integer arithmetic of its own and no floating point. With
// s the significand and 2^u the unit in the last place, an entry is right when
// (2s − 1)·2^(u−1) ≤ 10^k ≤ (2s + 1)·2^(u−1), with s even at either end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "extended/extended.h"
#include "textio/power_of_ten.h"

namespace {

// A nonnegative integer, least significant 32-bit limb first, no zero limb
// at the top.
using Natural = std::vector<std::uint32_t>;

Natural powerOfTen(int k) {
  Natural value{1};
  for (int i = 0; i < k; ++i) {
    std::uint64_t carry = 0;
    for (std::uint32_t& limb : value) {
      carry += std::uint64_t{limb} * 10;
      limb = static_cast<std::uint32_t>(carry);
      carry >>= 32;
    }
    if (carry != 0) value.push_back(static_cast<std::uint32_t>(carry));
  }
  return value;
}

Natural natural(std::uint64_t m) {
  Natural value;
  for (; m != 0; m >>= 32) value.push_back(static_cast<std::uint32_t>(m));
  return value;
}

Natural shiftedLeft(const Natural& value, int shift) {
  Natural result(static_cast<std::size_t>(shift / 32), 0);
  std::uint64_t carry = 0;
  for (const std::uint32_t limb : value) {
    carry |= std::uint64_t{limb} << (shift % 32);
    result.push_back(static_cast<std::uint32_t>(carry));
    carry >>= 32;
  }
  if (carry != 0) result.push_back(static_cast<std::uint32_t>(carry));
  return result;
}

// 2·m + 1, for m ≥ 1 (no 128-bit integer type on every machine).
Natural twicePlusOne(std::uint64_t m) {
  Natural value = shiftedLeft(natural(m), 1);
  value[0] |= 1;
  return value;
}

int compare(const Natural& a, const Natural& b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  for (std::size_t i = a.size(); i-- > 0;) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  return 0;
}

// True when `entry` is 10^k rounded to 64 bits, to nearest with ties to even.
::testing::AssertionResult isRoundedPowerOfTen(const Extended& entry, int k) {
  if (entry.sign() || (entry.significand & extended::integerBit) == 0) {
    return ::testing::AssertionFailure() << "10^" << k << ": not a positive normal value";
  }
  // Both sides scaled by 2^(1 − u) when u is below 1, so that all are integers.
  const int unit = entry.exponentField() - extended::exponentBias - 63;
  const Natural exact = shiftedLeft(powerOfTen(k), std::max(0, 1 - unit));
  const int below =
      compare(exact, shiftedLeft(twicePlusOne(entry.significand - 1), std::max(0, unit - 1)));
  const int above =
      compare(exact, shiftedLeft(twicePlusOne(entry.significand), std::max(0, unit - 1)));
  const bool even = (entry.significand & 1) == 0;
  if (below >= 0 && above <= 0 && ((below != 0 && above != 0) || even)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "10^" << k << ": not the nearest (ties to even)";
}

// Every entry is right and its neighbours one unit away are not, so that the
// check itself cannot pass vacuously.
void expectRoundedPower(const Extended& entry, int k) {
  EXPECT_TRUE(isRoundedPowerOfTen(entry, k));
  EXPECT_FALSE(isRoundedPowerOfTen(Extended{entry.significand + 1, entry.signExponent}, k));
  EXPECT_FALSE(isRoundedPowerOfTen(Extended{entry.significand - 1, entry.signExponent}, k));
}

TEST(PowerOfTenTable, EveryEntryIsTheRoundedPower) {
  for (int j = 0; j < pow10SmallCount; ++j) expectRoundedPower(pow10Small[j], j);
  for (int j = 1; j <= pow10MidCount; ++j) expectRoundedPower(pow10Mid[j - 1], 32 * j);
  for (int j = 1; j <= pow10BigCount; ++j) expectRoundedPower(pow10Big[j - 1], 512 * j);
}

TEST(PowerOfTenTable, SampleEntries) {
  EXPECT_EQ(pow10Small[28], extended::make(false, 0x405C, 0x813F3978F8940984));  // a tie
  EXPECT_EQ(pow10Mid[0], extended::make(false, 0x4069, 0x9DC5ADA82B70B59E));
  EXPECT_EQ(pow10Big[8], extended::make(false, 0x7BCA, 0xAE3511626ED559F0));
}

}  // namespace
