// Run-time errors: the three roads into them (ioCheck, raiseErrorKind, the
// trap hook), their 8-bit codes, and the message written at shutdown.
//
// Everything from topLevelExceptionHandler to the process exit may run inside
// a signal handler: no allocation, no library calls beyond the platform
// layer's writes and exit.
#include "exceptions/exception_codes.h"
#include "platform/program_state.h"
#include "runtime/runtime_internal.h"
#include "textio/text_stream.h"

PROGRAM_STATE std::int32_t exitCode = 0;
PROGRAM_STATE std::uintptr_t errorAddress = 0;
PROGRAM_STATE bool errorMessageDue = false;
PROGRAM_STATE std::uint32_t failedIoCode = 0;

// Kinds 10 and 15 to 24 have codes that name no event of this program; they
// stand as numbers.
const std::uint8_t errorKindCodes[errorKindTableSize] = {
    0,  // kind 0 reports the pending I/O code instead
    errorOutOfMemory,
    errorInvalidPointer,
    errorDivisionByZero,
    errorRangeCheck,
    errorIntegerOverflow,
    errorInvalidFloatOperation,
    errorDivisionByZero,  // 7: floating-point division by zero
    errorFloatOverflow,
    errorFloatUnderflow,
    219,
    errorAccessViolation,
    errorPrivilegedInstruction,
    errorControlC,
    errorStackOverflow,
    220,
    221,
    222,
    223,
    224,
    225,
    227,
    0,  // 22: reported as 255 by runtimeError
    228,
    229,
};

PROGRAM_STATE char errorMessage[errorMessageLength + 1];

namespace {

// Character positions of the message's fields.
constexpr int codeFieldFirst = 14;
constexpr int codeFieldLast = 16;
constexpr int addressFieldFirst = 21;
constexpr int addressFieldLast = 28;

}  // namespace

[[gnu::noinline]] void ioCheck() {
  if (pendingIoError == 0) return;
  ioFailure(returnAddressToModule(CALLER_RETURN_ADDRESS()));
}

void ioFailure(std::uintptr_t address) {
  failedIoCode = pendingIoError;
  runtimeError(pendingIoCode(), address);
}

[[gnu::noinline]] void raiseErrorKind(std::uint8_t kind) {
  const std::uintptr_t address = returnAddressToModule(CALLER_RETURN_ADDRESS());
  kind = static_cast<std::uint8_t>(kind % errorKindLimit);
  std::uint8_t code = kind;
  if (kind == 0) {
    code = pendingIoCode();
  } else if (kind < errorKindTableSize) {
    code = errorKindCodes[kind];
  }
  runtimeError(code, address);
}

void runtimeError(std::uint8_t code, std::uintptr_t address) {
  errorAddress = address;
  errorMessageDue = true;
  // From here on a nonzero exitCode says that an error is on its way out.
  exitCode = code != 0 ? code : catchAllErrorCode;
  terminateProgram();
}

std::uint8_t mapExceptionCode(std::uint32_t exceptionCode) {
  using namespace platform;
  switch (exceptionCode) {
    case statusAccessViolation:
      return errorAccessViolation;
    case statusArrayBoundsExceeded:
      return errorRangeCheck;
    case statusFloatDenormalOperand:
    case statusFloatUnderflow:
      return errorFloatUnderflow;
    case statusFloatDivideByZero:
    case statusIntegerDivideByZero:
      return errorDivisionByZero;
    case statusFloatInexactResult:
    case statusFloatInvalidOperation:
    case statusFloatStackCheck:
      return errorInvalidFloatOperation;
    case statusFloatOverflow:
      return errorFloatOverflow;
    case statusIntegerOverflow:
      return errorIntegerOverflow;
    case statusPrivilegedInstruction:
      return errorPrivilegedInstruction;
    case statusStackOverflow:
      return errorStackOverflow;
    case statusControlCExit:
      return errorControlC;
    default:
      return catchAllErrorCode;
  }
}

void topLevelExceptionHandler(std::uint32_t exceptionCode, std::uintptr_t address) {
  // A fault on the way out of an error (writing the message, closing the
  // streams) ends the process at once with that error's code: reporting it
  // would take the same road again, and fault again.
  if (runtimeErrorRaised()) platform::exitProcess(static_cast<std::uint32_t>(exitCode));
  // No pending floating-point exception may trap again during shutdown.
  resetFpu();
  runtimeError(mapExceptionCode(exceptionCode), platform::moduleCodeAddress(address));
}

void fillErrorMessage(std::int32_t exitValue, std::uintptr_t addressValue) {
  static constexpr char hexDigits[] = "0123456789ABCDEF";

  for (int position = 0; position < errorMessageLength; ++position) {
    errorMessage[position] = errorMessageTemplate[position];
  }

  // Code field: decimal, right-aligned, at least one digit.
  auto code = static_cast<std::uint32_t>(exitValue);
  int position = codeFieldLast;
  do {
    errorMessage[position--] = static_cast<char>('0' + code % 10);
    code /= 10;
  } while (code != 0 && position >= codeFieldFirst);

  // Address field: the low 32 bits in uppercase hexadecimal, zeros kept.
  auto address = static_cast<std::uint32_t>(addressValue);
  for (position = addressFieldLast; position >= addressFieldFirst; --position) {
    errorMessage[position] = hexDigits[address & 0xF];
    address >>= 4;
  }
}

void writeErrorMessage() {
  if (!consoleMode) {
    platform::showMessageBox(errorMessage, errorMessageCaption);
    return;
  }

  // What the program wrote before the failure comes out first.
  writeOutHeldBytes(ConsoleOut);
  // Straight to the handle, not through ConsoleOut, so that the message is
  // written even when binding ConsoleOut failed.
  static constexpr char lineEnd[] = {'\r', '\n'};
  platform::writeFile(platform::standardHandle(platform::StandardHandle::output), errorMessage,
                      errorMessageLength);
  platform::writeFile(platform::standardHandle(platform::StandardHandle::output), lineEnd,
                      sizeof lineEnd);
}
