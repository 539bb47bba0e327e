// The process-wide trap hook on Linux with ELF executables (the signal frame's
// register names, link.h and the linker's __ehdr_start): handlers for the
// signals of processor exceptions, run on an alternate signal stack so that a
// stack overflow is caught too, each signal translated into the platform
// exception code of the same event; and the translation of code addresses into
// the addresses that the executable's symbol tables use.
//
// A hooked signal that another process (or the program itself) sent with
// kill, sigqueue or tkill is not a processor exception: it takes the signal's
// default action, so the process ends by that signal as any program does.
//
// Everything that runs inside a signal handler here is async-signal-safe: it
// reads values computed at installation and calls nothing but the handler,
// sigaction and raise.
#include <link.h>
#include <signal.h>
#include <sys/resource.h>
#include <ucontext.h>

#include <cstddef>

#include "exceptions/exception_codes.h"
#include "platform/platform.h"

namespace platform {
namespace {

// A report that names no event of the exception table (an illegal opcode):
// the platform's own code for an illegal instruction, which the run-time maps
// to its catch-all code.
constexpr std::uint32_t statusIllegalInstruction = 0xC000001D;

// The alternate stack: static, as nothing here may allocate. Large enough for
// the kernel's signal frame (several KiB with wide vector registers) and the
// whole shutdown that runs on it.
constexpr std::size_t alternateStackSize = 64 * 1024;
alignas(16) unsigned char alternateStack[alternateStackSize];

// How far below the lowest address the stack may grow to a fault still counts
// as running off its end: the kernel keeps a guard gap of 256 pages below a
// growing stack, and one large frame may reach a little beyond it.
constexpr std::uintptr_t stackGuardReach = 2u * 1024 * 1024;
// The reach assumed for a stack without a size limit.
constexpr std::uintptr_t unlimitedStackReach =
    sizeof(std::uintptr_t) >= 8 ? std::uintptr_t{8} << 30 : std::uintptr_t{1} << 30;

constexpr int hookedSignals[] = {SIGFPE, SIGSEGV, SIGBUS, SIGILL};
constexpr int hookedSignalCount = sizeof hookedSignals / sizeof hookedSignals[0];

struct TrapState {
  TrapHandler handler = nullptr;
  bool installed = false;
  struct sigaction previousActions[hookedSignalCount];
  stack_t previousStack;
  // The address range in which a fault means that the stack has run out:
  // from the top of the main thread's stack (as seen at installation; the
  // program is single-threaded) down to its size limit and the guard gap.
  std::uintptr_t stackTop = 0;
  std::uintptr_t stackFloor = 0;
};
TrapState trapState;

struct LoadBias {
  bool known = false;
  std::uintptr_t value = 0;
};
LoadBias loadBias;

// The ELF header of the executable, which the linker places at the start of
// its first loaded segment (GNU ld, gold and lld define the symbol for every
// executable, static or dynamic, position independent or not).
extern "C" const ElfW(Ehdr) __ehdr_start [[gnu::visibility("hidden")]];

// The load bias from the header's own run-time address: the loaded segment
// that starts at file offset 0 holds the header, so the header lies at that
// segment's link-time address plus the bias. Such a segment always exists, as
// the linker defines the symbol only when the header is loaded.
void computeLoadBias() {
  if (loadBias.known) return;
  const ElfW(Ehdr)* header = &__ehdr_start;
  const auto* segments = reinterpret_cast<const ElfW(Phdr)*>(
      reinterpret_cast<const unsigned char*>(header) + header->e_phoff);
  for (std::size_t index = 0; index < header->e_phnum; ++index) {
    if (segments[index].p_type == PT_LOAD && segments[index].p_offset == 0) {
      loadBias.value = reinterpret_cast<std::uintptr_t>(header) - segments[index].p_vaddr;
      break;
    }
  }
  loadBias.known = true;
}

void computeStackRange() {
  const auto top = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
  rlimit limit{};
  std::uintptr_t reach = unlimitedStackReach;
  if (getrlimit(RLIMIT_STACK, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
      limit.rlim_cur < reach) {
    reach = static_cast<std::uintptr_t>(limit.rlim_cur);
  }
  reach += stackGuardReach;
  trapState.stackTop = top;
  trapState.stackFloor = top > reach ? top - reach : 0;
}

bool isStackOverflow(std::uintptr_t faultAddress) {
  return faultAddress < trapState.stackTop && faultAddress >= trapState.stackFloor;
}

// True for a signal that a process sent rather than the processor raised:
// on Linux every such code is 0 or negative (SI_USER, SI_QUEUE, SI_TKILL...).
bool sentByProcess(const siginfo_t* info) {
  return info->si_code <= 0;
}

// The platform exception code of the processor event that a signal reports.
std::uint32_t exceptionCodeOf(int signal, const siginfo_t* info) {
  switch (signal) {
    case SIGFPE:
      switch (info->si_code) {
        case FPE_INTDIV:
          return statusIntegerDivideByZero;
        case FPE_INTOVF:
          return statusIntegerOverflow;
        case FPE_FLTDIV:
          return statusFloatDivideByZero;
        case FPE_FLTOVF:
          return statusFloatOverflow;
        case FPE_FLTUND:
          return statusFloatUnderflow;
        case FPE_FLTRES:
          return statusFloatInexactResult;
        case FPE_FLTINV:
          return statusFloatInvalidOperation;
        case FPE_FLTSUB:  // subscript out of range
          return statusArrayBoundsExceeded;
        default:
          return statusIllegalInstruction;
      }
    case SIGSEGV:
#ifdef SEGV_BNDERR
      if (info->si_code == SEGV_BNDERR) return statusArrayBoundsExceeded;  // bound check
#endif
      return isStackOverflow(reinterpret_cast<std::uintptr_t>(info->si_addr))
                 ? statusStackOverflow
                 : statusAccessViolation;
    case SIGBUS:
      return statusAccessViolation;
    case SIGILL:
      return info->si_code == ILL_PRVOPC ? statusPrivilegedInstruction : statusIllegalInstruction;
    default:
      return statusIllegalInstruction;
  }
}

// The address of the instruction that faulted, from the interrupted context.
std::uintptr_t faultingInstruction([[maybe_unused]] const siginfo_t* info, const void* context) {
  [[maybe_unused]] const auto* machine = &static_cast<const ucontext_t*>(context)->uc_mcontext;
#if defined(__x86_64__)
  return static_cast<std::uintptr_t>(machine->gregs[REG_RIP]);
#elif defined(__i386__)
  return static_cast<std::uintptr_t>(machine->gregs[REG_EIP]);
#elif defined(__aarch64__)
  return static_cast<std::uintptr_t>(machine->pc);
#elif defined(__arm__)
  return static_cast<std::uintptr_t>(machine->arm_pc);
#elif defined(__riscv)
  return static_cast<std::uintptr_t>(machine->__gregs[REG_PC]);
#elif defined(__s390x__)
  return static_cast<std::uintptr_t>(machine->psw.addr);
#else
  // Elsewhere the report's own address: the instruction for SIGFPE and SIGILL,
  // the data address for an access violation.
  return reinterpret_cast<std::uintptr_t>(info->si_addr);
#endif
}

void restoreDefaultAction(int signal) {
  struct sigaction defaultAction {};
  defaultAction.sa_handler = SIG_DFL;
  sigemptyset(&defaultAction.sa_mask);
  sigaction(signal, &defaultAction, nullptr);
}

void onTrapSignal(int signal, siginfo_t* info, void* context) {
  if (sentByProcess(info)) {
    // Sent from outside: no run-time error, no shutdown inside whatever code
    // the signal interrupted. The signal is not blocked here (SA_NODEFER),
    // so raising it again ends the process at once.
    restoreDefaultAction(signal);
    raise(signal);
    return;
  }
  const TrapHandler handler = trapState.handler;
  if (handler == nullptr) {
    // The hook was removed in the meantime: the default action ends the
    // process when the instruction faults again.
    restoreDefaultAction(signal);
    return;
  }
  handler(exceptionCodeOf(signal, info), faultingInstruction(info, context));
}

}  // namespace

void installTrapHook(TrapHandler handler) {
  computeLoadBias();
  computeStackRange();
  trapState.handler = handler;
  if (trapState.installed) return;

  stack_t stack{};
  stack.ss_sp = alternateStack;
  stack.ss_size = alternateStackSize;
  stack.ss_flags = 0;
  sigaltstack(&stack, &trapState.previousStack);

  // SA_NODEFER: a fault during the shutdown that a first trap started reaches
  // the handler again instead of killing the process outright.
  struct sigaction action {};
  action.sa_sigaction = onTrapSignal;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
  sigemptyset(&action.sa_mask);
  for (int index = 0; index < hookedSignalCount; ++index) {
    sigaction(hookedSignals[index], &action, &trapState.previousActions[index]);
  }
  trapState.installed = true;
}

void removeTrapHook() {
  if (!trapState.installed) return;
  for (int index = 0; index < hookedSignalCount; ++index) {
    sigaction(hookedSignals[index], &trapState.previousActions[index], nullptr);
  }
  // Fails harmlessly (EPERM) while running on the alternate stack, which is
  // the case when a trap started the shutdown.
  sigaltstack(&trapState.previousStack, nullptr);
  trapState.handler = nullptr;
  trapState.installed = false;
}

std::uintptr_t moduleCodeAddress(std::uintptr_t runtimeAddress) {
  computeLoadBias();
#if defined(__arm__)
  // A return address into Thumb code carries the instruction-set bit (bit 0);
  // the instruction's own address is even, so that the address less one lies
  // inside the call, as everywhere else.
  runtimeAddress &= ~std::uintptr_t{1};
#endif
  return runtimeAddress - loadBias.value;
}

}  // namespace platform
