// The size of the long sweeps (CTest label `long`). Each runs its own number
// of cases by default, counted in its own unit (per operation, in all, or
// program runs); QUADSOLVE_LONG_CASES=N caps every one of them at N, so that
// one setting cuts all of them short, for a trial or for CI.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace longsweep {

// The number of cases of a sweep whose full size is `fullCases`: that, or
// QUADSOLVE_LONG_CASES when it is smaller. A setting that is not a positive
// decimal number fails the test and gives 0, so that nothing runs long.
inline std::uint64_t cases(std::uint64_t fullCases) {
  const char* text = std::getenv("QUADSOLVE_LONG_CASES");
  if (text == nullptr) return fullCases;
  char* end = nullptr;
  const unsigned long long cap = std::strtoull(text, &end, 10);
  if (*text < '0' || *text > '9' || *end != '\0' || cap == 0) {
    ADD_FAILURE() << "QUADSOLVE_LONG_CASES=" << text << " is not a positive number";
    return 0;
  }
  return std::min<std::uint64_t>(cap, fullCases);
}

}  // namespace longsweep
