// Helpers shared by the tests of the number conversions: readable extended
// values in failure messages, values written as their bits, the run-time's
// floating-point environment with a trap hook that records instead of ending
// the program, the enumeration of every float32 bit pattern for the proofs,
// and, on x86 hosts, the processor's own x87 unit as the reference for the
// rounded operations.
#pragma once

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "extended/extended.h"
#include "extended/fpu_environment.h"
#include "runtime/runtime_internal.h"
#include "textio/number_conversions.h"
#include "textio/power_of_ten.h"

inline void PrintTo(const Extended& x, std::ostream* os) {
  char text[40];
  std::snprintf(text, sizeof text, "{0x%04X, 0x%016llX}", x.signExponent,
                static_cast<unsigned long long>(x.significand));
  *os << text;
}

namespace numbertest {

// A value given as its sign-and-exponent field and its significand.
constexpr Extended bits(std::uint16_t signExponent, std::uint64_t significand) {
  return Extended{significand, signExponent};
}

// The texts of realToText and intToText as strings.
inline std::string realText(Extended value, std::int32_t width, std::int32_t decimals) {
  CountedText text;
  realToText(value, width, decimals, text);
  return std::string(text.chars, text.length);
}
inline std::string intText(std::int32_t value, std::int32_t width) {
  CountedText text;
  intToText(value, width, text);
  return std::string(text.chars, text.length);
}

inline std::vector<std::uint32_t> trapCodes;
inline void recordTrap(std::uint32_t code, std::uintptr_t) {
  trapCodes.push_back(code);
}
inline constexpr extended::TrapHook recordTrapHook = {recordTrap};

// The program's environment, with traps recorded in trapCodes.
inline void enterProgramEnvironment() {
  extended::resetEnvironment();
  extended::loadControlWord(defaultFpuControlAtLoad);
  extended::setTrapHook(&recordTrapHook);
  trapCodes.clear();
}
inline void leaveProgramEnvironment() {
  extended::setTrapHook(nullptr);
  extended::resetEnvironment();
}

class TrapRecordingTest : public ::testing::Test {
 protected:
  void SetUp() override { enterProgramEnvironment(); }
  void TearDown() override { leaveProgramEnvironment(); }
};

// A proof over the 2^32 float32 bit patterns, or over this process's share of
// them: with QUADSOLVE_PROOF_SHARD=i/n, shard i of n takes every n-th pattern.
// The patterns are visited in a scrambled order (multiplication by an odd
// constant, a bijection modulo 2^32), so that every shard, and every stretch of
// one, holds values from the whole range alike. A progress line goes to
// standard output every half minute, and a summary at the end.
class Float32Proof {
 public:
  explicit Float32Proof(const char* name) : name_(name) {
    if (const char* shard = std::getenv("QUADSOLVE_PROOF_SHARD")) {
      if (std::sscanf(shard, "%u/%u", &shard_, &shards_) != 2 || shards_ == 0 ||
          shard_ >= shards_) {
        ADD_FAILURE() << "QUADSOLVE_PROOF_SHARD=" << shard << " is not i/n with i < n";
        shards_ = 0;
      }
    }
  }

