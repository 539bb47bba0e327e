// The floating-point environment at start-up: the control word, and the mask
// override through a stand-in keyboard and registry.
#include <string>

#include "exceptions/exception_codes.h"
#include "extended/extended.h"
#include "extended/fpu_environment.h"
#include "gtest/gtest.h"
#include "runtime/runtime_internal.h"
#include "textio/text_stream.h"

namespace {

// A keyboard and a registry that answer as told and record what was asked.
struct Answers {
  std::int32_t type;
  std::int32_t subtype;
  bool keyExists;
  bool valueExists;
  std::uint32_t value;
};
struct StandIn {
  std::int32_t type = 0;
  std::int32_t subtype = 0;
  bool keyExists = false;
  bool valueExists = false;
  std::uint32_t value = 0;

  int opens = 0;
  int queries = 0;
  int closes = 0;
  std::string openedKey;
  std::string queriedValue;
  platform::RegistryKey closedKey = 0;
};
StandIn standIn;
constexpr platform::RegistryKey standInKey = 0x5A5A;

void answerWith(const Answers& answers) {
  standIn = StandIn{};
  standIn.type = answers.type;
  standIn.subtype = answers.subtype;
  standIn.keyExists = answers.keyExists;
  standIn.valueExists = answers.valueExists;
  standIn.value = answers.value;
}

const FpuMaskSource standInSource = {
    [](std::int32_t which) { return which == 0 ? standIn.type : standIn.subtype; },
    [](const char* subKey, platform::RegistryKey& key) {
      ++standIn.opens;
      standIn.openedKey = subKey;
      if (!standIn.keyExists) return false;
      key = standInKey;
      return true;
    },
    [](platform::RegistryKey key, const char* valueName, std::uint32_t& value) {
      ++standIn.queries;
      standIn.queriedValue = valueName;
      if (key != standInKey || !standIn.valueExists) return false;
      value = standIn.value;
      return true;
    },
    [](platform::RegistryKey key) {
      ++standIn.closes;
      standIn.closedKey = key;
    },
};

class StartupEnvironment : public testing::Test {
 protected:
  void SetUp() override {
    standIn = StandIn{};
    defaultFpuControl = defaultFpuControlAtLoad;
  }
  void TearDown() override {
    fpuMaskSource = &platformFpuMaskSource;
    defaultFpuControl = defaultFpuControlAtLoad;
    extended::setTrapHook(nullptr);
    resetFpu();
  }
};

TEST_F(StartupEnvironment, ThisPlatformKeepsTheDefaultControlWord) {
  ConsoleOut.mode = modeOutput;
  initRuntimeLibrary();
  EXPECT_EQ(defaultFpuControl, 0x1332);
  EXPECT_EQ(extended::controlWord(), 0x1332);
  EXPECT_EQ(extended::statusFlags(), 0);
  EXPECT_EQ(ConsoleIn.mode, modeClosed);
  EXPECT_EQ(ConsoleOut.mode, modeClosed);
  EXPECT_EQ(ConsoleErr.mode, modeClosed);
}

struct OverrideCase {
  const char* name;
  std::int32_t type;
  std::int32_t subtype;
  bool keyExists;
  bool valueExists;
  std::uint32_t value;
  std::uint16_t expectedWord;
  bool expectOpen;
  bool expectClose;
};

TEST_F(StartupEnvironment, MaskOverrideUnderTheKeyboardCondition) {
  const OverrideCase cases[] = {
      {"PC-98 0x0D, all masked", 7, 0x0D00, true, true, 0x3F, 0x133F, true, true},
      {"PC-98 0x04, nothing masked", 7, 0x0400, true, true, 0x00, 0x1300, true, true},
      {"subtype's low byte ignored", 7, 0x0D7F, true, true, 0x3F, 0x133F, true, true},
      {"subtype's bits above 15 ignored", 7, 0x10400, true, true, 0x01, 0x1301, true, true},
      {"value's high bits never reach", 7, 0x0D00, true, true, 0xFFFFFFC5, 0x1305, true, true},
      {"missing key", 7, 0x0D00, false, false, 0x3F, defaultFpuControlAtLoad, true, false},
      {"missing value, key closed", 7, 0x0D00, true, false, 0x3F, defaultFpuControlAtLoad, true,
       true},
      {"other Japanese subtype", 7, 0x0500, true, true, 0x3F, defaultFpuControlAtLoad, false,
       false},
      {"not a Japanese keyboard", 4, 0x0D00, true, true, 0x3F, defaultFpuControlAtLoad, false,
       false},
      {"no keyboard type", 0, 0, true, true, 0x3F, defaultFpuControlAtLoad, false, false},
  };
  for (const OverrideCase& c : cases) {
    SCOPED_TRACE(c.name);
    answerWith({c.type, c.subtype, c.keyExists, c.valueExists, c.value});
    defaultFpuControl = defaultFpuControlAtLoad;
    fpuMaskSource = &standInSource;
    initRuntimeLibrary();
    EXPECT_EQ(defaultFpuControl, c.expectedWord);
    EXPECT_EQ(extended::controlWord(), c.expectedWord);
    EXPECT_EQ(standIn.opens, c.expectOpen ? 1 : 0);
    EXPECT_EQ(standIn.closes, c.expectClose ? 1 : 0);
    if (c.expectOpen) {
      EXPECT_EQ(standIn.openedKey, "SOFTWARE\\Velmark\\Orison\\RTL");
    }
    if (c.expectOpen && c.keyExists) {
      EXPECT_EQ(standIn.queriedValue, "FPUMaskValue");
    }
    if (c.expectClose) {
      EXPECT_EQ(standIn.closedKey, standInKey);
    }
  }
}

// The override reaches the arithmetic: with every mask set nothing traps;
// with none set even an inexact quotient does.
std::uint32_t trappedCode = 0;
void recordTrap(std::uint32_t code, std::uintptr_t) {
  trappedCode = code;
}
constexpr extended::TrapHook recordTrapHook = {recordTrap};

TEST_F(StartupEnvironment, OverriddenMasksDecideWhatTraps) {
  const Extended one = extended::make(false, extended::exponentBias, extended::integerBit);
  const Extended three = extended::make(false, extended::exponentBias + 1, 0xC000000000000000u);
  fpuMaskSource = &standInSource;
  answerWith({7, 0x0D00, true, true, 0x3F});
  initRuntimeLibrary();
  extended::setTrapHook(&recordTrapHook);
  trappedCode = 0;
  extended::divide(one, extended::positiveZero);
  EXPECT_EQ(trappedCode, 0u);

  answerWith({7, 0x0D00, true, true, 0x00});
  initRuntimeLibrary();
  trappedCode = 0;
  extended::divide(one, three);
  EXPECT_EQ(trappedCode, platform::statusFloatInexactResult);
}

}  // namespace
