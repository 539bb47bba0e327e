// The long differential sweep (CTest label `long`): the same checks as the
// normal suite at 10^8 random cases per operation, from another seed.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/extended/differential_sweep.h"
#include "tests/extended/x87_reference.h"

namespace x87test {
namespace {

constexpr std::uint64_t defaultCases = 100000000;
constexpr std::uint64_t longSeed = 0x5EED0000;

// QUADSOLVE_LONG_CASES overrides the count per operation (for a shorter trial).
std::uint64_t casesPerOperation() {
  const char* text = std::getenv("QUADSOLVE_LONG_CASES");
  return text != nullptr ? std::strtoull(text, nullptr, 10) : defaultCases;
}

class X87LongSweep : public testing::TestWithParam<Operation> {};

TEST_P(X87LongSweep, MatchesModel) {
  if (!x87Available) GTEST_SKIP() << "no x87 unit on this CPU";
  const Operation op = GetParam();
  const Tally tally = sweep(op, longSeed, casesPerOperation());
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
