// Helpers shared by the tests of the real-number reader: readable extended
// values in failure messages, values written as their bits, and the run-time's
// floating-point environment with a trap hook that records instead of ending
// the program.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <ostream>
#include <vector>

#include "extended/extended.h"
#include "extended/fpu_environment.h"

inline void PrintTo(const Extended& x, std::ostream* os) {
  char text[40];
  std::snprintf(text, sizeof text, "{0x%04X, 0x%016llX}", x.signExponent,
                static_cast<unsigned long long>(x.significand));
  *os << text;
}

namespace readrealtest {

// The control word the run-time loads: 64-bit precision, nearest, overflow,
// division by zero and invalid operation unmasked.
inline constexpr std::uint16_t defaultControlWord = 0x1332;

// A value given as its sign-and-exponent field and its significand.
constexpr Extended bits(std::uint16_t signExponent, std::uint64_t significand) {
  return Extended{significand, signExponent};
}

inline std::vector<std::uint32_t> trapCodes;
inline void recordTrap(std::uint32_t code, std::uintptr_t) {
  trapCodes.push_back(code);
}

class TrapRecordingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    extended::resetEnvironment();
    extended::loadControlWord(defaultControlWord);
    extended::setTrapHook(recordTrap);
    trapCodes.clear();
  }
  void TearDown() override {
    extended::setTrapHook(nullptr);
    extended::resetEnvironment();
  }
};

}  // namespace readrealtest
