// The model against the fixed vectors taken from the x87 unit: runs on every
// CPU. On x86 hosts a second test recomputes the table on the x87 unit, so a
// stale or hand-edited table fails.
#include <gtest/gtest.h>

#include <string>

#include "tests/extended/fixed_vectors.h"
#include "tests/extended/x87_reference.h"

namespace x87test {

namespace {
constexpr FixedVector vectorTable[] = {
#include "tests/extended/generate_x87_vectors.inc"
};
}  // namespace

std::span<const FixedVector> fixedVectors() {
  return vectorTable;
}

namespace {

std::string describe(const FixedVector& v, int word, const Outcome& expected, const Outcome& got) {
  char head[48];
  std::snprintf(head, sizeof head, "%s cw %04X: ", operationName(v.op),
                static_cast<unsigned>(fixedVectorWords[word]));
  return head + describeOperands(v.op, operandsOf(v)) + " -> expected " +
         describeOutcome(v.op, expected) + ", model " + describeOutcome(v.op, got);
}

TEST(X87FixedVectors, CoverEveryOperation) {
  bool seen[operationCount] = {};
  for (const FixedVector& v : fixedVectors()) seen[static_cast<int>(v.op)] = true;
  for (int op = 0; op < operationCount; ++op)
    EXPECT_TRUE(seen[op]) << operationName(static_cast<Operation>(op));
  EXPECT_GE(fixedVectors().size(), 2000u);
}

TEST(X87FixedVectors, ModelMatches) {
  int mismatches = 0;
  for (const FixedVector& v : fixedVectors()) {
    for (int word = 0; word < 3; ++word) {
      const Outcome expected = expectedOutcome(v, word);
      const Outcome got = runOnModel(v.op, operandsOf(v), fixedVectorWords[word]);
      if (!agrees(v.op, fixedVectorWords[word], expected, got) && ++mismatches <= 20) {
        ADD_FAILURE() << describe(v, word, expected, got);
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
}

// The table as its generator would write it now: the same cases in the same
// order, with the outcomes that the x87 unit gives.
TEST(X87FixedVectors, TableIsWhatTheGeneratorWrites) {
  const auto cases = vectorCases();
  ASSERT_EQ(cases.size(), fixedVectors().size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const FixedVector& v = fixedVectors()[i];
    ASSERT_TRUE(cases[i].first == v.op && cases[i].second.a == operandsOf(v).a &&
                cases[i].second.b == operandsOf(v).b)
        << "entry " << i << " is " << describeOperands(v.op, operandsOf(v))
        << "; run generate_x87_vectors again";
  }
  if (!x87Available) GTEST_SKIP() << "no x87 unit on this CPU";
  int mismatches = 0;
  for (const FixedVector& v : fixedVectors()) {
    for (int word = 0; word < 3; ++word) {
      const Outcome expected = expectedOutcome(v, word);
      Outcome x87 = runOnX87(v.op, operandsOf(v), fixedVectorWords[word]);
      if (x87.trapCode != 0) x87.value = expected.value;  // no result to compare after a trap
      if (!(x87.value == expected.value && x87.flags == expected.flags) && ++mismatches <= 20) {
        ADD_FAILURE() << describe(v, word, expected, x87);
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace x87test
