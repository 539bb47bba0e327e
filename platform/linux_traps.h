// What the start-up (linux_start.cpp) sets up of the trap hook before main.
#pragma once

#include <cstdint>

namespace platform {

// Sets up, once, what the trap hook needs from the kernel: the alternate
// signal stack with its inaccessible guard below it, whole pages of
// `pageSize` bytes (the auxiliary vector's AT_PAGESZ), and the handlers of the
// processor-exception signals, which pass a fault on to the hook that
// installTrapHook() installs and, until then, to the action from before them.
// installTrapHook() does it itself, for the largest page size, when the
// start-up has not (a program started by a C library).
void setUpTrapHandling(std::uintptr_t pageSize);

}  // namespace platform
