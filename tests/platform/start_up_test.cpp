// The start-up of the program linked without the C library, through a probe
// linked the same way (start_up_probe.cpp): the stack guard that it sets and
// the check that ends the process when a canary is overwritten, and the
// integer division fault of each processor.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

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

}  // namespace
