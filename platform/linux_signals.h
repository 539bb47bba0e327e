// Inside the Linux platform layer: the points at which a request to stop
// that installStopHook holds ends the process (linux_signals.cpp).
#pragma once

namespace platform {

// What a shell adds to a signal's number for the status of a process that
// the signal ended.
inline constexpr int shellStatusBase = 128;

// Before a read or an open, and after one that a signal interrupted: when a
// request to stop has arrived, runs the stop hook and ends the process by the
// signal; returns at once otherwise.
void stopIfRequested();

// At the end of the process: when a request to stop has arrived, ends the
// process by the signal, without the hook; returns at once otherwise.
// Async-signal-safe.
void endByRequestedStop();

}  // namespace platform
