// realToText in the solver's format (width 0, 2 decimals) over a fixed set of
// values, beside the C library's snprintf("%.2Lf") on the same values as a
// speed baseline only (its rounding differs from ours). Both report the time
// per value; the aim is realToText at least five times faster.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "extended/extended.h"
#include "textio/number_conversions.h"

namespace {

constexpr int valueCount = 4096;

// Roots as the solver meets them: magnitudes from 10^-4 to 10^9, both signs,
// plus short decimals whose third decimal is a 5.
struct ValueSet {
  std::vector<Extended> extendedValues;
  std::vector<long double> longDoubles;

  ValueSet() {
    std::mt19937_64 random(2026);
    for (int i = 0; i < valueCount; ++i) {
      double value;
      if (i % 4 == 3) {
        value = static_cast<double>(random() % 1'000'000) / 1000.0 + 0.0005;
      } else {
        const double exponent = static_cast<double>(random() % 13001) / 1000.0 - 4.0;
        value = std::pow(10.0, exponent);
      }
      if (random() % 2 != 0) value = -value;
      longDoubles.push_back(value);
      extendedValues.push_back(extended::fromDouble(value));
    }
  }
};

const ValueSet& values() {
  static const ValueSet set;
  return set;
}

// Seconds per converted value, shown with an SI prefix (n for nanoseconds).
benchmark::Counter secondsPerValue(const benchmark::State& state, std::size_t setSize) {
  return benchmark::Counter(static_cast<double>(state.iterations()) * static_cast<double>(setSize),
                            benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void realToTextWidth0Decimals2(benchmark::State& state) {
  const std::vector<Extended>& set = values().extendedValues;
  CountedText text;
  for (auto _ : state) {
    for (const Extended& value : set) {
      realToText(value, 0, 2, text);
      benchmark::DoNotOptimize(text);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(set.size()));
  state.counters["perValue"] = secondsPerValue(state, set.size());
}
BENCHMARK(realToTextWidth0Decimals2);

void snprintfLongDouble2Decimals(benchmark::State& state) {
  const std::vector<long double>& set = values().longDoubles;
  char buffer[64];
  for (auto _ : state) {
    for (const long double value : set) {
      benchmark::DoNotOptimize(std::snprintf(buffer, sizeof buffer, "%.2Lf", value));
      benchmark::DoNotOptimize(buffer);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(set.size()));
  state.counters["perValue"] = secondsPerValue(state, set.size());
}
BENCHMARK(snprintfLongDouble2Decimals);

// The integer writer's conversion, for scale.
void intToTextOutcomeCodes(benchmark::State& state) {
  CountedText text;
  std::int32_t value = -1;
  for (auto _ : state) {
    intToText(value, 0, text);
    benchmark::DoNotOptimize(text);
    value = value == 3 ? -1 : value + 1;
  }
}
BENCHMARK(intToTextOutcomeCodes);

}  // namespace

BENCHMARK_MAIN();
