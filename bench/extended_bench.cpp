// The extended model beside the processor's own x87 unit on the same
// dependent chains: each step needs the previous result, so the figures are
// latencies per operation. Names pair up: BM_Add/model beside BM_Add/x87.
//
//   cmake --workflow --preset bench && build/bench/bench/extended_bench
//
// Chains: add x += c; multiply x *= c and divide x /= c with c = 1 + 2^-40 (so
// that every result is inexact and the value stays in range for billions of
// steps); square root x = sqrt(x) + 1 (one add per step, converging to an
// irrational fixed point); round-to-double x = double(x) + c (a store to
// double, a widening load and one add per step), as the program stores and
// reloads its double variables.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "extended/extended.h"
#include "extended/fpu_environment.h"
#include "runtime/runtime_internal.h"

namespace {

// Steps per benchmark iteration: the chain is kept from memory only once per
// iteration, so the figures are close to the operation's own latency.
constexpr int stepsPerIteration = 16;

constexpr Extended one = extended::make(false, 16383, 0x8000000000000000u);
constexpr Extended third = extended::make(false, 16381, 0xAAAAAAAAAAAAAAABu);
constexpr Extended nearOne = extended::make(false, 16383, 0x8000000000800000u);  // 1 + 2^-40

// Adds the counter "per_step": CPU time per chained operation.
void reportTimePerStep(benchmark::State& state) {
  state.counters["per_step"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * stepsPerIteration,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Runs a model chain under the program's control word.
template <typename Step>
void modelChain(benchmark::State& state, Extended start, Step step) {
  extended::loadControlWord(defaultFpuControlAtLoad);
  extended::clearStatus();
  Extended x = start;
  for (auto _ : state) {
    for (int i = 0; i < stepsPerIteration; ++i) x = step(x);
    benchmark::DoNotOptimize(x);
  }
  reportTimePerStep(state);
}

void BM_Add_model(benchmark::State& state) {
  modelChain(state, one, [](Extended x) { return extended::add(x, third); });
}
void BM_Multiply_model(benchmark::State& state) {
  modelChain(state, third, [](Extended x) { return extended::multiply(x, nearOne); });
}
void BM_Divide_model(benchmark::State& state) {
  modelChain(state, third, [](Extended x) { return extended::divide(x, nearOne); });
}
void BM_SquareRootPlusOne_model(benchmark::State& state) {
  modelChain(state, third, [](Extended x) { return extended::add(extended::squareRoot(x), one); });
}
void BM_RoundToDoublePlusThird_model(benchmark::State& state) {
  modelChain(state, one, [](Extended x) {
    return extended::add(extended::fromDouble(extended::toDouble(x)), third);
  });
}

BENCHMARK(BM_Add_model);
BENCHMARK(BM_Multiply_model);
BENCHMARK(BM_Divide_model);
BENCHMARK(BM_SquareRootPlusOne_model);
BENCHMARK(BM_RoundToDoublePlusThird_model);

#if defined(__x86_64__) || defined(__i386__)

// On x86 hosts g++'s long double is the x87 80-bit format: the chains below
// compile to FADD, FMUL, FDIV, FSQRT and FSTP m64/FLD m64 on the x87 stack.
long double toLongDouble(Extended x) {
  static_assert(sizeof(long double) >= extended::memoryImageSize);
  long double value = 0;
  std::uint8_t image[extended::memoryImageSize];
  extended::toMemoryImage(x, image);
  __builtin_memcpy(&value, image, sizeof image);
  return value;
}

// Runs an x87 chain under the program's control word (restoring the host's).
template <typename Step>
void x87Chain(benchmark::State& state, Extended start, Step step) {
  std::uint16_t saved = 0;
  asm volatile("fnstcw %0" : "=m"(saved));
  asm volatile("fnclex\n\tfldcw %0" : : "m"(defaultFpuControlAtLoad));
  long double x = toLongDouble(start);
  for (auto _ : state) {
    for (int i = 0; i < stepsPerIteration; ++i) x = step(x);
    benchmark::DoNotOptimize(x);
  }
  asm volatile("fnclex\n\tfldcw %0" : : "m"(saved));
  reportTimePerStep(state);
}

void BM_Add_x87(benchmark::State& state) {
  const long double c = toLongDouble(third);
  x87Chain(state, one, [c](long double x) { return x + c; });
}
void BM_Multiply_x87(benchmark::State& state) {
  const long double c = toLongDouble(nearOne);
  x87Chain(state, third, [c](long double x) { return x * c; });
}
void BM_Divide_x87(benchmark::State& state) {
  const long double c = toLongDouble(nearOne);
  x87Chain(state, third, [c](long double x) { return x / c; });
}
void BM_SquareRootPlusOne_x87(benchmark::State& state) {
  x87Chain(state, third, [](long double x) {
    long double root;
    asm("fsqrt" : "=t"(root) : "0"(x));
    return root + 1.0L;
  });
}
void BM_RoundToDoublePlusThird_x87(benchmark::State& state) {
  const long double c = toLongDouble(third);
  x87Chain(state, one, [c](long double x) {
    volatile double stored = static_cast<double>(x);  // FSTP m64, reloaded by FLD m64
    return stored + c;
  });
}

BENCHMARK(BM_Add_x87);
BENCHMARK(BM_Multiply_x87);
BENCHMARK(BM_Divide_x87);
BENCHMARK(BM_SquareRootPlusOne_x87);
BENCHMARK(BM_RoundToDoublePlusThird_x87);

#endif

}  // namespace

BENCHMARK_MAIN();
