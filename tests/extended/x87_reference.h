// The processor's own x87 unit as the reference for the extended model (x86
// hosts only). Each operation runs the real instruction on 10-byte memory
// images after FNINIT and FLDCW of the given control word, and FNSAVE reads the
// status word and the register stack right after it. FNSAVE waits for nothing
// and reinitialises the unit, so an unmasked exception is never delivered.
#pragma once

#include <cstdint>

#include "tests/extended/differential.h"

namespace x87test {

#if defined(__x86_64__) || defined(__i386__)
inline constexpr bool x87Available = true;
#else
inline constexpr bool x87Available = false;
#endif

// Runs `op` on the x87 unit under `controlWord` (precision 64 bits, rounding to
// nearest; only the mask bits may differ from 0x037F). The flags are those of
// the status word right after the operation; trapCode is the priority code of
// the flags that the control word leaves unmasked. With an unmasked exception
// the value is whatever the unit left (its destination may be unchanged).
// Precondition: x87Available.
Outcome runOnX87(Operation op, const Operands& x, std::uint16_t controlWord);

// Runs `op` under `controlWord` followed by FWAIT in a forked child, so that an
// unmasked exception is delivered as a real SIGFPE. Returns 0 when the child
// finished without a signal, otherwise the signal's si_code (FPE_FLTINV and so
// on); -1 when the child died otherwise. Precondition: x87Available.
int sigfpeCodeOnX87(Operation op, const Operands& x, std::uint16_t controlWord);

}  // namespace x87test
