// The fixed vectors: cases whose outcomes were taken from the x87 unit by
// generate_x87_vectors.cpp and checked in as generate_x87_vectors.inc, so that
// the model is held to the processor on every CPU.
#pragma once

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "tests/extended/differential.h"

namespace x87test {

struct FixedVector {
  Operation op;
  std::uint16_t aSignExponent;
  std::uint64_t aSignificand;
  std::uint16_t bSignExponent;
  std::uint64_t bSignificand;
  // The result with every exception masked (encoded as in differential.h).
  std::uint16_t resultSignExponent;
  std::uint64_t resultSignificand;
  // The status flags right after the operation under allMaskedWord,
  // defaultFpuControlAtLoad and allUnmaskedWord.
  std::uint8_t flags[3];
};

inline constexpr std::uint16_t fixedVectorWords[3] = {allMaskedWord, defaultFpuControlAtLoad,
                                                      allUnmaskedWord};

std::span<const FixedVector> fixedVectors();

// The cases of the table, in its order: every edge case, then a seeded random
// sample of each operation.
std::vector<std::pair<Operation, Operands>> vectorCases();

inline Operands operandsOf(const FixedVector& v) {
  return Operands{Extended{v.aSignificand, v.aSignExponent},
                  Extended{v.bSignificand, v.bSignExponent}};
}

// The reference outcome of `v` under fixedVectorWords[word].
inline Outcome expectedOutcome(const FixedVector& v, int word) {
  Outcome o;
  o.value = Extended{v.resultSignificand, v.resultSignExponent};
  o.flags = v.flags[word];
  o.trapCode = priorityCode(
      static_cast<std::uint16_t>(o.flags & ~fixedVectorWords[word] & extended::exceptionMaskBits));
  return o;
}

}  // namespace x87test
