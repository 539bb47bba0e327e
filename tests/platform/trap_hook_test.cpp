// The trap hook: the exception code that each processor fault delivers to the
// handler, after installing the hook once and after installing it again.
//
// Built without the sanitizers: the faults must reach the hook as the
// processor raises them.
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

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
  // Permanently undefined, after a first instruction: reached straight by
  // the indirect call, it would be a branch-target fault's instruction.
  __asm__ volatile("nop\n\t.inst 0x00000000");
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
    {"illegal instruction", illegalInstruction, false, platform::statusIllegalInstruction},
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

// The permissions of the mapping of this process that holds `address`, as
// /proc/self/maps shows them ("rw-p"); empty when none does.
std::string permissionsAt(std::uintptr_t address) {
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line)) {
    std::uintptr_t first = 0, end = 0;
    char permissions[5] = {};
    if (std::sscanf(line.c_str(), "%zx-%zx %4s", &first, &end, permissions) == 3 &&
        address >= first && address < end) {
      return permissions;
    }
  }
  return "";
}

// The alternate stack that the handlers run on has a guard below it that can
// be neither read nor written: a handler that runs off the stack's end faults
// there instead of reading or overwriting whatever lies below.
TEST(TrapHook, AlternateStackHasAnInaccessibleGuardBelowIt) {
  const int status = testing_support::runInChild([] {
    platform::installTrapHook(reportHook);
    stack_t stack{};
    if (sigaltstack(nullptr, &stack) != 0 || stack.ss_sp == nullptr) return 2;
    const auto base = reinterpret_cast<std::uintptr_t>(stack.ss_sp);
    if (permissionsAt(base) != "rw-p") return 3;
    if (permissionsAt(base - 1) != "---p") return 4;
    return 0;
  });
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << "wait status " << status
      << " (2: no alternate stack, 3: not writable, 4: guard accessible)";
}

// Whether a fault is a stack overflow depends on the stack's size limit
// (RLIMIT_STACK): with a small limit, an access 16 MiB below the stack's top
// lies beyond the stack and its guard gap, an access violation, not the
// stack's overflow. With the limit read from another resource (unlimited)
// it would pass for an overflow.
TEST(TrapHook, FaultBeyondTheStackSizeLimitIsAnAccessViolation) {
  auto report = testing_support::makePipe();
  const int status = testing_support::runInChild([&] {
    reportFd = report.writeEnd.get();
    const rlimit limit = {1 << 20, 1 << 20};
    if (setrlimit(RLIMIT_STACK, &limit) != 0) return 2;
    platform::installTrapHook(reportHook);
    const long pageSize = sysconf(_SC_PAGESIZE);
    const auto top = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
    const std::uintptr_t below = (top - (std::uintptr_t{16} << 20)) & ~(pageSize - 1);
    void* page = mmap(reinterpret_cast<void*>(below), pageSize, PROT_NONE,
                      MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
    if (page != reinterpret_cast<void*>(below)) return 3;  // something is mapped there
    *static_cast<volatile char*>(page) = 1;
    return 1;
  });
  report.writeEnd.reset();
  if (WIFEXITED(status) && WEXITSTATUS(status) == 3) {
    GTEST_SKIP() << "the address space below the stack is taken here";
  }
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;
  std::uint32_t code = 0;
  ASSERT_EQ(::read(report.readEnd.get(), &code, sizeof code), static_cast<ssize_t>(sizeof code));
  EXPECT_EQ(code, platform::statusAccessViolation);
}

}  // namespace
