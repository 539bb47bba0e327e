// The program's entry and its system-call routine on Linux for 32-bit ARM
// (EABI). Signal handlers return through the kernel's own routine.

#include <asm/unistd.h>  // the system-call numbers, __NR_*

        .syntax unified
        .arm
        .text

// The process starts here with the kernel's initial stack (argument count,
// arguments, environment, auxiliary vector), which it hands to the start-up,
// platformStart (linux_start.cpp); that never returns. Weak: a program linked
// with a C library takes that library's entry instead.
        .weak   _start
        .type   _start, %function
_start:
        mov     fp, #0                  // the outermost frame
        mov     lr, #0
        mov     r0, sp                  // the initial stack
        bic     sp, sp, #7              // the call sees the stack aligned
        bl      platformStart
        udf     #0
        .size   _start, . - _start

// long platformSystemCall(long a0, long a1, long a2, long a3, long a4,
//                         long number)
// The first four arguments arrive in r0 to r3, the fifth and the number on
// the stack; the kernel takes the arguments in r0 to r4 and the number in
// r7, which are saved around the call. The result, or the negated error
// number, comes back in r0.
        .globl  platformSystemCall
        .type   platformSystemCall, %function
platformSystemCall:
        push    {r4, r7}
        ldr     r4, [sp, #8]
        ldr     r7, [sp, #12]
        svc     #0
        pop     {r4, r7}
        bx      lr
        .size   platformSystemCall, . - platformSystemCall

// The stack need not be executable.
        .section .note.GNU-stack, "", %progbits
