// Seeded random operands for the differential tests, drawn so that every class
// of the format is hit often: random bit patterns, exponents near both ends
// and near the double range, denormals of both formats, pseudo-denormals,
// signed zeros, infinities, quiet and signalling NaNs, unsupported encodings,
// exact halfway cases, results that overflow or underflow only after rounding
// and the int64 boundaries.
#pragma once

#include <cstdint>

#include "tests/extended/differential.h"

namespace x87test {

// xoshiro256** seeded through splitmix64: reproducible on every machine.
class Random {
 public:
  explicit Random(std::uint64_t seed);
  std::uint64_t next();
  // Uniform in [0, bound). Domain: bound > 0.
  std::uint64_t below(std::uint64_t bound);
  // Uniform in [low, high]. Domain: low <= high.
  std::int64_t between(std::int64_t low, std::int64_t high);
  bool coin() { return (next() >> 63) != 0; }

 private:
  std::uint64_t state_[4];
};

// One random case for `op`.
Operands drawOperands(Operation op, Random& random);

// A random extended value of any class.
Extended drawValue(Random& random);

}  // namespace x87test
