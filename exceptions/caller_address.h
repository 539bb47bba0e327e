// The return address of the running function, which a run-time error names as
// the place of the failure (the caller's code address, for addr2line).
//
// WebAssembly code cannot read a return address, nor any address of code:
// return addresses lie on the engine's own stack, outside the module's memory.
// There every error names the same stand-in, nonzero as an error's address
// must be (a zero address would mean that no error is pending).
#pragma once

#if defined(__wasm__)
#define CALLER_RETURN_ADDRESS() (reinterpret_cast<void*>(1))
#else
#define CALLER_RETURN_ADDRESS() __builtin_return_address(0)
#endif
