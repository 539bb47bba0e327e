#include "extended/fpu_environment.h"

#include <cassert>

#include "exceptions/exception_codes.h"
#include "extended/fpu_state.h"
#include "platform/program_state.h"

namespace extended {

PROGRAM_STATE detail::FpuState detail::fpuState;

namespace {

using detail::fpuState;

// The exception code the processor reports when `unmasked` holds several
// exceptions at once: the one of highest priority.
std::uint32_t priorityExceptionCode(std::uint16_t unmasked) {
  if ((unmasked & flagInvalid) != 0) return platform::statusFloatInvalidOperation;
  if ((unmasked & flagZeroDivide) != 0) return platform::statusFloatDivideByZero;
  if ((unmasked & flagDenormal) != 0) return platform::statusFloatDenormalOperand;
  if ((unmasked & flagOverflow) != 0) return platform::statusFloatOverflow;
  if ((unmasked & flagUnderflow) != 0) return platform::statusFloatUnderflow;
  return platform::statusFloatInexactResult;
}

}  // namespace

void loadControlWord(std::uint16_t word) {
  assert((word & precisionControlBits) == precisionControlExtended);
  assert((word & roundingControlBits) == 0);
  fpuState.controlWord = word;
}

std::uint16_t controlWord() {
  return fpuState.controlWord;
}

std::uint16_t statusFlags() {
  return fpuState.statusFlags;
}

void resetEnvironment() {
  fpuState.statusFlags = 0;
  fpuState.controlWord = initialControlWord;
}

void clearStatus() {
  fpuState.statusFlags = 0;
}

void setTrapHook(const TrapHook* hook) {
  fpuState.trapHook = hook;
}

void raiseExceptions(std::uint16_t flags, std::uintptr_t callerAddress) {
  flags &= exceptionMaskBits;
  fpuState.statusFlags |= flags;
  const std::uint16_t unmasked = flags & static_cast<std::uint16_t>(~fpuState.controlWord);
  if (unmasked != 0 && fpuState.trapHook != nullptr) {
    fpuState.trapHook->handler(priorityExceptionCode(unmasked), callerAddress);
  }
}

}  // namespace extended
