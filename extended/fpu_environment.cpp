#include "extended/fpu_environment.h"

#include <cassert>

#include "platform/exception_codes.h"

namespace extended {
namespace {

std::uint16_t currentControlWord = initialControlWord;
std::uint16_t currentStatusFlags = 0;
TrapHook currentTrapHook = nullptr;

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
  currentControlWord = word;
}

std::uint16_t controlWord() {
  return currentControlWord;
}

std::uint16_t statusFlags() {
  return currentStatusFlags;
}

void resetEnvironment() {
  currentStatusFlags = 0;
  currentControlWord = initialControlWord;
}

void clearStatus() {
  currentStatusFlags = 0;
}

void setTrapHook(TrapHook hook) {
  currentTrapHook = hook;
}

void raiseExceptions(std::uint16_t flags, std::uintptr_t callerAddress) {
  flags &= exceptionMaskBits;
  currentStatusFlags |= flags;
  const std::uint16_t unmasked = flags & static_cast<std::uint16_t>(~currentControlWord);
  if (unmasked != 0 && currentTrapHook != nullptr) {
    currentTrapHook(priorityExceptionCode(unmasked), callerAddress);
  }
}

}  // namespace extended
