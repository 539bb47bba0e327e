// Where the programs' process-wide state lives: each writable variable of the
// shared code (the extended model's environment, the streams and the pending
// I/O code, the record's state, the equation's variables) is declared with
// PROGRAM_STATE.
//
// The programs start no thread and set up no thread pointer (they run
// without the C library), so there the variables are plain static data. The
// library's own compile of the same sources defines
// QUADSOLVE_STATE_PER_THREAD: each thread that calls it then has its own copy,
// and no state is shared between threads.
#pragma once

#ifdef QUADSOLVE_STATE_PER_THREAD
#define PROGRAM_STATE thread_local
#else
#define PROGRAM_STATE
#endif
