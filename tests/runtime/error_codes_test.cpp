// The message template's fields and the two code tables, in process.
#include <cstring>
#include <string>

#include "exceptions/exception_codes.h"
#include "gtest/gtest.h"
#include "runtime/runtime_internal.h"

namespace {

struct MessageCase {
  std::int32_t code;
  std::uintptr_t address;
  const char* expected;
};

TEST(FillErrorMessage, FillsCodeAndAddressFields) {
  const MessageCase cases[] = {
      {5, 0x1A, "Runtime error   5 at 0000001A"},
      {32, 0x401000, "Runtime error  32 at 00401000"},
      {106, 0xDEADBEEF, "Runtime error 106 at DEADBEEF"},
      {0, 0x1, "Runtime error   0 at 00000001"},
      {255, 0xFFFFFFFF, "Runtime error 255 at FFFFFFFF"},
      // A 64-bit address shows its low 32 bits.
      {200, static_cast<std::uintptr_t>(0x55D4C0012345ull), "Runtime error 200 at C0012345"},
      // A second fill leaves nothing of the first behind.
      {7, 0x10, "Runtime error   7 at 00000010"},
  };
  for (const MessageCase& c : cases) {
    fillErrorMessage(c.code, c.address);
    EXPECT_EQ(std::string(errorMessage), c.expected);
    EXPECT_EQ(std::strlen(errorMessage), static_cast<std::size_t>(errorMessageLength));
  }
}

TEST(MapExceptionCode, EveryRowAndTheRest) {
  using namespace platform;
  const struct {
    std::uint32_t exception;
    int code;
  } rows[] = {
      {statusAccessViolation, 216},
      {statusArrayBoundsExceeded, 201},
      {statusFloatDenormalOperand, 206},
      {statusFloatDivideByZero, 200},
      {statusFloatInexactResult, 207},
      {statusFloatInvalidOperation, 207},
      {statusFloatOverflow, 205},
      {statusFloatStackCheck, 207},
      {statusFloatUnderflow, 206},
      {statusIntegerDivideByZero, 200},
      {statusIntegerOverflow, 215},
      {statusPrivilegedInstruction, 218},
      {statusStackOverflow, 202},
      {statusControlCExit, 217},
      {0, 255},
      {statusIllegalInstruction, 255},
      {0x80000003, 255},  // breakpoint
      {0xC000008B, 255},
      {0xC0000097, 255},  // neighbours of the table
      {0xC00000FC, 255},
      {0xC00000FE, 255},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(mapExceptionCode(row.exception), row.code) << std::hex << row.exception;
  }
}

TEST(ErrorKindCodes, TableOfKindsOneToTwentyFour) {
  const int expected[errorKindTableSize] = {0,   203, 204, 200, 201, 215, 207, 200, 205,
                                            206, 219, 216, 218, 217, 202, 220, 221, 222,
                                            223, 224, 225, 227, 0,   228, 229};
  for (int kind = 1; kind < errorKindTableSize; ++kind) {
    EXPECT_EQ(errorKindCodes[kind], expected[kind]) << "kind " << kind;
    EXPECT_NE(errorKindCodes[kind], 226) << "kind " << kind;
  }
}

}  // namespace
