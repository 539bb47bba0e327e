// Start-up and shutdown: the trap hook, the start-up table, and the one way
// out of the process.
#include <iterator>

#include "extended/fpu_environment.h"
#include "runtime/runtime_internal.h"
#include "textio/text_stream.h"

bool consoleMode = false;

namespace {

// The run-time library's own entry; the program's table holds nothing else.
constexpr StartupEntry runtimeEntries[] = {
    {initRuntimeLibrary, finalizeRuntimeLibrary},
};

// The run-time's hooks for processor exceptions and for the extended model's
// traps, in constant data.
constexpr platform::TrapHook runtimeTrapHook = {topLevelExceptionHandler};
constexpr extended::TrapHook runtimeModelTrapHook = {topLevelExceptionHandler};

// The table that initRuntime ran, whose shutdown steps terminateProgram runs.
const StartupTable* activeTable = nullptr;

// The check after closing the standard streams at shutdown. Closing writes out
// what ConsoleOut still holds for a file or a pipe, which for such output is
// where the whole result is written: a failure there loses it, so it ends the
// process like a failed write of any statement, at the position right after
// this call, unless a run-time error is already on its way out.
[[gnu::noinline]] void shutdownCheck(bool outputBound, std::uint32_t closeResult) {
  if (!outputBound || closeResult == 0 || runtimeErrorRaised()) return;
  failedIoCode = closeResult;
  runtimeError(static_cast<std::uint8_t>(closeResult & errorCodeBits),
               returnAddressToModule(CALLER_RETURN_ADDRESS()));
}

}  // namespace

const FailureReport* failureReport = nullptr;

void setFailureReport(const FailureReport* report) {
  failureReport = report;
}

const StartupTable startupTable = {runtimeEntries,
                                   static_cast<std::int32_t>(std::size(runtimeEntries))};
std::int32_t startedCount = 0;

void initRuntime(const StartupTable& table) {
  // The control word's value at load, before the hook that may load it.
  defaultFpuControl = defaultFpuControlAtLoad;
  // The hook first: a processor exception in a start-up step already ends the
  // program through topLevelExceptionHandler.
  activeTable = &table;
  platform::initPlatform();
  platform::installTrapHook(runtimeTrapHook);
  extended::setTrapHook(&runtimeModelTrapHook);

  while (startedCount < table.count) {
    const StartupEntry& entry = table.entries[startedCount];
    ++startedCount;
    if (entry.startup != nullptr) entry.startup();
  }
}

void initRuntimeLibrary() {
  if (fpuMaskKeyboardCondition()) fpuMaskOverride();
  resetFpu();
  markStandardStreamsClosed();
}

void finalizeRuntimeLibrary() {
  // A ConsoleOut that was never bound holds nothing, so its "not open" result
  // loses nothing; ConsoleErr's result is never judged.
  const bool outputBound = isBoundForOutput(ConsoleOut);
  shutdownCheck(outputBound, closeStandardStreams());
  // Keeps the check from becoming a tail call, whose return address would lie
  // in terminateProgram instead of here.
  __asm__ __volatile__("" ::: "memory");
}

void terminateProgram() {
  // The message comes before the streams are closed.
  if (errorMessageDue) {
    fillErrorMessage(exitCode, errorAddress);
    writeErrorMessage();
    errorMessageDue = false;
    errorAddress = 0;
    // Taken out first: a fault inside the report must not come back to it.
    if (const FailureReport* report = failureReport; report != nullptr) {
      failureReport = nullptr;
      report->report(static_cast<std::uint8_t>(exitCode), failedIoCode);
    }
  }

  // Shutdown steps in reverse order of start-up. The count drops before each
  // step runs, so a run-time error raised by a step (which comes back here)
  // goes on with the entries below it and never repeats one.
  if (activeTable != nullptr) {
    while (startedCount > 0) {
      --startedCount;
      const StartupEntry& entry = activeTable->entries[startedCount];
      if (entry.shutdown != nullptr) entry.shutdown();
    }
  }

  extended::setTrapHook(nullptr);
  platform::removeTrapHook();
  // A run-time error's code, else that of the first record that failed.
  platform::exitProcess(
      static_cast<std::uint32_t>(runtimeErrorRaised() ? exitCode : firstRecordErrorCode));
}
