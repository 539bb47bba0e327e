// The process-wide trap hook on Windows, and the translation of code
// addresses into the addresses of the executable's own image.
//
// Processor exceptions arrive as structured exceptions with their STATUS_*
// codes, which are the platform exception codes of this layer, so they are
// passed on unchanged. The hook is the process's unhandled-exception filter:
// it is called for an exception that no handler frame has taken, and only
// when no debugger is attached (the system's UnhandledExceptionFilter leaves
// the exception to the debugger then), which is exactly when the program
// must turn it into a run-time error. The program has no handler frames of
// its own, so there is nothing to unwind before the handler runs.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <cstdint>

#include "platform/platform.h"

namespace platform {
namespace {

// Stack kept in reserve for the handler after a stack overflow: the whole
// shutdown (message, closing the streams, exit) runs on it.
constexpr ULONG stackOverflowReserve = 64 * 1024;

struct TrapState {
  // The hook in use; null when none is.
  const TrapHook* hook = nullptr;
  bool installed = false;
  LPTOP_LEVEL_EXCEPTION_FILTER previousFilter = nullptr;
};
TrapState trapState;

LONG WINAPI onUnhandledException(EXCEPTION_POINTERS* pointers) {
  const TrapHook* hook = trapState.hook;
  if (hook == nullptr || pointers == nullptr || pointers->ExceptionRecord == nullptr) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
  // A floating-point exception of the processor's own x87 unit stays pending
  // in it and would be raised again by the next x87 instruction that waits;
  // the unit is reset first, so that nothing traps during the shutdown.
#if defined(__i386__) || defined(__x86_64__)
  asm volatile("fninit");
#endif
  hook->handler(static_cast<std::uint32_t>(record.ExceptionCode),
                reinterpret_cast<std::uintptr_t>(record.ExceptionAddress));
  // The handler does not return; should it, the process ends as the system
  // ends it for an exception that nobody handles.
  return EXCEPTION_EXECUTE_HANDLER;
}

// Where the executable is loaded, where it asked to be loaded, and how far it
// extends, from its own image headers.
struct ImagePlacement {
  bool known = false;
  std::uintptr_t loadedBase = 0;
  std::uintptr_t preferredBase = 0;
  std::uintptr_t size = 0;
};
ImagePlacement imagePlacement;

void computeImagePlacement() {
  if (imagePlacement.known) return;
  const auto base = reinterpret_cast<std::uintptr_t>(GetModuleHandleA(nullptr));
  imagePlacement.loadedBase = base;
  imagePlacement.preferredBase = base;
  if (base != 0) {
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic == IMAGE_DOS_SIGNATURE) {
      const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
      if (nt->Signature == IMAGE_NT_SIGNATURE) {
        imagePlacement.preferredBase = nt->OptionalHeader.ImageBase;
        imagePlacement.size = nt->OptionalHeader.SizeOfImage;
      }
    }
  }
  imagePlacement.known = true;
}

}  // namespace

void installTrapHook(const TrapHook& hook) {
  computeImagePlacement();
  trapState.hook = &hook;
  if (trapState.installed) return;
  ULONG reserve = stackOverflowReserve;
  SetThreadStackGuarantee(&reserve);
  trapState.previousFilter = SetUnhandledExceptionFilter(onUnhandledException);
  trapState.installed = true;
}

void removeTrapHook() {
  if (!trapState.installed) return;
  SetUnhandledExceptionFilter(trapState.previousFilter);
  trapState.previousFilter = nullptr;
  trapState.hook = nullptr;
  trapState.installed = false;
}

std::uintptr_t moduleCodeAddress(std::uintptr_t runtimeAddress) {
  computeImagePlacement();
  // An address outside the executable (in a system library, or where a
  // corrupted pointer led) names none of its code.
  if (runtimeAddress < imagePlacement.loadedBase ||
      runtimeAddress - imagePlacement.loadedBase >= imagePlacement.size) {
    return 0;
  }
  // The address the linker gave this code: the one in the map file and the
  // symbol tables, the same on every run whatever the load address.
  return runtimeAddress - imagePlacement.loadedBase + imagePlacement.preferredBase;
}

}  // namespace platform
