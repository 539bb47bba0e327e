// What the start-up of the program linked without the C library
// (linux_start.cpp) shares with the rest of the platform layer and its tests.
#pragma once

#include <cstdint>

namespace platform {

// Sets up, once, what the trap hook needs from the kernel: the alternate
// signal stack and the handlers of the processor-exception signals, which pass
// a fault on to the hook that installTrapHook() installs and, until then, to
// the action from before them. Below the stack lies an inaccessible guard of
// whole pages of `pageSize` bytes (the auxiliary vector's AT_PAGESZ), unless
// the stack's area begins right at `readOnlyEnd`, the end of read-only pages
// of the program, which then serve as its guard. installTrapHook() does it
// itself, for the largest page size and with no such pages, when the start-up
// has not (a program started by a C library).
void setUpTrapHandling(std::uintptr_t pageSize, std::uintptr_t readOnlyEnd);

// The stack guard that the start-up set, read where protected functions read
// it (through the thread pointer on x86-64, s390x and 64-bit POWER). For the
// tests of the start-up.
std::uintptr_t stackGuard();

}  // namespace platform
