// The machine context that the kernel hands a signal handler (its ucontext:
// uc_flags, uc_link, uc_stack, then, on some processors, the signal mask and
// its padding, then the registers of struct sigcontext), as far as the trap
// hook reads it: where the interrupted instruction is, and on 64-bit ARM how
// it was reached. The layouts are the kernel's, one for each processor the
// program is built for.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform::kernel {

// The address of the interrupted instruction in the machine context.
inline std::uintptr_t interruptedInstruction(const void* context) {
  const auto* bytes = static_cast<const unsigned char*>(context);
#if defined(__x86_64__)
  // uc_mcontext at 40: r8 to r15, rdi, rsi, rbp, rbx, rdx, rax, rcx, rsp, rip.
  constexpr std::size_t offset = 40 + 16 * 8;
#elif defined(__aarch64__)
  // uc_sigmask with 120 bytes of padding, uc_mcontext aligned to 16 at 176:
  // fault_address, regs[31], sp, pc.
  constexpr std::size_t offset = 176 + 8 + 31 * 8 + 8;
#elif defined(__riscv)
  // uc_sigmask with 120 bytes of padding, uc_mcontext aligned to 16 at 176:
  // pc first.
  constexpr std::size_t offset = 176;
#elif defined(__arm__)
  // uc_mcontext at 20: trap_no, error_code, oldmask, r0 to r10, fp, ip, sp,
  // lr, pc.
  constexpr std::size_t offset = 20 + 18 * 4;
#elif defined(__s390x__)
  // uc_mcontext at 40: the PSW's mask, then its address.
  constexpr std::size_t offset = 40 + 8;
#elif defined(__powerpc64__)
  // uc_sigmask with 120 bytes of padding, uc_mcontext at 168: _unused[4],
  // signal and its padding, handler, oldmask, the regs pointer, then
  // gp_regs, whose entry 32 is the next instruction address (nip).
  constexpr std::size_t offset = 168 + 4 * 8 + 8 + 8 + 8 + 8 + 32 * 8;
#else
#error "the machine context is not known for this processor"
#endif
  std::uintptr_t address;
  __builtin_memcpy(&address, bytes + offset, sizeof address);
  return address;
}

#if defined(__aarch64__)
// The branch type (PSTATE.BTYPE, bits 10 and 11) of the interrupted
// instruction in the saved processor state that follows the pc in the machine
// context: nonzero when an indirect branch led to it and it has not yet
// run, as at a branch-target fault, which the kernel reports as any illegal
// instruction (SIGILL, ILL_ILLOPC) and without an ESR record. An instruction
// that an indirect branch reaches and that is not a landing pad faults for
// that before anything else, in code mapped with branch-target checks.
inline unsigned interruptedBranchType(const void* context) {
  constexpr std::size_t offset = 176 + 8 + 31 * 8 + 8 + 8;
  constexpr unsigned branchTypeShift = 10;
  constexpr std::uint64_t branchTypeBits = 3;
  std::uint64_t state;
  __builtin_memcpy(&state, static_cast<const unsigned char*>(context) + offset, sizeof state);
  return static_cast<unsigned>((state >> branchTypeShift) & branchTypeBits);
}
#endif

}  // namespace platform::kernel
