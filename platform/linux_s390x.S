// The program's entry and its system-call routine on Linux for IBM Z
// (s390x). Signal handlers return through the kernel's own routine.

#include <asm/unistd.h>  // the system-call numbers, __NR_*

        .text

// The process starts here with the kernel's initial stack (argument count,
// arguments, environment, auxiliary vector), which it hands to the start-up,
// platformStart (linux_start.cpp), with the register save area that every
// call may use and an empty back chain; platformStart never returns. Weak: a
// program linked with a C library takes that library's entry instead.
        .weak   _start
        .type   _start, @function
_start:
        lgr     %r2, %r15               // the initial stack
        lghi    %r0, -16
        ngr     %r15, %r0               // the stack aligned
        aghi    %r15, -160              // the save area of the callee
        xc      0(8,%r15), 0(%r15)      // no back chain
        brasl   %r14, platformStart
        .long   0                       // not reached: an invalid operation
        .size   _start, . - _start

// long platformSystemCall(long a0, long a1, long a2, long a3, long a4,
//                         long number)
// The first five arguments arrive in r2 to r6, the number in the caller's
// argument area at 160(r15); the kernel takes the arguments in r2 to r6 and
// the number in r1, and keeps r6. The result, or the negated error number,
// comes back in r2.
        .globl  platformSystemCall
        .type   platformSystemCall, @function
platformSystemCall:
        lg      %r1, 160(%r15)
        svc     0
        br      %r14
        .size   platformSystemCall, . - platformSystemCall

// The stack need not be executable.
        .section .note.GNU-stack, "", %progbits
