// The floating-point environment: the control word loaded at start-up and on
// the exception paths, and its optional mask override from the registry.
#include "extended/fpu_environment.h"
#include "platform/program_state.h"
#include "runtime/runtime_internal.h"

PROGRAM_STATE std::uint16_t defaultFpuControl;

const FpuMaskSource platformFpuMaskSource = {
    platform::keyboardType,
    platform::openRegistryKey,
    platform::queryRegistryValue,
    platform::closeRegistryKey,
};
const FpuMaskSource* fpuMaskSource;

namespace {

constexpr std::int32_t keyboardTypeJapanese = 7;
constexpr std::int32_t keyboardSubtypeBits = 0xFF00;
constexpr std::int32_t keyboardSubtypePc98A = 0x0D00;
constexpr std::int32_t keyboardSubtypePc98B = 0x0400;
constexpr std::uint16_t controlWordKeptBits = 0xFFC0;

const FpuMaskSource& maskSource() {
  return fpuMaskSource != nullptr ? *fpuMaskSource : platformFpuMaskSource;
}

}  // namespace

bool fpuMaskKeyboardCondition() {
  const FpuMaskSource& source = maskSource();
  if (source.keyboardType(0) != keyboardTypeJapanese) return false;
  const std::int32_t subtype = source.keyboardType(1) & keyboardSubtypeBits;
  return subtype == keyboardSubtypePc98A || subtype == keyboardSubtypePc98B;
}

void fpuMaskOverride() {
  const FpuMaskSource& source = maskSource();
  std::uint32_t value = defaultFpuControl;
  platform::RegistryKey key = 0;
  if (source.openRegistryKey(fpuMaskKeyName, key)) {
    // A failed query leaves `value` as it was; the key is closed either way.
    source.queryRegistryValue(key, fpuMaskValueName, value);
    source.closeRegistryKey(key);
  }
  defaultFpuControl = static_cast<std::uint16_t>((defaultFpuControl & controlWordKeptBits) |
                                                 (value & extended::exceptionMaskBits));
}

void resetFpu() {
  extended::resetEnvironment();
  extended::loadControlWord(defaultFpuControl);
}
