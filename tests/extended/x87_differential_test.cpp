// The extended model against the processor's x87 unit: seeded random sweeps of
// every operation, the hand-picked edge tables, and a sample of traps confirmed
// by a real SIGFPE. On CPUs without an x87 unit these tests skip; the fixed
// vectors (x87_vectors_test.cpp) carry the same edges everywhere.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <set>
#include <string>

#include "exceptions/exception_codes.h"
#include "tests/extended/differential.h"
#include "tests/extended/differential_sweep.h"
#include "tests/extended/edge_cases.h"
#include "tests/extended/operand_draws.h"
#include "tests/extended/x87_reference.h"

namespace x87test {
namespace {

#define REQUIRE_X87()                                             \
  do {                                                            \
    if (!x87Available) GTEST_SKIP() << "no x87 unit on this CPU"; \
  } while (false)

constexpr std::uint64_t casesPerOperation = 1000000;
constexpr std::uint64_t sweepSeed = 20261207;

using extended::flagDenormal;
using extended::flagInvalid;
using extended::flagOverflow;
using extended::flagPrecision;
using extended::flagUnderflow;
using extended::flagZeroDivide;

constexpr Extended value(bool negative, int field, std::uint64_t significand) {
  return extended::make(negative, static_cast<std::uint16_t>(field), significand);
}
constexpr Extended one = value(false, 16383, 0x8000000000000000u);
constexpr Extended two = value(false, 16384, 0x8000000000000000u);
constexpr Extended three = value(false, 16384, 0xC000000000000000u);
constexpr Extended quietNaN = value(false, 0x7FFF, 0xC000000000000000u);

// The harness itself: answers known without the x87, so that swapped operands
// or a misread status word cannot pass as agreement.
TEST(X87Harness, KnownAnswers) {
  REQUIRE_X87();
  const Outcome difference = runOnX87(Operation::subtract, {three, one}, allMaskedWord);
  EXPECT_EQ(difference.value, two);
  EXPECT_EQ(difference.flags, 0);
  const Outcome quotient = runOnX87(Operation::divide, {three, two}, allMaskedWord);
  EXPECT_EQ(quotient.value, value(false, 16383, 0xC000000000000000u));
  EXPECT_EQ(runOnX87(Operation::compare, {one, three}, allMaskedWord).value.significand,
            static_cast<std::uint64_t>(extended::Comparison::less));
  EXPECT_EQ(runOnX87(Operation::compare, {three, one}, allMaskedWord).value.significand,
            static_cast<std::uint64_t>(extended::Comparison::greater));
  const Outcome unordered = runOnX87(Operation::compare, {quietNaN, one}, allMaskedWord);
  EXPECT_EQ(unordered.value.significand,
            static_cast<std::uint64_t>(extended::Comparison::unordered));
  EXPECT_EQ(unordered.flags, flagInvalid);  // ordered compare: a quiet NaN is invalid too
  const Outcome third = runOnX87(Operation::divide, {one, three}, allUnmaskedWord);
  EXPECT_EQ(third.flags, flagPrecision);
  EXPECT_EQ(third.trapCode, platform::statusFloatInexactResult);
  const Outcome byZero =
      runOnX87(Operation::divide, {one, extended::positiveZero}, defaultFpuControlAtLoad);
  EXPECT_EQ(byZero.flags, flagZeroDivide);
  EXPECT_EQ(byZero.trapCode, platform::statusFloatDivideByZero);
  EXPECT_EQ(runOnX87(Operation::toInt64, {three, {}}, allMaskedWord).value.significand, 3u);
  EXPECT_EQ(runOnX87(Operation::toDouble, {three, {}}, allMaskedWord).value.significand,
            0x4008000000000000u);
  // An exact tiny result: underflow only when unmasked.
  const Operands tinyExact{value(false, 1, 0x8000000000000000u),
                           value(false, 16382, 0x8000000000000000u)};
  EXPECT_EQ(runOnX87(Operation::multiply, tinyExact, allMaskedWord).flags, 0);
  EXPECT_EQ(runOnX87(Operation::multiply, tinyExact, allUnmaskedWord).trapCode,
            platform::statusFloatUnderflow);
}

// The trap hook is called once, with the address of the code that called the
// operation, which lies in the caller (runOnModel), not in the model.
TEST(X87Harness, TrapHookGetsCallerAddress) {
  const Extended signalingNaN = value(false, 0x7FFF, 0x8000000000000001u);
  const Operands cases[] = {{signalingNaN, one},
                            {signalingNaN, one},
                            {signalingNaN, one},
                            {signalingNaN, one},
                            {value(true, 16383, 0x8000000000000000u), {}},
                            {signalingNaN, one},
                            {signalingNaN, {}},
                            {Extended{0x7FF0000000000001u, 0}, {}},
                            {signalingNaN, {}},
                            {},
                            {signalingNaN, {}}};
  const auto caller = reinterpret_cast<std::uintptr_t>(&runOnModel);
  for (int op = 0; op <= static_cast<int>(Operation::toInt64); ++op) {
    if (static_cast<Operation>(op) == Operation::fromInt64) continue;  // exact, never traps
    SCOPED_TRACE(operationName(static_cast<Operation>(op)));
    const Outcome o = runOnModel(static_cast<Operation>(op), cases[op], defaultFpuControlAtLoad);
    EXPECT_EQ(o.trapCode, platform::statusFloatInvalidOperation);
    EXPECT_EQ(lastTrapCallCount(), 1);
    EXPECT_GE(lastTrapCallerAddress(), caller);
    EXPECT_LT(lastTrapCallerAddress(), caller + 0x10000);
  }
}

class X87Sweep : public testing::TestWithParam<Operation> {};

// The flags that the draws of each operation must raise (all masked) and the
// traps they must take (all unmasked), so that a generator which stopped
// reaching a class of cases fails rather than passes quietly. A masked
// underflow needs an inexact tiny result, which a sum never is.
struct Required {
  std::uint16_t flags;
  std::uint16_t traps;
};
Required required(Operation op) {
  constexpr std::uint16_t arithmetic = flagInvalid | flagDenormal | flagOverflow | flagPrecision;
  switch (op) {
    case Operation::add:
    case Operation::subtract:
      return {arithmetic, arithmetic | flagUnderflow};
    case Operation::multiply:
      return {arithmetic | flagUnderflow, arithmetic | flagUnderflow};
    case Operation::divide:
      return {arithmetic | flagUnderflow | flagZeroDivide,
              arithmetic | flagUnderflow | flagZeroDivide};
    case Operation::squareRoot:
    case Operation::roundToInteger:
      return {flagInvalid | flagDenormal | flagPrecision,
              flagInvalid | flagDenormal | flagPrecision};
    case Operation::compare:
    case Operation::fromDouble:
      return {flagInvalid | flagDenormal, flagInvalid | flagDenormal};
    case Operation::toDouble: {
      constexpr std::uint16_t store = flagInvalid | flagOverflow | flagUnderflow | flagPrecision;
      return {store, store};
    }
    case Operation::toInt64:
      return {flagInvalid | flagPrecision, flagInvalid | flagPrecision};
    case Operation::fromInt64:
    case Operation::negate:
    case Operation::absolute:
      return {0, 0};
  }
  return {0, 0};
}

TEST_P(X87Sweep, MatchesModel) {
  REQUIRE_X87();
  const Operation op = GetParam();
  const Tally tally = sweep(op, sweepSeed, casesPerOperation);
  std::printf("%s\n", tally.summary(op).c_str());
  for (const std::string& example : tally.examples) ADD_FAILURE() << example;
  EXPECT_EQ(tally.mismatches, 0u);
  EXPECT_EQ(tally.repeatedTrapCalls, 0u) << "one operation, one trap";
  const Required wanted = required(op);
  for (int bit = 0; bit < 6; ++bit) {
    if (wanted.flags & (1u << bit)) {
      EXPECT_GE(tally.flagHits[bit], casesPerOperation / 1000)
          << "flag bit " << bit << " rarely raised";
    }
    if (wanted.traps & (1u << bit)) {
      EXPECT_GE(tally.trapHits[bit], casesPerOperation / 1000)
          << "trap of flag bit " << bit << " rarely taken";
    }
  }
}

const Operation allOperations[] = {
    Operation::add,        Operation::subtract,  Operation::multiply,       Operation::divide,
    Operation::squareRoot, Operation::compare,   Operation::roundToInteger, Operation::fromDouble,
    Operation::toDouble,   Operation::fromInt64, Operation::toInt64,        Operation::negate,
    Operation::absolute};

INSTANTIATE_TEST_SUITE_P(AllOperations, X87Sweep, testing::ValuesIn(allOperations),
                         [](const testing::TestParamInfo<Operation>& param) {
                           return std::string(operationName(param.param));
                         });

// The edge tables, one test per boundary, under every mix of masks.
class X87Edges : public testing::TestWithParam<std::string> {};

TEST_P(X87Edges, MatchModel) {
  REQUIRE_X87();
  Tally tally;
  int cases = 0;
  for (const EdgeCase& edge : edgeCases()) {
    if (GetParam() != edge.boundary) continue;
    ++cases;
    // Under the three sweep words and under each of the 64 mixes of masks.
    for (std::uint16_t masks = 0; masks <= extended::exceptionMaskBits; ++masks) {
      checkCase(edge.op, edge.x, tally, static_cast<std::uint16_t>(allUnmaskedWord | masks));
    }
  }
  EXPECT_GT(cases, 0);
  for (const std::string& example : tally.examples) ADD_FAILURE() << example;
  EXPECT_EQ(tally.mismatches, 0u);
}

std::vector<std::string> boundaries() {
  std::vector<std::string> names;
  for (const EdgeCase& edge : edgeCases()) {
    if (names.empty() || names.back() != edge.boundary) {
      bool seen = false;
      for (const std::string& n : names) seen = seen || n == edge.boundary;
      if (!seen) names.push_back(edge.boundary);
    }
  }
  return names;
}

INSTANTIATE_TEST_SUITE_P(ByBoundary, X87Edges, testing::ValuesIn(boundaries()),
                         [](const testing::TestParamInfo<std::string>& param) {
                           std::string name;
                           for (const char c : param.param)
                             name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return name;
                         });

// The si_code that Linux gives a SIGFPE of the x87 for the exception that the
// model reports first.
int expectedSignalCode(std::uint32_t trapCode) {
  switch (trapCode) {
    case platform::statusFloatInvalidOperation:
      return FPE_FLTINV;
    case platform::statusFloatDivideByZero:
      return FPE_FLTDIV;
    case platform::statusFloatOverflow:
      return FPE_FLTOVF;
    case platform::statusFloatUnderflow:
    case platform::statusFloatDenormalOperand:
      return FPE_FLTUND;
    case platform::statusFloatInexactResult:
      return FPE_FLTRES;
    default:
      return 0;
  }
}

// A real SIGFPE: the child runs the operation and an FWAIT under the program's
// word and under the all-unmasked word; it must die of SIGFPE exactly when the
// model traps, with the signal code of the exception the model reports.
TEST(X87Signal, SampleMatchesModelTrapDecision) {
  REQUIRE_X87();
  std::vector<std::pair<Operation, Operands>> sample;
  for (const EdgeCase& edge : edgeCases()) {
    if (std::string(edge.boundary) != "known answers") sample.emplace_back(edge.op, edge.x);
  }
  Random random(sweepSeed);
  for (const Operation op : allOperations) {
    for (int i = 0; i < 40; ++i) sample.emplace_back(op, drawOperands(op, random));
  }
  int mismatches = 0;
  int signalled = 0;
  for (std::size_t i = 0; i < sample.size(); ++i) {
    const auto& [op, x] = sample[i];
    const std::uint16_t word = i % 2 == 0 ? defaultFpuControlAtLoad : allUnmaskedWord;
    const Outcome model = runOnModel(op, x, word);
    const int got = sigfpeCodeOnX87(op, x, word);
    signalled += got > 0 ? 1 : 0;
    const int expected = expectedSignalCode(model.trapCode);
    if (got != expected && ++mismatches <= 20) {
      ADD_FAILURE() << operationName(op) << " cw " << std::hex << word << ": "
                    << describeOperands(op, x) << " -> child signal code " << std::dec << got
                    << ", model trap " << describeOutcome(op, model);
    }
  }
  std::printf("%zu cases forked, %d died of SIGFPE, %d disagreements\n", sample.size(), signalled,
              mismatches);
  EXPECT_GT(signalled, 100);
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace x87test
