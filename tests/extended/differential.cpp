#include "tests/extended/differential.h"

#include <bit>
#include <cinttypes>
#include <cstdio>

#include "exceptions/exception_codes.h"

namespace x87test {

namespace {

struct TrapLog {
  int calls = 0;
  std::uint32_t firstCode = 0;
  std::uintptr_t firstAddress = 0;
};
TrapLog trapLog;

void recordTrap(std::uint32_t exceptionCode, std::uintptr_t callerAddress) {
  if (trapLog.calls++ == 0) {
    trapLog.firstCode = exceptionCode;
    trapLog.firstAddress = callerAddress;
  }
}
constexpr extended::TrapHook recordTrapHook = {recordTrap};

Extended scalarResult(std::uint64_t bits) {
  return Extended{bits, 0};
}

}  // namespace

const char* operationName(Operation op) {
  switch (op) {
    case Operation::add:
      return "add";
    case Operation::subtract:
      return "subtract";
    case Operation::multiply:
      return "multiply";
    case Operation::divide:
      return "divide";
    case Operation::squareRoot:
      return "squareRoot";
    case Operation::compare:
      return "compare";
    case Operation::roundToInteger:
      return "roundToInteger";
    case Operation::fromDouble:
      return "fromDouble";
    case Operation::toDouble:
      return "toDouble";
    case Operation::fromInt64:
      return "fromInt64";
    case Operation::toInt64:
      return "toInt64";
    case Operation::negate:
      return "negate";
    case Operation::absolute:
      return "absolute";
  }
  return "?";
}

bool isBinary(Operation op) {
  return op == Operation::add || op == Operation::subtract || op == Operation::multiply ||
         op == Operation::divide || op == Operation::compare;
}

std::uint32_t priorityCode(std::uint16_t unmasked) {
  using namespace extended;
  if (unmasked & flagInvalid) return platform::statusFloatInvalidOperation;
  if (unmasked & flagZeroDivide) return platform::statusFloatDivideByZero;
  if (unmasked & flagDenormal) return platform::statusFloatDenormalOperand;
  if (unmasked & flagOverflow) return platform::statusFloatOverflow;
  if (unmasked & flagUnderflow) return platform::statusFloatUnderflow;
  if (unmasked & flagPrecision) return platform::statusFloatInexactResult;
  return 0;
}

Outcome runOnModel(Operation op, const Operands& x, std::uint16_t controlWord) {
  extended::setTrapHook(&recordTrapHook);
  extended::loadControlWord(controlWord);
  extended::clearStatus();
  trapLog = TrapLog{};

  Outcome out;
  switch (op) {
    case Operation::add:
      out.value = extended::add(x.a, x.b);
      break;
    case Operation::subtract:
      out.value = extended::subtract(x.a, x.b);
      break;
    case Operation::multiply:
      out.value = extended::multiply(x.a, x.b);
      break;
    case Operation::divide:
      out.value = extended::divide(x.a, x.b);
      break;
    case Operation::squareRoot:
      out.value = extended::squareRoot(x.a);
      break;
    case Operation::compare:
      out.value = scalarResult(static_cast<std::uint64_t>(extended::compare(x.a, x.b)));
      break;
    case Operation::roundToInteger:
      out.value = extended::roundToInteger(x.a);
      break;
    case Operation::fromDouble:
      out.value = extended::fromDouble(std::bit_cast<double>(x.a.significand));
      break;
    case Operation::toDouble:
      out.value = scalarResult(std::bit_cast<std::uint64_t>(extended::toDouble(x.a)));
      break;
    case Operation::fromInt64:
      out.value = extended::fromInt64(static_cast<std::int64_t>(x.a.significand));
      break;
    case Operation::toInt64:
      out.value = scalarResult(static_cast<std::uint64_t>(extended::toInt64(x.a)));
      break;
    case Operation::negate:
      out.value = extended::negate(x.a);
      break;
    case Operation::absolute:
      out.value = extended::absolute(x.a);
      break;
  }
  out.flags = extended::statusFlags() & extended::exceptionMaskBits;
  out.trapCode = trapLog.calls > 0 ? trapLog.firstCode : 0;

  extended::setTrapHook(nullptr);
  extended::loadControlWord(allMaskedWord);
  extended::clearStatus();
  return out;
}

int lastTrapCallCount() {
  return trapLog.calls;
}
std::uintptr_t lastTrapCallerAddress() {
  return trapLog.firstAddress;
}

bool agrees(Operation, std::uint16_t controlWord, const Outcome& expected, const Outcome& got) {
  const std::uint16_t unmasked = ~controlWord & extended::exceptionMaskBits;
  if ((expected.flags & unmasked) == 0) {
    return got.value == expected.value && got.flags == expected.flags && got.trapCode == 0;
  }
  return got.trapCode == expected.trapCode;
}

std::string describeExtended(Extended x) {
  char text[48];
  std::snprintf(text, sizeof text, "%04X:%016" PRIX64, static_cast<unsigned>(x.signExponent),
                x.significand);
  return text;
}

std::string describeOperands(Operation op, const Operands& x) {
  char text[64];
  switch (op) {
    case Operation::fromDouble:
      std::snprintf(text, sizeof text, "double %016" PRIX64, x.a.significand);
      return text;
    case Operation::fromInt64:
      std::snprintf(text, sizeof text, "int64 %016" PRIX64, x.a.significand);
      return text;
    default:
      break;
  }
  if (isBinary(op)) return describeExtended(x.a) + ", " + describeExtended(x.b);
  return describeExtended(x.a);
}

std::string describeOutcome(Operation op, const Outcome& o) {
  char text[96];
  const std::string value =
      op == Operation::toDouble || op == Operation::toInt64 || op == Operation::compare
          ? [&] {
              char bits[24];
              std::snprintf(bits, sizeof bits, "%016" PRIX64, o.value.significand);
              return std::string(bits);
            }()
          : describeExtended(o.value);
  std::snprintf(text, sizeof text, "%s flags %02X trap %08" PRIX32, value.c_str(),
                static_cast<unsigned>(o.flags), o.trapCode);
  return text;
}

}  // namespace x87test
