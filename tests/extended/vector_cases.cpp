#include "tests/extended/edge_cases.h"
#include "tests/extended/fixed_vectors.h"
#include "tests/extended/operand_draws.h"

namespace x87test {

namespace {

constexpr std::uint64_t vectorSeed = 0x7EC7025;
constexpr int randomPerOperation = 200;

}  // namespace

std::vector<std::pair<Operation, Operands>> vectorCases() {
  std::vector<std::pair<Operation, Operands>> cases;
  for (const EdgeCase& edge : edgeCases()) cases.emplace_back(edge.op, edge.x);
  Random random(vectorSeed);
  for (int op = 0; op < operationCount; ++op) {
    for (int i = 0; i < randomPerOperation; ++i) {
      cases.emplace_back(static_cast<Operation>(op),
                         drawOperands(static_cast<Operation>(op), random));
    }
  }
  return cases;
}

}  // namespace x87test
