// The differential sweep: seeded random cases of one operation, each run on the
// x87 unit and on the model under the all-masked word, the program's word and
// the all-unmasked word, with a tally of what was hit and what disagreed.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/extended/differential.h"

namespace x87test {

inline constexpr std::uint16_t sweepControlWords[] = {allMaskedWord, defaultFpuControlAtLoad,
                                                      allUnmaskedWord};

struct Tally {
  std::uint64_t cases = 0;
  std::uint64_t mismatches = 0;
  std::array<std::uint64_t, 6> flagHits{};  // per flag bit, all-masked run
  std::array<std::uint64_t, 6> trapHits{};  // per priority code bit, all-unmasked run
  std::uint64_t programWordTraps = 0;       // cases that trap under the program's word
  std::uint64_t repeatedTrapCalls = 0;      // model runs that called the hook more than once
  std::vector<std::string> examples;        // the first mismatches, described

  std::string summary(Operation op) const;
};

// Checks one case under every sweep control word, and under `mixedWord` when
// it is nonzero (a word with some of the six exceptions masked); adds to
// `tally`.
void checkCase(Operation op, const Operands& x, Tally& tally, std::uint16_t mixedWord = 0);

// `count` random cases of `op` from `seed`, each also under a random mix of
// masks. Precondition: x87Available.
Tally sweep(Operation op, std::uint64_t seed, std::uint64_t count);

// The bit (as in the status word) of the exception behind a platform code.
std::uint16_t flagOfCode(std::uint32_t code);

}  // namespace x87test
