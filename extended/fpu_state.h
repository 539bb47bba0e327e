// The state behind fpu_environment.h (control word, status flags, trap hook),
// visible to the operations so that their common path can raise masked flags
// without a call; reached through extended_inline.h, the inline parts of the
// model. Everything else goes through raiseExceptions().
#pragma once

#include <cstdint>

#include "extended/fpu_environment.h"
#include "platform/program_state.h"

namespace extended::detail {

// Zero at load, so that the program keeps no initialised writable data: the
// control word is that of a reset only once resetEnvironment() or
// loadControlWord() has run (fpu_environment.h).
struct FpuState {
  std::uint16_t controlWord;
  std::uint16_t statusFlags;
  const TrapHook* trapHook;
};
extern PROGRAM_STATE FpuState fpuState;

// Raises `flags` when the control word masks every one of them, so that they
// only join the status flags, and returns true. Returns false, changing
// nothing, when any of them is unmasked: the caller then raises them through
// raiseExceptions(), which calls the trap hook.
inline bool raiseMasked(std::uint16_t flags) {
  if ((flags & ~fpuState.controlWord & exceptionMaskBits) != 0) return false;
  fpuState.statusFlags = static_cast<std::uint16_t>(fpuState.statusFlags | flags);
  return true;
}

}  // namespace extended::detail
