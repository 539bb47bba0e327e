// The start of a WASI command module and the part of the trap hook that
// WebAssembly allows.
//
// The runtime calls the exported _start, which runs main and ends the module
// with main's result. The module needs no other start-up: its memory and data
// are laid out by the linker, it has no addresses to relocate, and its return
// addresses lie on the engine's own stack, out of reach of its memory.
//
// A processor exception has no counterpart that the module could catch: an
// integer division by zero, an unreachable instruction, a memory access out
// of bounds or a call stack that runs out traps, and a trap ends the module at
// once (the runtime reports it). So the hook is kept and never called. The
// arithmetic model's floating-point traps do not depend on it: the model
// raises them itself, through its own hook.
#include <cstdint>

#include "platform/platform.h"

// main under its symbol name: a main without parameters is __main_void in
// WebAssembly code; for a main that takes arguments, wasi_arguments.cpp
// defines __main_void.
extern "C" int programMain() __asm__("__main_void");

extern "C" [[noreturn]] void _start() {
  platform::exitProcess(static_cast<std::uint32_t>(programMain()));
}

namespace platform {

void installTrapHook(const TrapHook&) {}

void removeTrapHook() {}

// A module's code has no addresses in its memory: the address is what the
// run-time gave (caller_address.h).
std::uintptr_t moduleCodeAddress(std::uintptr_t runtimeAddress) {
  return runtimeAddress;
}

}  // namespace platform
