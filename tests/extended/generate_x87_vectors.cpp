// Writes the fixed vectors (generate_x87_vectors.inc) from the x87 unit: every
// edge case and a seeded random sample of each operation, with the masked
// result and the status flags under the three control words.
//
//   build/<dir>/tests/extended/generate_x87_vectors > tests/extended/generate_x87_vectors.inc
#include <cinttypes>
#include <cstdio>

#include "tests/extended/fixed_vectors.h"
#include "tests/extended/x87_reference.h"

namespace {

using namespace x87test;

// Returns false when a run without an unmasked exception left another result
// than the all-masked run: the table's encoding would not describe it.
bool write(Operation op, const Operands& x) {
  Outcome outcomes[3];
  for (int w = 0; w < 3; ++w) outcomes[w] = runOnX87(op, x, fixedVectorWords[w]);
  for (int w = 1; w < 3; ++w) {
    if (outcomes[w].trapCode == 0 && !(outcomes[w].value == outcomes[0].value)) return false;
  }
  std::printf("{Operation::%s, 0x%04X, 0x%016" PRIX64 ", 0x%04X, 0x%016" PRIX64
              ", 0x%04X, 0x%016" PRIX64 ", {0x%02X, 0x%02X, 0x%02X}},\n",
              operationName(op), x.a.signExponent, x.a.significand, x.b.signExponent,
              x.b.significand, outcomes[0].value.signExponent, outcomes[0].value.significand,
              outcomes[0].flags, outcomes[1].flags, outcomes[2].flags);
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
  for (const auto& [op, x] : vectorCases()) consistent = write(op, x) && consistent;
  if (!consistent) {
    std::fprintf(stderr, "generate_x87_vectors: a result depends on the masks without a trap\n");
    return 1;
  }
  return 0;
}
