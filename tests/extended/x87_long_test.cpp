// The long differential sweep (CTest label `long`): the same checks as the
// normal suite at 10^8 random cases per operation, from another seed, or at
// QUADSOLVE_LONG_CASES per operation when that is fewer (tests/long_sweep.h).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "tests/extended/differential_sweep.h"
#include "tests/extended/x87_reference.h"
#include "tests/long_sweep.h"

namespace x87test {
namespace {

constexpr std::uint64_t casesPerOperation = 100000000;
constexpr std::uint64_t longSeed = 0x5EED0000;

class X87LongSweep : public testing::TestWithParam<Operation> {};

TEST_P(X87LongSweep, MatchesModel) {
  if (!x87Available) GTEST_SKIP() << "no x87 unit on this CPU";
  const Operation op = GetParam();
  const Tally tally = sweep(op, longSeed, longsweep::cases(casesPerOperation));
  std::printf("%s\n", tally.summary(op).c_str());
  for (const std::string& example : tally.examples) ADD_FAILURE() << example;
  EXPECT_EQ(tally.mismatches, 0u);
  EXPECT_EQ(tally.repeatedTrapCalls, 0u) << "one operation, one trap";
}

INSTANTIATE_TEST_SUITE_P(AllOperations, X87LongSweep,
                         testing::Values(Operation::add, Operation::subtract, Operation::multiply,
                                         Operation::divide, Operation::squareRoot,
                                         Operation::compare, Operation::roundToInteger,
                                         Operation::fromDouble, Operation::toDouble,
                                         Operation::fromInt64, Operation::toInt64,
                                         Operation::negate, Operation::absolute),
                         [](const testing::TestParamInfo<Operation>& param) {
                           return std::string(operationName(param.param));
                         });

}  // namespace
}  // namespace x87test
