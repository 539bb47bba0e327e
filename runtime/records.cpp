// Run-time errors of a record program: an error of one record ends that
// record, not the program (runtime.h, "Programs that answer many records").
#include "extended/fpu_environment.h"
#include "platform/program_state.h"
#include "runtime/runtime_internal.h"
#include "textio/record_input.h"
#include "textio/text_stream.h"

PROGRAM_STATE std::uint8_t firstRecordErrorCode = 0;

namespace {

struct RecordState {
  bool failed = false;
  std::uint8_t code = 0;
  std::uintptr_t address = 0;  // a module address
};
constinit PROGRAM_STATE RecordState record;

// The records' errors set the exit code unless the program says otherwise.
PROGRAM_STATE bool recordErrorsExcluded = false;

// The first error of a record stands; later ones of the same record are the
// consequences of going on with a masked result or a neutral value.
void recordError(std::uint8_t code, std::uintptr_t address) {
  if (record.failed) return;
  record.failed = true;
  record.code = code != 0 ? code : catchAllErrorCode;
  record.address = address;
}

// An unmasked exception of the extended model inside a record: the record's
// error, and the operation finishes with its masked result.
void recordModelTrap(std::uint32_t exceptionCode, std::uintptr_t callerAddress) {
  recordError(mapExceptionCode(exceptionCode), platform::moduleCodeAddress(callerAddress));
}

constexpr extended::TrapHook recordModelTrapHook = {recordModelTrap};

}  // namespace

void beginRuntimeRecord() {
  record = RecordState{};
  setPendingIoError(0);
  resetFpu();
  extended::setTrapHook(&recordModelTrapHook);
}

[[gnu::noinline]] bool recordCheck() {
  if (pendingIoError == 0) return !record.failed;
  const std::uintptr_t address = returnAddressToModule(CALLER_RETURN_ADDRESS());
  // A failed read of the input ends the program whatever a conversion stored
  // after it: the token it cut is no malformed number, the line it cut no
  // record to answer.
  if (const std::uint32_t readFailure = recordSourceFailure(); readFailure != 0) {
    setPendingIoError(readFailure);
  } else if (pendingIoError == ioMalformedNumber) {
    recordError(ioMalformedNumber, address);
    return false;
  }
  // Any other code is a failure of the program's input or output, or of a
  // stream's binding, which no record can absorb: also after the record's
  // own error, it ends the program.
  ioFailure(address);
}

void endRuntimeRecord() {
  // A malformed number's code is the record's to report, not the program's.
  if (pendingIoError == ioMalformedNumber) setPendingIoError(0);
  if (!record.failed) return;
  fillErrorMessage(record.code, record.address);
  if (firstRecordErrorCode == 0 && !recordErrorsExcluded) firstRecordErrorCode = record.code;
  writeLine(writeBytes(ConsoleOut, errorMessage, errorMessageLength));
}

std::uint8_t recordErrorCode() {
  return record.failed ? record.code : 0;
}

void excludeRecordErrorsFromStatus() {
  recordErrorsExcluded = true;
}

void terminateProgramWithStatus(std::uint8_t status) {
  firstRecordErrorCode = status;
  terminateProgram();
}
