// A program that installs the platform's trap hook and then causes one real
// processor exception, named by its argument. The hook writes what it was
// given to standard output and ends the process with exit code 90:
//   "code=C0000005 offset=3 image=1"
// where offset is the reported address less the address of the function that
// faulted, and image tells whether moduleCodeAddress() placed the address in
// the executable's image at its preferred base.
//
// With the argument "removed:<event>" the hook is installed and removed again
// before the event, which then ends the process the way the system ends it.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace {

constexpr std::uint32_t handlerExitCode = 90;
std::uintptr_t faultingFunction = 0;

void writeText(const char* text) {
  platform::writeFile(platform::standardHandle(platform::StandardHandle::output), text,
                      static_cast<std::uint32_t>(std::strlen(text)));
}

bool inPreferredImage(std::uintptr_t address) {
  const auto base = reinterpret_cast<std::uintptr_t>(GetModuleHandleA(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const std::uintptr_t preferred = nt->OptionalHeader.ImageBase;
  const std::uintptr_t mapped = platform::moduleCodeAddress(address);
  return mapped >= preferred && mapped - preferred < nt->OptionalHeader.SizeOfImage &&
         mapped - preferred == address - base;
}

void report(std::uint32_t exceptionCode, std::uintptr_t address) {
  // The x87 unit is usable here: an exception of its own is no longer pending
  // (an FWAIT would raise it again, and the hook would be entered anew).
  asm volatile("fldz\n\tfstp %st(0)\n\tfwait");
  char line[128];
  std::snprintf(line, sizeof line, "code=%08lX offset=%ld image=%d\n",
                static_cast<unsigned long>(exceptionCode),
                static_cast<long>(address - faultingFunction), inPreferredImage(address) ? 1 : 0);
  writeText(line);
  platform::exitProcess(handlerExitCode);
}

constexpr platform::TrapHook reportHook = {report};

// Each event is a function of its own whose first instructions fault, so that
// the reported address lies a few bytes into it, at the same offset in the
// 32-bit and the 64-bit program. INTO and BOUND exist in 32-bit code only.
#if defined(__x86_64__)
#define QUADSOLVE_STACK "%rsp"
#define QUADSOLVE_POINTER "%rax"
#define QUADSOLVE_PUSH "pushq"
#define QUADSOLVE_DROP_WORD "addq $8, %rsp"
#else
#define QUADSOLVE_STACK "%esp"
#define QUADSOLVE_POINTER "%eax"
#define QUADSOLVE_PUSH "pushl"
#define QUADSOLVE_DROP_WORD "addl $4, %esp"
#endif
[[gnu::noinline, gnu::naked]] void accessViolation() {
  asm volatile("xorl %eax, %eax\n\tmovl $1, (" QUADSOLVE_POINTER ")\n\tret");
}
[[gnu::noinline, gnu::naked]] void integerDivideByZero() {
  asm volatile("xorl %ecx, %ecx\n\tmovl $1, %eax\n\tcltd\n\tidivl %ecx\n\tret");
}
#if defined(__i386__)
[[gnu::noinline, gnu::naked]] void integerOverflow() {
  asm volatile("movl $0x7fffffff, %eax\n\taddl $1, %eax\n\tinto\n\tret");
}
[[gnu::noinline, gnu::naked]] void arrayBoundsExceeded() {
  // BOUND with an index of 5 against the pair (0, 1) on the stack.
  asm volatile(
      "pushl $1\n\tpushl $0\n\tmovl $5, %eax\n\tboundl %eax, (%esp)\n\taddl $8, %esp\n\tret");
}
#endif
[[gnu::noinline, gnu::naked]] void privilegedInstruction() {
  asm volatile("hlt\n\tret");
}
[[gnu::noinline, gnu::naked]] void illegalInstruction() {
  asm volatile("ud2\n\tret");
}
// x87 division of 1 by 0 with the zero-divide exception unmasked (control
// word 0x137B); the pending exception is raised at the next FWAIT.
[[gnu::noinline, gnu::naked]] void floatDivideByZero() {
  asm volatile(QUADSOLVE_PUSH " $0x137B\n\tfldcw (" QUADSOLVE_STACK
                              ")\n\tfld1\n\tfldz\n\tfdivrp\n\tfwait\n\t" QUADSOLVE_DROP_WORD
                              "\n\tret");
}
// x87 0/0 with the invalid-operation exception unmasked (0x137E).
[[gnu::noinline, gnu::naked]] void floatInvalidOperation() {
  asm volatile(QUADSOLVE_PUSH " $0x137E\n\tfldcw (" QUADSOLVE_STACK
                              ")\n\tfldz\n\tfldz\n\tfdivrp\n\tfwait\n\t" QUADSOLVE_DROP_WORD
                              "\n\tret");
}

volatile int recursionLimit = 1 << 30;  // never reached: the stack runs out long before
[[gnu::noinline]] int recurse(int depth) {
  volatile char frame[4096];
  frame[0] = static_cast<char>(depth);
  if (depth == recursionLimit) return 0;
  return recurse(depth + 1) + frame[0];
}
[[gnu::noinline]] void stackOverflow() {
  recurse(0);
}

void raiseSoftwareException() {
  RaiseException(0xE0517001, 0, 0, nullptr);
}

struct Event {
  const char* name;
  void (*cause)();
};
constexpr Event events[] = {
    {"access", accessViolation},
    {"divide", integerDivideByZero},
#if defined(__i386__)
    {"overflow", integerOverflow},
    {"bounds", arrayBoundsExceeded},
#endif
    {"privileged", privilegedInstruction},
    {"illegal", illegalInstruction},
    {"x87-divide", floatDivideByZero},
    {"x87-invalid", floatInvalidOperation},
    {"stack", stackOverflow},
    {"software", raiseSoftwareException},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const char* name = argv[1];
  bool removed = false;
  if (std::strncmp(name, "removed:", 8) == 0) {
    removed = true;
    name += 8;
  }
  for (const Event& event : events) {
    if (std::strcmp(event.name, name) != 0) continue;
    faultingFunction = reinterpret_cast<std::uintptr_t>(event.cause);
    platform::initPlatform();
    platform::installTrapHook(reportHook);
    if (removed) platform::removeTrapHook();
    event.cause();
    writeText("no exception\n");
    return 0;
  }
  return 3;
}
