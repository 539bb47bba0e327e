#include "platform/error_text.h"

namespace platform {

std::uint32_t unknownErrorText(std::uint32_t code, char* text, std::uint32_t capacity) {
  static constexpr char words[] = "Unknown error ";
  std::uint32_t count = 0;
  for (const char* next = words; *next != 0 && count < capacity; ++next) text[count++] = *next;
  // The number's digits, least significant first, then copied in order.
  constexpr int maxDigits = 10;
  char digits[maxDigits];
  int digitCount = 0;
  do {
    digits[digitCount++] = static_cast<char>('0' + code % 10);
    code /= 10;
  } while (code != 0);
  while (digitCount > 0 && count < capacity) text[count++] = digits[--digitCount];
  return count;
}

}  // namespace platform
