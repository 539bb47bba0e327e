// Keyboard type, registry, the message box and FILE operands on the POSIX
// systems, Linux and WASI alike.
//
// Neither has a keyboard type nor a registry: keyboardType() reports 0
// and no registry key can be opened, so the floating-point mask override never
// applies here. The message box is a line on standard error. A FILE operand
// names itself: the shell has expanded its patterns.
#include <cstdint>
#include <cstring>

#include "platform/platform.h"

namespace platform {

std::int32_t keyboardType(std::int32_t /*which*/) {
  return 0;
}

bool openRegistryKey(const char* /*subKey*/, RegistryKey& /*key*/) {
  return false;
}

bool queryRegistryValue(RegistryKey /*key*/, const char* /*valueName*/, std::uint32_t& /*value*/) {
  return false;
}

void closeRegistryKey(RegistryKey /*key*/) {}

namespace {
const char* listedOperand = nullptr;
}  // namespace

std::int32_t listOperandFiles(std::int32_t /*index*/, const char* argument) {
  listedOperand = argument;
  return 1;
}

const char* operandFileName(std::int32_t /*position*/) {
  return listedOperand;
}

// Writes "<caption>: <text>" and LF to standard error, so "Error: <message>".
// Async-signal-safe: three plain writes, results ignored as a message box's
// answer would be.
void showMessageBox(const char* text, const char* caption) {
  static constexpr char separator[] = {':', ' '};
  static constexpr char lineEnd = '\n';
  const Handle handle = standardHandle(StandardHandle::error);
  if (handle == invalidHandle) return;
  writeFile(handle, caption, static_cast<std::uint32_t>(std::strlen(caption)));
  writeFile(handle, separator, sizeof separator);
  writeFile(handle, text, static_cast<std::uint32_t>(std::strlen(text)));
  writeFile(handle, &lineEnd, 1);
}

}  // namespace platform