  // Calls check(bits) for every pattern of the share; check returns the
  // number of comparisons it made and reports each mismatch with mismatch().
  // Returns the number of mismatches.
  template <typename Check>
  std::uint64_t run(Check check) {
    using Clock = std::chrono::steady_clock;
    const std::uint64_t patterns = std::uint64_t{1} << 32;
    const std::uint64_t share = shards_ == 0 ? 0 : (patterns - shard_ + shards_ - 1) / shards_;
    const Clock::time_point start = Clock::now();
    Clock::time_point lastLine = start;
    std::uint64_t done = 0;
    std::uint64_t comparisons = 0;
    for (std::uint64_t i = shard_; done < share; i += shards_) {
      bits_ = static_cast<std::uint32_t>(i * 0x9E3779B1u);
      comparisons += static_cast<std::uint64_t>(check(bits_));
      if (++done % 65536 != 0 || Clock::now() - lastLine < std::chrono::seconds(30)) continue;
      lastLine = Clock::now();
      const double seconds = std::chrono::duration<double>(lastLine - start).count();
      std::printf("%s %u/%u: %llu of %llu values, %llu mismatches, %.0f values/s, %.0f min to go\n",
                  name_, shard_, shards_, ull(done), ull(share), ull(mismatches_), done / seconds,
                  static_cast<double>(share - done) / done * seconds / 60);
      std::fflush(stdout);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("%s %u/%u: %llu values, %llu comparisons, %llu mismatches, %.0f s\n", name_, shard_,
                shards_, ull(done), ull(comparisons), ull(mismatches_), seconds);
    std::fflush(stdout);
    return mismatches_;
  }

  // Counts a mismatch at the current pattern; the first thousand are printed
  // with the pattern, what was compared, and both sides.
  void mismatch(const std::string& what, const std::string& x87, const std::string& product) {
    if (++mismatches_ > 1000) return;
    std::printf("MISMATCH 0x%08X %s\n  x87:     %s\n  product: %s\n", bits_, what.c_str(),
                x87.c_str(), product.c_str());
    std::fflush(stdout);
  }

 private:
  static unsigned long long ull(std::uint64_t n) { return n; }

  const char* name_;
  unsigned shard_ = 0;
  unsigned shards_ = 1;
  std::uint32_t bits_ = 0;
  std::uint64_t mismatches_ = 0;
};

#if defined(__x86_64__) || defined(__i386__)
#define QUADSOLVE_HAVE_X87 1

// For its lifetime: the x87 unit with 64-bit precision, rounding to nearest
// and every exception masked (an overflow gives infinity and sets the flag),
// its flags cleared.
class X87Environment {
 public:
  X87Environment() {
    asm volatile("fnstcw %0" : "=m"(saved_));
    asm volatile("fldcw %0" ::"m"(maskedControlWord));
    asm volatile("fnclex");
  }
  ~X87Environment() {
    asm volatile("fnclex");
    asm volatile("fldcw %0" ::"m"(saved_));
  }
  X87Environment(const X87Environment&) = delete;
  X87Environment& operator=(const X87Environment&) = delete;

  // The six exception flags raised since construction.
  std::uint16_t flags() const {
    std::uint16_t status = 0;
    asm volatile("fnstsw %0" : "=m"(status));
    return status & extended::exceptionMaskBits;
  }

 private:
  static constexpr std::uint16_t maskedControlWord = 0x037F;
  std::uint16_t saved_ = 0;
};

// A long double and the model's value hold the same 80-bit format: in the
// first ten bytes of a long double, the significand in bytes 0 to 7 and the
// sign and exponent in bytes 8 and 9, little-endian as x86 is. The two move
// between each other by plain byte copies, so that the reference never goes
// through the model's own conversions.
static_assert(sizeof(long double) >= 10 && LDBL_MANT_DIG == 64);
inline long double toLongDouble(const Extended& x) {
  unsigned char bytes[sizeof(long double)] = {};
  std::memcpy(bytes, &x.significand, sizeof x.significand);
  std::memcpy(bytes + sizeof x.significand, &x.signExponent, sizeof x.signExponent);
  return std::bit_cast<long double>(bytes);
}

inline Extended toModel(long double value) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&value);
  Extended x;
  std::memcpy(&x.significand, bytes, sizeof x.significand);
  std::memcpy(&x.signExponent, bytes + sizeof x.significand, sizeof x.signExponent);
  return x;
}

// x · 10^n on the x87 unit with the conversions' tables: 10^(k mod 32), then
// 10^(32·(k div 32 mod 16)) and 10^(512·(k div 512)) when not 10^0, each a
// rounded multiplication, or a division for negative n. Zero for n <= -5120;
// infinity for n >= 5120 unless x is zero.
inline long double scaleX87(long double x, std::int64_t n) {
  if (n >= 5120) return x == 0.0L ? x : __builtin_infl();
  if (n <= -5120) return 0.0L;
  if (n == 0) return x;
  const std::int64_t k = n < 0 ? -n : n;
  const auto apply = [&](const Extended& entry) {
    volatile long double result = n > 0 ? x * toLongDouble(entry) : x / toLongDouble(entry);
    x = result;
  };
  apply(pow10Small[k % 32]);
  if (k / 32 % 16 != 0) apply(pow10Mid[k / 32 % 16 - 1]);
  if (k / 512 != 0) apply(pow10Big[k / 512 - 1]);
  return x;
}

#else
#define QUADSOLVE_HAVE_X87 0
#endif

}  // namespace numbertest
