// Keyboard type, registry and the message box on Windows.
//
// The registry is read in the program's own view: the 32-bit program on
// 64-bit Windows sees HKEY_LOCAL_MACHINE\SOFTWARE redirected to its
// WOW6432Node branch, as every 32-bit program does; the 64-bit program reads
// the native branch.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <cstdint>

#include "platform/platform.h"

namespace platform {

std::int32_t keyboardType(std::int32_t which) {
  return GetKeyboardType(which);
}

bool openRegistryKey(const char* subKey, RegistryKey& key) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) {
    return false;
  }
  key = reinterpret_cast<RegistryKey>(opened);
  return true;
}

bool queryRegistryValue(RegistryKey key, const char* valueName, std::uint32_t& value) {
  // The data go to a copy first: after a failed query (a value longer than 4
  // bytes among them) the buffer's contents are undefined, and `value` must
  // keep what it held. The type is not asked for: the data's first bytes are
  // taken whatever the value's type, and shorter data replace only the low
  // bytes.
  std::uint32_t data = value;
  DWORD size = sizeof data;
  if (RegQueryValueExA(reinterpret_cast<HKEY>(key), valueName, nullptr, nullptr,
                       reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS) {
    return false;
  }
  value = data;
  return true;
}

void closeRegistryKey(RegistryKey key) {
  RegCloseKey(reinterpret_cast<HKEY>(key));
}

void showMessageBox(const char* text, const char* caption) {
  // No owner window; one OK button. The answer can only be OK (or a failure
  // to show the box), and nothing depends on it.
  MessageBoxA(nullptr, text, caption, MB_OK);
}

}  // namespace platform
