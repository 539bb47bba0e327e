// The power-of-ten tables: every entry checked exactly against the power it
// stands for. With s the significand and e the unbiased exponent, an entry is
// right when |10^k − s·2^(e−63)| is below half a unit in the last place, or
// equal to it with s even. The check uses its own integer arithmetic and no
// floating point.
#include "textio/power_of_ten_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "extended/extended.h"

namespace {

// A nonnegative integer, least significant 32-bit limb first.
class Natural {
 public:
  explicit Natural(std::uint64_t value) {
    limbs_ = {static_cast<std::uint32_t>(value), static_cast<std::uint32_t>(value >> 32)};
    trim();
  }

  static Natural powerOfTen(int k) {
    // By squaring, unlike the generator's repeated multiplication.
    Natural result(1);
    Natural base(10);
    for (int e = k; e != 0; e >>= 1) {
      if ((e & 1) != 0) result = result * base;
      base = base * base;
    }
    return result;
  }

  Natural operator*(const Natural& other) const {
    std::vector<std::uint64_t> wide(limbs_.size() + other.limbs_.size() + 1, 0);
    for (std::size_t i = 0; i < limbs_.size(); ++i) {
      std::uint64_t carry = 0;
      for (std::size_t j = 0; j < other.limbs_.size(); ++j) {
        const std::uint64_t t = std::uint64_t{limbs_[i]} * other.limbs_[j] + wide[i + j] + carry;
        wide[i + j] = t & 0xFFFFFFFFu;
        carry = t >> 32;
      }
      wide[i + other.limbs_.size()] += carry;
    }
    Natural result(0);
    result.limbs_.assign(wide.begin(), wide.end());
    result.trim();
    return result;
  }

  Natural shiftedLeft(int count) const {
    Natural result(0);
    result.limbs_.assign(static_cast<std::size_t>(count / 32), 0);
    std::uint32_t carry = 0;
    const int bitShift = count % 32;
    for (std::uint32_t limb : limbs_) {
      result.limbs_.push_back(bitShift == 0 ? limb : (limb << bitShift) | carry);
      carry = bitShift == 0 ? 0 : limb >> (32 - bitShift);
    }
    result.limbs_.push_back(carry);
    result.trim();
    return result;
  }

  // |a − b|
  static Natural distance(const Natural& a, const Natural& b) {
    const bool aLarger = compare(a, b) >= 0;
    const Natural& big = aLarger ? a : b;
    const Natural& small = aLarger ? b : a;
    Natural result = big;
    std::int64_t borrow = 0;
    for (std::size_t i = 0; i < result.limbs_.size(); ++i) {
      std::int64_t t = std::int64_t{result.limbs_[i]} - borrow -
                       (i < small.limbs_.size() ? std::int64_t{small.limbs_[i]} : 0);
      borrow = t < 0 ? 1 : 0;
      result.limbs_[i] = static_cast<std::uint32_t>(t + (borrow << 32));
    }
    result.trim();
    return result;
  }

  static int compare(const Natural& a, const Natural& b) {
    if (a.limbs_.size() != b.limbs_.size()) return a.limbs_.size() < b.limbs_.size() ? -1 : 1;
    for (std::size_t i = a.limbs_.size(); i-- > 0;) {
      if (a.limbs_[i] != b.limbs_[i]) return a.limbs_[i] < b.limbs_[i] ? -1 : 1;
    }
    return 0;
  }

 private:
  void trim() {
    while (!limbs_.empty() && limbs_.back() == 0) limbs_.pop_back();
  }
  std::vector<std::uint32_t> limbs_;
};

// True when `entry` is 10^k rounded to 64 bits, to nearest with ties to even.
::testing::AssertionResult isRoundedPowerOfTen(const Extended& entry, int k) {
  if (entry.sign() || (entry.significand >> 63) == 0) {
    return ::testing::AssertionFailure() << "10^" << k << ": not a positive normal value";
  }
  const int shift = entry.exponentField() - extended::exponentBias - 63;
  const Natural exact = Natural::powerOfTen(k);
  const Natural significand(entry.significand);
  if (shift < 0) {
    // 10^k below 2^64: the entry must be exact.
    if (Natural::compare(significand, exact.shiftedLeft(-shift)) == 0) {
      return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "10^" << k << ": not exact";
  }
  // Twice the error against one unit in the last place, 2^shift.
  const Natural twiceError =
      Natural::distance(exact, significand.shiftedLeft(shift)).shiftedLeft(1);
  const int order = Natural::compare(twiceError, Natural(1).shiftedLeft(shift));
  if (order < 0 || (order == 0 && (entry.significand & 1) == 0)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "10^" << k << ": not the nearest (ties to even)";
}

TEST(PowerOfTenTable, EveryEntryIsTheRoundedPower) {
  for (int j = 0; j < pow10SmallCount; ++j) EXPECT_TRUE(isRoundedPowerOfTen(pow10Small[j], j));
  for (int j = 1; j <= pow10MidCount; ++j) {
    EXPECT_TRUE(isRoundedPowerOfTen(pow10Mid[j - 1], pow10MidStep * j));
  }
  for (int j = 1; j <= pow10BigCount; ++j) {
    EXPECT_TRUE(isRoundedPowerOfTen(pow10Big[j - 1], pow10BigStep * j));
  }
}

TEST(PowerOfTenTable, SampleEntries) {
  EXPECT_EQ(pow10Small[28], extended::make(false, 0x405C, 0x813F3978F8940984));
  EXPECT_EQ(pow10Mid[0], extended::make(false, 0x4069, 0x9DC5ADA82B70B59E));
  EXPECT_EQ(pow10Big[8], extended::make(false, 0x7BCA, 0xAE3511626ED559F0));
  // The composition limit: 31 + 32·15 + 512·9 is the largest exponent reached.
  EXPECT_EQ(pow10SmallCount - 1 + pow10MidStep * pow10MidCount + pow10BigStep * pow10BigCount,
            pow10ScaleLimit - 1);
}

// The checker itself must reject what is not a rounded power.
TEST(PowerOfTenTable, CheckerRejectsNeighbours) {
  const Extended e28 = pow10Small[28];
  EXPECT_FALSE(isRoundedPowerOfTen(Extended{e28.significand + 1, e28.signExponent}, 28));
  EXPECT_FALSE(isRoundedPowerOfTen(Extended{e28.significand - 1, e28.signExponent}, 28));
  EXPECT_FALSE(
      isRoundedPowerOfTen(Extended{pow10Small[5].significand + 1, pow10Small[5].signExponent}, 5));
  EXPECT_FALSE(isRoundedPowerOfTen(pow10Mid[3], 32 * 5));
}

}  // namespace
