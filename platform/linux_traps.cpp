// The process-wide trap hook on Linux with ELF executables: handlers for the
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
// reads values computed at installation and makes nothing but system calls
// and the call of the installed handler.

#include <cstddef>
#include <cstdint>

#include "exceptions/exception_codes.h"
#include "platform/linux_kernel.h"
#include "platform/linux_machine_context.h"
#include "platform/linux_program_image.h"
#include "platform/linux_start.h"
#include "platform/linux_system_calls.h"
#include "platform/platform.h"

#if defined(__x86_64__)
// The signal-return routine (linux_x86_64.S): the kernel of x86-64 returns
// from a handler through the routine that the program names.
extern "C" void platformSignalReturn();
#endif

namespace platform {
namespace {

// The alternate stack, with an inaccessible guard region right below it, so
// that a handler that runs off the stack's end faults there instead of
// writing over whatever lies below. What the kernel does with that fault
// depends on where it leaves the stack pointer. Below the alternate stack (a
// call or a push that ran off its end, as on x86-64), the kernel takes it
// for one outside and delivers the SIGSEGV again at the top of the alternate
// stack, over the frames of the handler that ran off its end; those frames
// are never returned to, since the hook's handler is the run-time's, which
// ends the process at once when an error is already on its way out (and one
// always is by the time a shutdown runs here). Still on the alternate stack
// (a store below the stack pointer that faulted before the pointer moved, as
// 64-bit POWER's stores with update do), the kernel finds no room for the
// signal's frame and ends the process by SIGSEGV.
// Static, as nothing here may allocate. The guard covers whole pages of the
// page size that the kernel reports, placed at run time: the area is aligned
// to the smallest page only, so that the linker asks no larger alignment of
// the zeroed data's segment and the kernel may load the program on any page
// (a larger one would take bits from the load address's randomness), and it
// has room for the guard to begin at the first page boundary within it on
// the largest page size of the supported processors (64 KiB). The guard is
// at least that large too, so that it covers whole pages whatever the page
// size. The stack is large enough for the kernel's signal frame (several KiB
// with wide vector registers) and the whole shutdown that runs on it.
constexpr std::size_t smallestPageSize = 4 * 1024;
constexpr std::size_t largestPageSize = 64 * 1024;
constexpr std::size_t guardSize = 64 * 1024;
constexpr std::size_t alternateStackSize = 64 * 1024;
constexpr std::size_t alternateStackAreaSize =
    largestPageSize - smallestPageSize + guardSize + alternateStackSize;
// In a section of its own, which the link puts first among the zeroed data
// (platform/CMakeLists.txt: the largest alignment first): on a kernel of the
// smallest pages the guard then begins the zeroed data's mapping, and
// protecting it splits the mapping in two, not three.
[[gnu::section(".bss.alternate_stack")]] alignas(
    smallestPageSize) unsigned char alternateStackArea[alternateStackAreaSize];

// How far below the lowest address the stack may grow to a fault still counts
// as running off its end: the kernel keeps a guard gap of 256 pages below a
// growing stack, and one large frame may reach a little beyond it.
constexpr std::uintptr_t stackGuardReach = 2u * 1024 * 1024;
// The reach assumed for a stack without a size limit.
constexpr std::uintptr_t unlimitedStackReach =
    sizeof(std::uintptr_t) >= 8 ? std::uintptr_t{8} << 30 : std::uintptr_t{1} << 30;

constexpr int hookedSignals[] = {kernel::signalFloat, kernel::signalSegment, kernel::signalBus,
                                 kernel::signalIllegal};
constexpr int hookedSignalCount = sizeof hookedSignals / sizeof hookedSignals[0];

struct TrapState {
  // The hook in use; null when none is.
  const TrapHook* hook = nullptr;
  // The guard, the alternate stack and the handlers are set up (once).
  bool actionsSet = false;
  kernel::SignalAction previousActions[hookedSignalCount] = {};
  // The top of the main thread's stack as seen at installation (the program
  // is single-threaded); a fault between it and its size limit (read when a
  // fault comes) means that the stack has run out.
  std::uintptr_t stackTop = 0;
};
constinit TrapState trapState;

bool isStackOverflow(std::uintptr_t faultAddress) {
  const std::uintptr_t top = trapState.stackTop;
  kernel::ResourceLimit limit{};
  std::uintptr_t reach = unlimitedStackReach;
  if (!kernel::failed(
          kernel::call(kernel::Call::resourceLimit, 0, kernel::limitStack, nullptr, &limit)) &&
      limit.current != kernel::limitInfinity && limit.current < reach) {
    reach = static_cast<std::uintptr_t>(limit.current);
  }
  reach += stackGuardReach;
  const std::uintptr_t floor = top > reach ? top - reach : 0;
  return faultAddress < top && faultAddress >= floor;
}

// True for a signal that a process sent rather than the processor raised:
// on Linux every such code is 0 or negative (SI_USER, SI_QUEUE, SI_TKILL...).
bool sentByProcess(const kernel::SignalInfo* info) {
  return info->code <= kernel::codeSentByUser;
}

// The platform exception code of the processor event that a signal reports.
std::uint32_t exceptionCodeOf(int signal, const kernel::SignalInfo* info) {
  switch (signal) {
    case kernel::signalFloat:
      switch (info->code) {
        case kernel::integerDivide:
          return statusIntegerDivideByZero;
        case kernel::integerOverflow:
          return statusIntegerOverflow;
        case kernel::floatDivide:
          return statusFloatDivideByZero;
        case kernel::floatOverflow:
          return statusFloatOverflow;
        case kernel::floatUnderflow:
          return statusFloatUnderflow;
        case kernel::floatInexact:
          return statusFloatInexactResult;
        case kernel::floatInvalid:
          return statusFloatInvalidOperation;
        case kernel::floatSubscript:
          return statusArrayBoundsExceeded;
        default:
          return statusIllegalInstruction;
      }
    case kernel::signalSegment:
#if defined(__x86_64__)
      if (info->code == kernel::segmentBoundCheck) return statusArrayBoundsExceeded;
#endif
      return isStackOverflow(reinterpret_cast<std::uintptr_t>(info->address))
                 ? statusStackOverflow
                 : statusAccessViolation;
    case kernel::signalBus:
      return statusAccessViolation;
    case kernel::signalIllegal:
      return info->code == kernel::illegalPrivilegedOpcode ? statusPrivilegedInstruction
                                                           : statusIllegalInstruction;
    default:
      return statusIllegalInstruction;
  }
}

// The action that was in place before the hook, for a signal the hook takes.
const kernel::SignalAction* previousActionOf(int signal) {
  for (int index = 0; index < hookedSignalCount; ++index) {
    if (hookedSignals[index] == signal) return &trapState.previousActions[index];
  }
  return nullptr;
}

// True for a fault that says the control flow is no longer the program's
// own: on 64-bit ARM an indirect branch to an instruction that is no landing
// pad (a branch-target fault). Like a smashed canary, it ends the process at
// once, without a shutdown that would call through the stream slots.
bool isForeignControlFlow([[maybe_unused]] int signal, [[maybe_unused]] const void* context) {
#if defined(__aarch64__)
  return signal == kernel::signalIllegal && kernel::interruptedBranchType(context) != 0;
#else
  return false;
#endif
}

void onTrapSignal(int signal, kernel::SignalInfo* info, void* context) {
  if (isForeignControlFlow(signal, context)) {
    // By the fault's own signal, as without a handler; not blocked here
    // (SA_NODEFER), it arrives at once.
    kernel::setSignalHandler(signal, kernel::handlerDefault);
    kernel::raiseSignal(signal);
    exitProcess(128 + static_cast<std::uint32_t>(signal));
  }
  const TrapHook* hook = trapState.hook;
  const bool sent = sentByProcess(info);
  if (hook == nullptr || sent) {
    // No hook yet, or removed in the meantime: the action from before it
    // takes the signal. Sent from outside: no run-time error and no shutdown inside
    // whatever code the signal interrupted, but the default action. A fault
    // meets that action when its instruction runs again; a sent signal is
    // sent again, and as it is not blocked here (SA_NODEFER) it arrives at
    // once.
    if (hook == nullptr) {
      kernel::setSignalAction(signal, previousActionOf(signal), nullptr);
    } else {
      kernel::setSignalHandler(signal, kernel::handlerDefault);
    }
    if (sent) {
      kernel::raiseSignal(signal);
    }
    return;
  }
  std::uintptr_t address = kernel::interruptedInstruction(context);
#if defined(__arm__)
  // 32-bit ARM has no division fault; the program's raise() reports a
  // division by zero in libgcc's routines with the routine's address.
  if (signal == kernel::signalFloat && info->code == kernel::integerDivide) {
    address = reinterpret_cast<std::uintptr_t>(info->address);
  }
#endif
  hook->handler(exceptionCodeOf(signal, info), address);
}

// The kernel's calling convention for an SA_SIGINFO handler.
void trapSignalEntry(int signal, void* info, void* context) {
  onTrapSignal(signal, static_cast<kernel::SignalInfo*>(info), context);
}

}  // namespace

void setUpTrapHandling(std::uintptr_t pageSize, std::uintptr_t readOnlyEnd) {
  if (trapState.actionsSet) return;

  // The guard from the first page boundary within the area on, whole pages;
  // none of its own where the area begins right at the end of read-only pages
  // of the program (the relocated data, with the rest of the image below it),
  // on which a store faults as on the guard, and without the split of the
  // zeroed data's mapping that protecting a guard there costs.
  const auto areaStart = reinterpret_cast<std::uintptr_t>(alternateStackArea);
  std::uintptr_t stackBase = areaStart;
  if (areaStart != readOnlyEnd) {
    const std::uintptr_t guardStart = (areaStart + pageSize - 1) & ~(pageSize - 1);
    const std::uintptr_t guardLength = (guardSize + pageSize - 1) & ~(pageSize - 1);
    kernel::call(kernel::Call::protectMemory, guardStart, guardLength, kernel::protectionNone);
    stackBase = guardStart + guardLength;
  }
  kernel::SignalStack stack{};
  stack.base = reinterpret_cast<void*>(stackBase);
  stack.size = areaStart + alternateStackAreaSize - stackBase;
  kernel::call(kernel::Call::signalStack, &stack, nullptr);

  // SA_NODEFER: a signal sent from outside while its handler runs is not held
  // back, so that sending it again ends the process at once.
  kernel::SignalAction action{};
  action.handler = reinterpret_cast<std::uintptr_t>(trapSignalEntry);
  action.flags = kernel::actionSignalInfo | kernel::actionOnStack | kernel::actionNoDefer;
#if defined(__x86_64__)
  action.flags |= kernel::actionRestorer;
  action.restorer = platformSignalReturn;
#endif
  for (int index = 0; index < hookedSignalCount; ++index) {
    kernel::setSignalAction(hookedSignals[index], &action, &trapState.previousActions[index]);
  }
  trapState.actionsSet = true;
}

void installTrapHook(const TrapHook& hook) {
  // Without the start-up's page size, the largest: its whole pages are whole
  // pages of every smaller size too.
  setUpTrapHandling(largestPageSize, 0);
  trapState.stackTop = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
  trapState.hook = &hook;
}

void removeTrapHook() {
  // The handlers stay with the kernel: one that finds no hook puts the
  // action from before back and lets the instruction fault again under it.
  // That spares a process on its way out a system call for each signal.
  trapState.hook = nullptr;
}

std::uintptr_t moduleCodeAddress(std::uintptr_t runtimeAddress) {
#if defined(__arm__)
  // A return address into Thumb code carries the instruction-set bit (bit 0);
  // the instruction's own address is even, so that the address less one lies
  // inside the call, as everywhere else.
  runtimeAddress &= ~std::uintptr_t{1};
#endif
  const std::uintptr_t linkAddress = runtimeAddress - image::loadBias();
  // The image: from the lowest loaded segment's start to the highest one's
  // end, as the linker placed them.
  std::uintptr_t imageStart = UINTPTR_MAX;
  std::uintptr_t imageEnd = 0;
  for (std::size_t index = 0; index < image::segmentCount(); ++index) {
    const image::Segment& segment = image::segments()[index];
    if (segment.p_type != PT_LOAD) continue;
    if (segment.p_vaddr < imageStart) imageStart = segment.p_vaddr;
    if (segment.p_vaddr + segment.p_memsz > imageEnd) imageEnd = segment.p_vaddr + segment.p_memsz;
  }
  return linkAddress >= imageStart && linkAddress < imageEnd ? linkAddress : 0;
}

}  // namespace platform
