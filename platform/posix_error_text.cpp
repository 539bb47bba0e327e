// The texts of the Linux error numbers that the program's files, reads and
// writes can meet, in the words that Linux programs use for them. The WASI
// room turns its own codes into these numbers and takes the same texts.
#include <cstdint>

#include "platform/error_text.h"
#include "platform/platform.h"

namespace platform {

namespace {

struct ErrorText {
  std::uint32_t code;
  const char* text;
};

constexpr ErrorText errorTexts[] = {
    {1, "Operation not permitted"},
    {2, "No such file or directory"},
    {4, "Interrupted system call"},
    {5, "Input/output error"},
    {6, "No such device or address"},
    {9, "Bad file descriptor"},
    {11, "Resource temporarily unavailable"},
    {12, "Cannot allocate memory"},
    {13, "Permission denied"},
    {14, "Bad address"},
    {16, "Device or resource busy"},
    {19, "No such device"},
    {20, "Not a directory"},
    {21, "Is a directory"},
    {22, "Invalid argument"},
    {23, "Too many open files in system"},
    {24, "Too many open files"},
    {26, "Text file busy"},
    {27, "File too large"},
    {28, "No space left on device"},
    {29, "Illegal seek"},
    {30, "Read-only file system"},
    {32, "Broken pipe"},
    {36, "File name too long"},
    {40, "Too many levels of symbolic links"},
    {75, "Value too large for defined data type"},
    {104, "Connection reset by peer"},
    {110, "Connection timed out"},
    {116, "Stale file handle"},
    {121, "Remote I/O error"},
    {122, "Disk quota exceeded"},
};

// Copies `text` to `out`, within `capacity`.
std::uint32_t copyText(char* out, std::uint32_t capacity, const char* text) {
  std::uint32_t count = 0;
  while (*text != 0 && count < capacity) out[count++] = *text++;
  return count;
}

}  // namespace

std::uint32_t errorText(std::uint32_t code, char* text, std::uint32_t capacity) {
  for (const ErrorText& entry : errorTexts) {
    if (entry.code == code) return copyText(text, capacity, entry.text);
  }
  return unknownErrorText(code, text, capacity);
}

}  // namespace platform
