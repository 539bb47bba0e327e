// The run-time layer on Windows: run-time error messages outside console mode
// (a message box), structured exceptions turned into run-time errors, and the
// floating-point mask override read from the real registry.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "runtime/runtime_internal.h"
#include "win32_process.h"

namespace {

// ---------------------------------------------------------------------------
// Outside console mode the message goes to a message box captioned "Error";
// standard output receives only what the program wrote itself.

struct BoxCase {
  const char* pending;
  const char* codeField;
  DWORD exitCode;
};

class ErrorMessageBox : public testing::TestWithParam<BoxCase> {};

TEST_P(ErrorMessageBox, ShowsTheMessageAndWritesNothingOfItToStandardOutput) {
  const BoxCase& box = GetParam();
  for (const win32_test::Channel out : {win32_test::Channel::pipe, win32_test::Channel::file}) {
    win32_test::ProcessOptions options;
    options.out = out;
    options.arguments = {"box", box.pending};
    const auto result =
        win32_test::runProcess(win32_test::besideThisProgram("win32_runtime_probe.exe"), options);
    ASSERT_TRUE(result.finished) << "the box was not closed";
    EXPECT_EQ(result.exitCode, box.exitCode);
    EXPECT_EQ(result.output, "held\r\n");
    const std::string prefix =
        std::string("box \"Error\" \"Runtime error ") + box.codeField + " at ";
    ASSERT_EQ(result.errorOutput.rfind(prefix, 0), 0u) << result.errorOutput;
    const std::string address = result.errorOutput.substr(prefix.size());
    ASSERT_EQ(address.size(), 10u) << result.errorOutput;  // eight digits, quote, LF
    EXPECT_EQ(address.find_first_not_of("0123456789ABCDEF"), 8u) << result.errorOutput;
    EXPECT_EQ(address.substr(8), "\"\n");
  }
}

INSTANTIATE_TEST_SUITE_P(Codes, ErrorMessageBox,
                         testing::Values(BoxCase{"5", "  5", 5}, BoxCase{"106", "106", 106},
                                         BoxCase{"995", "227", 227}),
                         [](const testing::TestParamInfo<BoxCase>& param) {
                           return std::string("Pending") + param.param.pending;
                         });

// ---------------------------------------------------------------------------
// A real structured exception ends the program with the run-time error of its
// event, after the output held before it.

struct FaultCase {
  const char* event;
  const char* codeField;
  DWORD exitCode;
  bool outsideImage = false;  // then the address is 00000000
};

class StructuredException : public testing::TestWithParam<FaultCase> {};

TEST_P(StructuredException, BecomesTheRunTimeErrorOfItsEvent) {
  const FaultCase& fault = GetParam();
  win32_test::ProcessOptions options;
  options.arguments = {"fault", fault.event};
  const auto result =
      win32_test::runProcess(win32_test::besideThisProgram("win32_runtime_probe.exe"), options);
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitCode, fault.exitCode);
  const std::string prefix = std::string("held\r\nRuntime error ") + fault.codeField + " at ";
  ASSERT_EQ(result.output.rfind(prefix, 0), 0u) << result.output;
  const std::string address = result.output.substr(prefix.size());
  ASSERT_EQ(address.size(), 10u) << result.output;  // eight digits, CR, LF
  EXPECT_EQ(address.find_first_not_of("0123456789ABCDEF"), 8u) << result.output;
  // In the executable's image at its preferred base: 0x00400000 for a 32-bit
  // program, 0x140000000 for a 64-bit one, whose low 32 bits are shown; an
  // address outside it names none of its code.
  if (fault.outsideImage) {
    EXPECT_EQ(address.substr(0, 8), "00000000") << result.output;
  } else {
    EXPECT_EQ(address.substr(0, 3), sizeof(void*) == 8 ? "400" : "004") << result.output;
  }
  EXPECT_EQ(address.substr(8), "\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Events, StructuredException,
    testing::Values(FaultCase{"access", "216", 216}, FaultCase{"divide", "200", 200},
                    FaultCase{"stack", "202", 202}, FaultCase{"outside", "216", 216, true}),
    [](const testing::TestParamInfo<FaultCase>& param) { return std::string(param.param.event); });

// A smashed stack canary ends the process at once, with the status with which
// Windows ends a program whose stack check failed: nothing of the held output
// is written, and no message.
TEST(StackProtector, SmashedCanaryEndsAtOnceWithStackBufferOverrun) {
  win32_test::ProcessOptions options;
  options.arguments = {"fault", "smash"};
  const auto result =
      win32_test::runProcess(win32_test::besideThisProgram("win32_runtime_probe.exe"), options);
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitCode, 0xC0000409u);  // STATUS_STACK_BUFFER_OVERRUN
  EXPECT_EQ(result.output, "");
}

// ---------------------------------------------------------------------------
// The mask override: the keyboard is a stand-in (wine reports no PC-98
// keyboard), the registry is the real one.

std::int32_t standInType = 0;
std::int32_t standInSubtype = 0;

const FpuMaskSource realRegistry = {
    [](std::int32_t which) { return which == 0 ? standInType : standInSubtype; },
    platform::openRegistryKey,
    platform::queryRegistryValue,
    platform::closeRegistryKey,
};

struct MaskCase {
  const char* name;
  std::int32_t type;
  std::int32_t subtype;
  bool hasValue;
  DWORD value;
  std::uint16_t controlWord;
};

class FpuMaskOverride : public testing::TestWithParam<MaskCase> {
 protected:
  void SetUp() override {
    defaultFpuControl = defaultFpuControlAtLoad;
    fpuMaskSource = &realRegistry;
  }
  void TearDown() override {
    fpuMaskSource = &platformFpuMaskSource;
    defaultFpuControl = defaultFpuControlAtLoad;
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, fpuMaskKeyName);
  }
};

TEST_P(FpuMaskOverride, TakesTheLowSixBitsOfTheRegistryValue) {
  const MaskCase& mask = GetParam();
  standInType = mask.type;
  standInSubtype = mask.subtype;
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, fpuMaskKeyName);
  if (mask.hasValue) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, fpuMaskKeyName, 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, fpuMaskValueName, 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&mask.value), sizeof mask.value),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  if (fpuMaskKeyboardCondition()) fpuMaskOverride();
  EXPECT_EQ(defaultFpuControl, mask.controlWord);
}

INSTANTIATE_TEST_SUITE_P(
    Registry, FpuMaskOverride,
    testing::Values(MaskCase{"AllMasked", 7, 0x0D00, true, 0x3F, 0x133F},
                    MaskCase{"NoneMasked", 7, 0x0400, true, 0x00, 0x1300},
                    MaskCase{"HighBitsIgnored", 7, 0x0D00, true, 0xFFFFFFD5, 0x1315},
                    MaskCase{"SubtypeLowBitsIgnored", 7, 0x0DFF, true, 0x3F, 0x133F},
                    MaskCase{"NoKey", 7, 0x0D00, false, 0, defaultFpuControlAtLoad},
                    MaskCase{"OtherJapaneseKeyboard", 7, 0x0200, true, 0x3F,
                             defaultFpuControlAtLoad},
                    MaskCase{"ThisMachinesKeyboard", 4, 0, true, 0x3F, defaultFpuControlAtLoad}),
    [](const testing::TestParamInfo<MaskCase>& param) { return std::string(param.param.name); });

}  // namespace
