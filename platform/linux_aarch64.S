// The program's entry and its system-call routine on Linux for 64-bit ARM.
// Signal handlers return through the kernel's own routine (in the vDSO).

#include <asm/unistd.h>  // the system-call numbers, __NR_*

        .text

// The process starts here with the kernel's initial stack (argument count,
// arguments, environment, auxiliary vector), which it hands to the start-up,
// platformStart (linux_start.cpp); that never returns. Weak: a program linked
// with a C library takes that library's entry instead.
        .weak   _start
        .type   _start, %function
_start:
        bti     c                       // a valid branch target
        mov     x29, #0                 // the outermost frame
        mov     x30, #0
        mov     x0, sp                  // the initial stack
        bl      platformStart
        brk     #0
        .size   _start, . - _start

// long platformSystemCall(long a0, long a1, long a2, long a3, long a4,
//                         long number)
// The arguments arrive in x0 to x5; the kernel takes them in x0 to x4 and
// the number in x8. The result, or the negated error number, comes back in
// x0.
        .globl  platformSystemCall
        .type   platformSystemCall, %function
platformSystemCall:
        bti     c
        mov     x8, x5
        svc     #0
        ret
        .size   platformSystemCall, . - platformSystemCall

// The stack need not be executable.
        .section .note.GNU-stack, "", %progbits

// The program property that the compiled code carries too
// (-mbranch-protection=standard): every function here starts with a
// branch-target mark (bti c) and keeps its return address in x30 untouched,
// so the program stays fit for branch-target identification, which the
// kernel then enforces on its code pages, and for pointer authentication.
// The linker gives the program the property only when every file has it.
        .section .note.gnu.property, "a"
        .p2align 3
        .long   4                       // name size
        .long   16                      // description size
        .long   5                       // NT_GNU_PROPERTY_TYPE_0
        .asciz  "GNU"
        .long   0xc0000000              // GNU_PROPERTY_AARCH64_FEATURE_1_AND
        .long   4                       // its size
        .long   3                       // BTI and PAC
        .p2align 3
