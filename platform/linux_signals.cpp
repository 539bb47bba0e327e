// Requests to stop on Linux: SIGINT, SIGTERM and SIGHUP held until the program
// reaches a point where it can end with its output whole (platform.h,
// installStopHook).
//
// The handler only notes the signal, gives the ones that it handles their
// default action back and sets a deadline; everything else runs in the
// program's own flow, at a read, at an open or at the end of the process
// (linux_signals.h). The deadline is a timer that sends the noted signal
// again, which by then ends the process: a write that its reader does not
// take, or an open that waits for a writer who never comes, cannot keep the
// program past it.
#include "platform/linux_signals.h"

#include <csignal>
#include <cstdint>

#include "platform/linux_kernel.h"
#include "platform/linux_system_calls.h"
#include "platform/platform.h"

#if defined(__x86_64__)
// The signal-return routine (linux_x86_64.S).
extern "C" void platformSignalReturn();
#endif

namespace platform {
namespace {

constexpr int stopSignals[] = {kernel::signalInterrupt, kernel::signalTerminate,
                               kernel::signalHangUp};

// How long after a request to stop the process ends by it at the latest,
// wherever it is then: long enough for a reader that reads to take what the
// program writes out meanwhile, short enough for a service manager that
// follows its stop signal with SIGKILL a second later.
constexpr long stopGraceNanoseconds = 500'000'000;

// The signal that asked the program to stop, 0 while none has. Written by the
// handler only.
volatile std::sig_atomic_t requestedStop = 0;
// The stop signals whose action installStopHook set; the others keep the
// action that the program started with (ignored, for one).
kernel::SignalSet handledStops = 0;
const StopHook* installedStopHook = nullptr;

kernel::SignalSet signalBit(int signal) {
  return kernel::SignalSet{1} << (signal - 1);
}

// Has the kernel send `signal` to this thread once the grace has passed. Its
// action is the default by then, so that it ends the process wherever it is.
// Async-signal-safe. Should the kernel refuse the timer, the process ends at
// its next read or open, or at its end, as it would without one.
void endAfterGrace(int signal) {
  kernel::TimerEvent event{};
  event.signal = signal;
  event.notify = kernel::notifyThread;
  event.threadId = static_cast<int>(kernel::call(kernel::Call::threadId));
  int timer = 0;
  if (kernel::failed(
          kernel::call(kernel::Call::createTimer, kernel::clockMonotonic, &event, &timer))) {
    return;
  }
  const kernel::TimerSetting once = {.interval = {}, .value = {0, stopGraceNanoseconds}};
  kernel::call(kernel::Call::setTimer, timer, 0, &once, nullptr);
}

void onStopSignal(int signal) {
  if (requestedStop != 0) return;
  requestedStop = signal;
  for (const int stop : stopSignals) {
    if ((handledStops & signalBit(stop)) != 0)
      kernel::setSignalHandler(stop, kernel::handlerDefault);
  }
  endAfterGrace(signal);
}

// Ends the process by `signal`, with its default action, as if it had never
// been caught. Async-signal-safe.
[[noreturn]] void endBySignal(int signal) {
  kernel::setSignalHandler(signal, kernel::handlerDefault);
  const kernel::SignalSet unblocked = signalBit(signal);
  kernel::call(kernel::Call::signalMask, kernel::maskUnblock, &unblocked, nullptr,
               sizeof unblocked);
  kernel::raiseSignal(signal);
  // Not reached unless the kernel refused the signal: the status that a shell
  // would show for it.
  for (;;) kernel::call(kernel::Call::exitProcess, shellStatusBase + signal);
}

}  // namespace

void installStopHook(const StopHook& hook) {
  installedStopHook = &hook;
  kernel::SignalAction action{};
  action.handler = reinterpret_cast<std::uintptr_t>(onStopSignal);
  // No SA_RESTART: a read that waits for input returns, interrupted, to
  // readFile, which stops there. The three are held back while one is noted.
  action.flags = 0;
#if defined(__x86_64__)
  action.flags |= kernel::actionRestorer;
  action.restorer = platformSignalReturn;
#endif
  for (const int signal : stopSignals) action.mask |= signalBit(signal);
  for (const int signal : stopSignals) {
    kernel::SignalAction previous{};
    if (kernel::failed(kernel::setSignalAction(signal, nullptr, &previous))) continue;
    // Ignored when the program started: the caller wants it ignored.
    if (previous.handler == kernel::handlerIgnore) continue;
    handledStops |= signalBit(signal);
    kernel::setSignalAction(signal, &action, nullptr);
  }
}

void stopIfRequested() {
  const int signal = requestedStop;
  if (signal == 0) return;
  if (installedStopHook != nullptr) installedStopHook->handler(signal);
  endBySignal(signal);
}

void endByRequestedStop() {
  const int signal = requestedStop;
  if (signal != 0) endBySignal(signal);
}

}  // namespace platform
