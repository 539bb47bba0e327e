// Hand-picked cases for the extended model, grouped by the boundary they
// guard. Their expected outcomes come from the x87 unit (on x86 hosts) and are
// kept in the fixed vectors for every other CPU.
#pragma once

#include <span>

#include "tests/extended/differential.h"

namespace x87test {

struct EdgeCase {
  const char* boundary;
  Operation op;
  Operands x;
};

std::span<const EdgeCase> edgeCases();

}  // namespace x87test
