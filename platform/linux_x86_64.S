// The program's entry, its system-call routine and its signal-return routine
// on Linux for x86-64.

#include <asm/unistd.h>  // the system-call numbers, __NR_*

        .text

// The process starts here with the kernel's initial stack (argument count,
// arguments, environment, auxiliary vector), which it hands to the start-up,
// platformStart (linux_start.cpp); that never returns. Weak: a program linked
// with a C library takes that library's entry instead.
        .weak   _start
        .type   _start, @function
_start:
        endbr64
        xor     %ebp, %ebp              // the outermost frame
        mov     %rsp, %rdi              // the initial stack
        and     $-16, %rsp              // the call sees the stack aligned
        call    platformStart
        hlt
        .size   _start, . - _start

// long platformSystemCall(long a0, long a1, long a2, long a3, long a4,
//                         long number)
// The arguments arrive in rdi, rsi, rdx, rcx, r8 and r9; the kernel takes
// the number in rax and the fourth argument in r10. The result, or the
// negated error number, comes back in rax.
        .globl  platformSystemCall
        .type   platformSystemCall, @function
platformSystemCall:
        endbr64
        mov     %r9, %rax
        mov     %rcx, %r10
        syscall
        ret
        .size   platformSystemCall, . - platformSystemCall

// void platformSignalReturn(void)
// Where a signal handler returns to: rt_sigreturn restores the interrupted
// context from the frame that the kernel left on the stack.
        .globl  platformSignalReturn
        .type   platformSignalReturn, @function
platformSignalReturn:
        endbr64
        mov     $__NR_rt_sigreturn, %eax
        syscall
        .size   platformSignalReturn, . - platformSignalReturn

// The stack need not be executable.
        .section .note.GNU-stack, "", %progbits

// The program property that the compiled code carries too (-fcf-protection):
// every function here starts with the branch-target mark endbr64 and returns
// by a plain ret, so it keeps the program fit for indirect-branch tracking and
// a shadow stack. The linker gives the program the property only when every
// file has it.
        .section .note.gnu.property, "a"
        .p2align 3
        .long   4                       // name size
        .long   16                      // description size
        .long   5                       // NT_GNU_PROPERTY_TYPE_0
        .asciz  "GNU"
        .long   0xc0000002              // GNU_PROPERTY_X86_FEATURE_1_AND
        .long   4                       // its size
        .long   3                       // IBT and SHSTK
        .p2align 3
