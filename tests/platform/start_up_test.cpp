// The start-up of the program linked without the C library, through a probe
// linked the same way (start_up_probe.cpp): the stack guard that it sets and
// the check that ends the process when a canary is overwritten, and the
// integer division fault of each processor.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/platform/descriptor_support.h"

namespace {

struct ProbeRun {
  int status = -1;
  std::string out;
};

// Runs the probe with `input` from a file and standard output to a pipe.
ProbeRun runProbe(const std::string& input) {
  testing_support::Descriptor in = testing_support::temporaryFile(input);
  testing_support::Pipe out = testing_support::makePipe();
  const pid_t child = testing_support::startChild([&]() -> int {
    dup2(in.get(), STDIN_FILENO);
    dup2(out.writeEnd.get(), STDOUT_FILENO);
    in.reset();
    out.readEnd.reset();
    out.writeEnd.reset();
    execl(START_UP_PROBE, START_UP_PROBE, static_cast<char*>(nullptr));
    return 127;
  });
  out.writeEnd.reset();
  ProbeRun run;
  run.out = testing_support::readToEnd(out.readEnd.get());
  run.status = testing_support::waitForChild(child);
  return run;
}

const std::string heldOutput = "\r\nheld";

// What the probe wrote after its held output, read as values that it wrote
// byte by byte in address order, in hexadecimal.
std::vector<std::uintptr_t> probeValues(const std::string& scenario) {
  const ProbeRun run = runProbe(scenario);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.substr(0, heldOutput.size()), heldOutput);
  std::vector<std::uintptr_t> values((run.out.size() - heldOutput.size()) /
                                     (2 * sizeof(std::uintptr_t)));
  auto* bytes = reinterpret_cast<unsigned char*>(values.data());
  for (std::size_t index = 0; index < values.size() * sizeof(std::uintptr_t); ++index) {
    bytes[index] = static_cast<unsigned char>(
        std::stoul(run.out.substr(heldOutput.size() + 2 * index, 2), nullptr, 16));
  }
  return values;
}

TEST(StartUp, ProtectedFunctionsRunAndTheProgramEndsNormally) {
  const ProbeRun run = runProbe("n");
  ASSERT_TRUE(WIFEXITED(run.status)) << "wait status " << run.status;
  EXPECT_EQ(WEXITSTATUS(run.status), 0);
  EXPECT_EQ(run.out, "\r\nheld");
}

// A canary overwritten: the process ends at once by SIGABRT, as the C
// library's check ends it, with nothing of its held output written and no
// run-time error message.
TEST(StartUp, SmashedCanaryEndsTheProcessByTheAbortSignal) {
  const ProbeRun run = runProbe("s" + std::string(127, 'x'));
  ASSERT_TRUE(WIFSIGNALED(run.status)) << "wait status " << run.status;
  EXPECT_EQ(WTERMSIG(run.status), SIGABRT);
  EXPECT_EQ(run.out, "");
}

// An integer division by zero is run-time error 200 where it is reported at
// all: as a processor fault on x86-64 and s390x, through libgcc's raise(SIGFPE)
// on 32-bit ARM, which has no division fault; 64-bit ARM, RISC-V and POWER
// divide by zero without a fault.
TEST(StartUp, IntegerDivisionByZeroIsRunTimeError200) {
#if defined(__x86_64__) || defined(__s390x__) || defined(__arm__)
  const ProbeRun run = runProbe("d");
  ASSERT_TRUE(WIFEXITED(run.status)) << "wait status " << run.status;
  EXPECT_EQ(WEXITSTATUS(run.status), 200);
  EXPECT_EQ(run.out.substr(0, 24), "\r\nheldRuntime error 200 ") << run.out;
#else
  GTEST_SKIP() << "this processor divides by zero without a fault";
#endif
}

// The guard is new in every run, from the kernel's random bytes, and its
// byte at the lowest address is zero.
TEST(StartUp, StackGuardDiffersByRunAndStartsWithAZeroByte) {
  const std::vector<std::uintptr_t> first = probeValues("g"), second = probeValues("g");
  ASSERT_TRUE(first.size() == 1 && second.size() == 1);
  EXPECT_EQ(*reinterpret_cast<const unsigned char*>(first.data()), 0);
  EXPECT_NE(first, second);
}

// The kernel loads the program at any multiple of its segments' largest
// alignment, a new one every run; below 64 KiB, the largest page size, the bits
// above the alignment vary too. Runs until both have varied: with one random
// bit at least, 31 runs fail falsely once in 2^30. qemu loads it at one address.
TEST(StartUp, LoadAddressVariesDownToTheSegmentsAlignment) {
  if (std::string(START_UP_PROBE) != START_UP_PROBE_FILE) GTEST_SKIP() << "under an emulator";
  constexpr std::uintptr_t largestPage = 0x10000;
  constexpr int mostRuns = 31;
  std::set<std::uintptr_t> bases, belowLargestPage;
  std::uintptr_t alignment = 0;
  for (int run = 0; run < mostRuns; ++run) {
    const std::vector<std::uintptr_t> values = probeValues("b");
    ASSERT_EQ(values.size(), 2u);
    alignment = values[1];
    ASSERT_EQ(values[0] % alignment, 0u) << "alignment " << alignment;
    bases.insert(values[0]);
    belowLargestPage.insert(values[0] % largestPage);
    if (bases.size() > 1 && (belowLargestPage.size() > 1 || alignment >= largestPage)) break;
  }
  EXPECT_GT(bases.size(), 1u);
  EXPECT_GT(belowLargestPage.size(), alignment < largestPage ? 1u : 0u)
      << "alignment " << alignment;
}

// A store right below the alternate stack faults, on the guard that keeps a
// handler that runs off the stack's end from writing over what lies below.
TEST(StartUp, StoreBelowTheAlternateStackFaults) {
  const ProbeRun run = runProbe("w");
  EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 216) << run.status;
  EXPECT_EQ(run.out.substr(0, 24), "\r\nheldRuntime error 216 ") << run.out;
}

// The handlers of processor faults, with their alternate stack, are in place
// before main's first statement.
TEST(StartUp, FaultHandlersAreSetUpBeforeMain) {
  EXPECT_EQ(runProbe("h").out, heldOutput + "handled");
}

}  // namespace
