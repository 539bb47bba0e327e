// The program's entry and its system-call routine on Linux for 64-bit POWER,
// little-endian (the ELFv2 calling convention). Signal handlers return
// through the kernel's own routine (in the vDSO).

#include <asm/unistd.h>  // the system-call numbers, __NR_*

        .abiversion 2
        .text

// The process starts here with the kernel's initial stack (argument count,
// arguments, environment, auxiliary vector), which it hands to the start-up,
// platformStart (linux_start.cpp); that never returns. The kernel sets no TOC
// pointer, so it is computed first from this code's own address; then comes
// the minimal frame that a call needs, with an empty back chain. Weak: a
// program linked with a C library takes that library's entry instead.
        .weak   _start
        .type   _start, @function
_start:
        bcl     20, 31, 1f
1:      mflr    12
        addis   2, 12, (.TOC. - 1b)@ha
        addi    2, 2, (.TOC. - 1b)@l
        mr      3, 1                    // the initial stack
        clrrdi  1, 1, 4                 // the stack aligned
        li      0, 0
        stdu    0, -32(1)               // the outermost frame
        bl      platformStart
        nop
        trap
        .size   _start, . - _start

// long platformSystemCall(long a0, long a1, long a2, long a3, long a4,
//                         long number)
// The arguments arrive in r3 to r8; the kernel takes them in r3 to r7 and
// the number in r0. It reports an error by the summary-overflow bit with the
// positive error number in r3, which is negated here, so that the result, or
// the negated error number, comes back in r3 as on every processor.
        .globl  platformSystemCall
        .type   platformSystemCall, @function
platformSystemCall:
        mr      0, 8
        sc
        bnslr+
        neg     3, 3
        blr
        .size   platformSystemCall, . - platformSystemCall

// The stack need not be executable.
        .section .note.GNU-stack, "", %progbits
