// Writes the fixed vectors (generate_x87_vectors.inc) from the x87 unit: every
// edge case and a seeded random sample of each operation, with the masked
// result and the status flags under the three control words.
//
//   build/<dir>/tests/extended/generate_x87_vectors > tests/extended/generate_x87_vectors.inc
#include <cinttypes>
#include <cstdio>
#include <vector>

#include "tests/extended/edge_cases.h"
#include "tests/extended/fixed_vectors.h"
#include "tests/extended/operand_draws.h"
#include "tests/extended/x87_reference.h"

namespace {

using namespace x87test;

constexpr std::uint64_t vectorSeed = 0x7EC7025;
constexpr int randomPerOperation = 200;

const Operation allOperations[] = {
    Operation::add,        Operation::subtract,  Operation::multiply,       Operation::divide,
    Operation::squareRoot, Operation::compare,   Operation::roundToInteger, Operation::fromDouble,
    Operation::toDouble,   Operation::fromInt64, Operation::toInt64,        Operation::negate,
    Operation::absolute};

// Returns false when a run without an unmasked exception left another result
// than the all-masked run: the table's encoding would not describe it.
bool write(Operation op, const Operands& x) {
  Outcome outcomes[3];
  for (int w = 0; w < 3; ++w) outcomes[w] = runOnX87(op, x, fixedVectorWords[w]);
  for (int w = 1; w < 3; ++w) {
    if (outcomes[w].trapCode == 0 && !(outcomes[w].value == outcomes[0].value)) return false;
  }
  std::printf("{Operation::%s, 0x%04X, 0x%016" PRIX64 ", 0x%04X, 0x%016" PRIX64 ", 0x%04X, 0x%016" PRIX64
              ", {0x%02X, 0x%02X, 0x%02X}},\n",
              operationName(op), x.a.signExponent, x.a.significand, x.b.signExponent, x.b.significand,
              outcomes[0].value.signExponent, outcomes[0].value.significand, outcomes[0].flags,
              outcomes[1].flags, outcomes[2].flags);
  return true;
}

}  // namespace

int main() {
  if (!x87Available) {
    std::fprintf(stderr, "generate_x87_vectors: needs an x87 unit (x86 host)\n");
    return 1;
  }
  std::printf("// Written by generate_x87_vectors.cpp from the x87 unit; do not edit.\n");
  std::printf("// op, a, b, masked result, flags under 0x137F, 0x1332, 0x1340\n");
  bool consistent = true;
  for (const EdgeCase& edge : edgeCases()) consistent = write(edge.op, edge.x) && consistent;
  Random random(vectorSeed);
  for (const Operation op : allOperations) {
    for (int i = 0; i < randomPerOperation; ++i) consistent = write(op, drawOperands(op, random)) && consistent;
  }
  if (!consistent) {
    std::fprintf(stderr, "generate_x87_vectors: a result depends on the masks without a trap\n");
    return 1;
  }
  return 0;
}
