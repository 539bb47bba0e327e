// textToReal per token over a fixed mixed set of tokens, beside the C
// library's strtold on the same tokens in the same run (a speed baseline only:
// its results follow other rules and are not compared).
//
// Run: build/bench/bench/read_real_bench (Release `bench` preset). The figure
// to compare is items_per_second (tokens per second) of the two benchmarks.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <cstdlib>

#include "extended/extended.h"
#include "extended/fpu_environment.h"
#include "runtime/runtime_internal.h"
#include "textio/number_conversions.h"

namespace {

// The mixed set: coefficients as people type them, long and scientific forms,
// and the ends of the range.
constexpr std::array mixedTokens = {
    "1",
    "-3",
    "2",
    "0",
    "0.1",
    "-2.5",
    "42",
    "100",
    "12345.6789",
    "-0.000123",
    "3.14159265358979323846",
    "6.02214076e23",
    "-1.602176634e-19",
    "299792458",
    "1.5e-7",
    "-273.15",
    "9007199254740993",
    "123456789012345678901234567890",
    "1e400",
    "1.7976931348623157e308",
    "2.2250738585072014e-308",
    "1e4932",
    "1e-4940",
    "0.5",
};

// Everyday coefficients only: short integers and decimals.
constexpr std::array everydayTokens = {
    "1", "-3", "2", "0", "0.1", "-2.5", "42", "100", "12345.6789", "-0.000123", "-273.15", "0.5",
};

void prepareEnvironment() {
  extended::resetEnvironment();
  extended::loadControlWord(defaultFpuControlAtLoad);
  extended::setTrapHook(nullptr);
}

template <const auto& tokens>
void textToRealPerToken(benchmark::State& state) {
  prepareEnvironment();
  for (auto _ : state) {
    for (const char* token : tokens) {
      std::int32_t code = 0;
      Extended value = textToReal(token, code);
      benchmark::DoNotOptimize(value);
      benchmark::DoNotOptimize(code);
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * tokens.size()));
}
BENCHMARK(textToRealPerToken<mixedTokens>)->Name("textToReal/mixed");
BENCHMARK(textToRealPerToken<everydayTokens>)->Name("textToReal/everyday");

template <const auto& tokens>
void strtoldPerToken(benchmark::State& state) {
  for (auto _ : state) {
    for (const char* token : tokens) {
      char* end = nullptr;
      long double value = std::strtold(token, &end);
      benchmark::DoNotOptimize(value);
      benchmark::DoNotOptimize(end);
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * tokens.size()));
}
BENCHMARK(strtoldPerToken<mixedTokens>)->Name("strtold/mixed");
BENCHMARK(strtoldPerToken<everydayTokens>)->Name("strtold/everyday");

}  // namespace

BENCHMARK_MAIN();
