#include "tests/extended/differential_sweep.h"

#include <cinttypes>
#include <cstdio>

#include "exceptions/exception_codes.h"
#include "tests/extended/operand_draws.h"
#include "tests/extended/x87_reference.h"

namespace x87test {

namespace {

constexpr std::size_t maxExamples = 20;
const char* const flagNames[6] = {"IE", "DE", "ZE", "OE", "UE", "PE"};

}  // namespace

std::uint16_t flagOfCode(std::uint32_t code) {
  switch (code) {
    case platform::statusFloatInvalidOperation:
      return extended::flagInvalid;
    case platform::statusFloatDenormalOperand:
      return extended::flagDenormal;
    case platform::statusFloatDivideByZero:
      return extended::flagZeroDivide;
    case platform::statusFloatOverflow:
      return extended::flagOverflow;
    case platform::statusFloatUnderflow:
      return extended::flagUnderflow;
    case platform::statusFloatInexactResult:
      return extended::flagPrecision;
    default:
      return 0;
  }
}

void checkCase(Operation op, const Operands& x, Tally& tally, std::uint16_t mixedWord) {
  ++tally.cases;
  bool mismatch = false;
  const std::uint16_t words[] = {sweepControlWords[0], sweepControlWords[1], sweepControlWords[2],
                                 mixedWord};
  for (const std::uint16_t word : words) {
    if (word == 0) continue;
    const Outcome expected = runOnX87(op, x, word);
    const Outcome got = runOnModel(op, x, word);
    tally.repeatedTrapCalls += lastTrapCallCount() > 1 ? 1 : 0;
    if (word == allMaskedWord) {
      for (int bit = 0; bit < 6; ++bit) tally.flagHits[bit] += (expected.flags >> bit) & 1;
    } else if (word == allUnmaskedWord) {
      const std::uint16_t flag = flagOfCode(expected.trapCode);
      for (int bit = 0; bit < 6; ++bit) tally.trapHits[bit] += (flag >> bit) & 1;
    } else if (word == defaultFpuControlAtLoad && expected.trapCode != 0) {
      ++tally.programWordTraps;
    }
    if (!agrees(op, word, expected, got)) {
      mismatch = true;
      if (tally.examples.size() < maxExamples) {
        char head[64];
        std::snprintf(head, sizeof head, "%s cw %04X: ", operationName(op),
                      static_cast<unsigned>(word));
        tally.examples.push_back(head + describeOperands(op, x) + " -> x87 " +
                                 describeOutcome(op, expected) + ", model " +
                                 describeOutcome(op, got));
      }
    }
  }
  tally.mismatches += mismatch ? 1 : 0;
}

Tally sweep(Operation op, std::uint64_t seed, std::uint64_t count) {
  Random random(seed * 0x100 + static_cast<std::uint64_t>(op));
  Tally tally;
  for (std::uint64_t i = 0; i < count; ++i) {
    const Operands x = drawOperands(op, random);
    const auto masks = static_cast<std::uint16_t>(random.next() & extended::exceptionMaskBits);
    checkCase(op, x, tally, static_cast<std::uint16_t>(allUnmaskedWord | masks));
  }
  return tally;
}

std::string Tally::summary(Operation op) const {
  char text[512];
  int n =
      std::snprintf(text, sizeof text,
                    "%-14s %10" PRIu64 " cases x 4 control words, %" PRIu64 " mismatching; flags",
                    operationName(op), cases, mismatches);
  for (int bit = 0; bit < 6; ++bit) {
    n += std::snprintf(text + n, sizeof text - n, " %s %" PRIu64, flagNames[bit], flagHits[bit]);
  }
  n += std::snprintf(text + n, sizeof text - n, "; traps (all unmasked)");
  for (int bit = 0; bit < 6; ++bit) {
    n += std::snprintf(text + n, sizeof text - n, " %s %" PRIu64, flagNames[bit], trapHits[bit]);
  }
  std::snprintf(text + n, sizeof text - n,
                "; traps (0x1332) %" PRIu64 "; repeated hook calls %" PRIu64, programWordTraps,
                repeatedTrapCalls);
  return text;
}

}  // namespace x87test
