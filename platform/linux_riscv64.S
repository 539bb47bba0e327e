// The program's entry and its system-call routine on Linux for 64-bit
// RISC-V. Signal handlers return through the kernel's own routine (in the
// vDSO).

#include <asm/unistd.h>  // the system-call numbers, __NR_*

        .text

// The process starts here with the kernel's initial stack (argument count,
// arguments, environment, auxiliary vector), which it hands to the start-up,
// platformStart (linux_start.cpp); that never returns. The global pointer,
// which the linker's relaxed addressing relies on, is set first. Weak: a
// program linked with a C library takes that library's entry instead.
        .weak   _start
        .type   _start, %function
_start:
        .option push
        .option norelax
        lla     gp, __global_pointer$
        .option pop
        li      fp, 0                   // the outermost frame
        li      ra, 0
        mv      a0, sp                  // the initial stack
        andi    sp, sp, -16
        call    platformStart
        ebreak
        .size   _start, . - _start

// long platformSystemCall(long a0, long a1, long a2, long a3, long a4,
//                         long number)
// The arguments arrive in a0 to a5; the kernel takes them in a0 to a4 and
// the number in a7. The result, or the negated error number, comes back in
// a0.
        .globl  platformSystemCall
        .type   platformSystemCall, %function
platformSystemCall:
        mv      a7, a5
        ecall
        ret
        .size   platformSystemCall, . - platformSystemCall

// The stack need not be executable.
        .section .note.GNU-stack, "", %progbits
