// The start-up of the program linked without the C library, through a probe
// linked the same way (start_up_probe.cpp): the stack guard that it sets and
// the check that ends the process when a canary is overwritten, and the
// integer division fault of each processor.
#include <elf.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <set>
#include <string>

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

// What the probe wrote after its held output, for a scenario that ends normally.
std::string probeReport(const std::string& scenario) {
  const ProbeRun run = runProbe(scenario);
  EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0)
      << "wait status " << run.status;
  EXPECT_EQ(run.out.substr(0, heldOutput.size()), heldOutput);
  return run.out.size() > heldOutput.size() ? run.out.substr(heldOutput.size()) : "";
}

// The largest alignment that a loaded segment of the probe's file asks.
std::uint64_t largestSegmentAlignment() {
#if UINTPTR_MAX > 0xFFFFFFFFu
  using Header = Elf64_Ehdr;
  using Segment = Elf64_Phdr;
#else
  using Header = Elf32_Ehdr;
  using Segment = Elf32_Phdr;
#endif
  std::ifstream in(START_UP_PROBE_FILE, std::ios::binary);
  Header header{};
  in.read(reinterpret_cast<char*>(&header), sizeof header);
  std::uint64_t largest = 0;
  for (int index = 0; in && index < header.e_phnum; ++index) {
    Segment segment{};
    in.seekg(static_cast<std::streamoff>(header.e_phoff + index * sizeof segment));
    in.read(reinterpret_cast<char*>(&segment), sizeof segment);
    if (in && segment.p_type == PT_LOAD && segment.p_align > largest) largest = segment.p_align;
  }
  return largest;
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
  const std::string first = probeReport("g");
  const std::string second = probeReport("g");
  ASSERT_EQ(first.size(), 2 * sizeof(std::uintptr_t)) << first;
  EXPECT_EQ(first.substr(0, 2), "00") << first;
  EXPECT_EQ(second.substr(0, 2), "00") << second;
  EXPECT_NE(first, second);
}

// The kernel chooses the load address on every run, at any multiple of the
// largest alignment that the program's segments ask: when that is below the
// largest page size, the bits below it vary too. qemu's user-mode emulator
// loads such a program at one fixed address.
TEST(StartUp, LoadAddressVariesDownToTheSegmentsAlignment) {
  if (std::string(START_UP_PROBE) != START_UP_PROBE_FILE) {
    GTEST_SKIP() << "the emulator chooses one address";
  }
  constexpr std::uint64_t largestPageSize = 0x10000;
  const std::uint64_t alignment = largestSegmentAlignment();
  std::set<std::uint64_t> bases;
  bool belowLargestPage = false;
  for (int run = 0; run < 12; ++run) {
    const std::uint64_t base = std::stoull(probeReport("b"), nullptr, 16);
    EXPECT_EQ(base % alignment, 0u) << std::hex << base;
    belowLargestPage = belowLargestPage || base % largestPageSize != 0;
    bases.insert(base);
  }
  EXPECT_GT(bases.size(), 1u);
  if (alignment < largestPageSize) {
    EXPECT_TRUE(belowLargestPage) << "alignment " << alignment;
  }
}

// A store right below the alternate stack faults, on the guard that keeps a
// handler that runs off the stack's end from writing over what lies below.
TEST(StartUp, StoreBelowTheAlternateStackFaults) {
  const ProbeRun run = runProbe("w");
  ASSERT_TRUE(WIFEXITED(run.status)) << "wait status " << run.status;
  EXPECT_EQ(WEXITSTATUS(run.status), 216);
  EXPECT_EQ(run.out.substr(0, 24), "\r\nheldRuntime error 216 ") << run.out;
}

// The handlers of processor faults, with their alternate stack, are in place
// before main's first statement.
TEST(StartUp, FaultHandlersAreSetUpBeforeMain) {
  EXPECT_EQ(probeReport("h"), "handled");
}

}  // namespace
