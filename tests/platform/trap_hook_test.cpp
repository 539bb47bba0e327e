// The trap hook: the exception code that each processor fault delivers to the
// handler, after installing the hook once and after installing it again.
//
// Built without the sanitizers: the faults must reach the hook as the
// processor raises them.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>

#include "exceptions/exception_codes.h"
#include "gtest/gtest.h"
#include "platform/platform.h"
#include "tests/platform/descriptor_support.h"

namespace {

int reportFd = -1;

// Hands the code to the test and ends the child; returning would run the
// faulting instruction again.
void reportCode(std::uint32_t exceptionCode, std::uintptr_t /*address*/) {
  if (::write(reportFd, &exceptionCode, sizeof exceptionCode) < 0) ::_exit(2);
  ::_exit(0);
}

constexpr platform::TrapHook reportHook = {reportCode};

void nullAccess() {
  volatile int* volatile nowhere = nullptr;
  *nowhere = 1;
}

[[maybe_unused]] void integerDivisionByZero() {
  volatile int dividend = 1;
  volatile int zero = 0;
  volatile int quotient = dividend / zero;
  static_cast<void>(quotient);
}

[[maybe_unused]] void illegalInstruction() {
#if defined(__x86_64__) || defined(__i386__)
  __asm__ volatile("ud2");
#elif defined(__aarch64__)
  __asm__ volatile(".inst 0x00000000");  // permanently undefined
#endif
}

struct Fault {
  const char* what;
  void (*cause)();
  bool installTwice;  // install, remove and install again before the fault
  std::uint32_t code;
};

TEST(TrapHook, EachFaultDeliversTheCodeOfItsEvent) {
  const Fault faults[] = {
    {"null access", nullAccess, false, platform::statusAccessViolation},
    {"null access, hook installed again", nullAccess, true, platform::statusAccessViolation},
#if defined(__x86_64__) || defined(__i386__)
    {"integer division by zero, hook installed again", integerDivisionByZero, true,
     platform::statusIntegerDivideByZero},
#endif
#if defined(__x86_64__) || defined(__i386__) || defined(__aarch64__)
    // No row of the exception table: the platform's own code.
    {"illegal instruction", illegalInstruction, false, 0xC000001D},
#endif
  };
  for (const Fault& fault : faults) {
    SCOPED_TRACE(fault.what);
    auto report = testing_support::makePipe();
    const int status = testing_support::runInChild([&] {
      reportFd = report.writeEnd.get();
      platform::installTrapHook(reportHook);
      if (fault.installTwice) {
        platform::removeTrapHook();
        platform::installTrapHook(reportHook);
      }
      fault.cause();
      return 1;
    });
    report.writeEnd.reset();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;
    std::uint32_t code = 0;
    ASSERT_EQ(::read(report.readEnd.get(), &code, sizeof code), static_cast<ssize_t>(sizeof code));
    EXPECT_EQ(code, fault.code);
  }
}

}  // namespace
