// The memory and string functions that compilers call on their own (for
// copies and fills of arrays and structures, and for loops that they
// recognise as one of these), for the program linked without a C library:
// plain byte loops, which are all a program that moves a few hundred bytes
// needs.
//
// This file is built with -fno-tree-loop-distribute-patterns (GCC), so that
// the compiler does not turn these loops back into calls of themselves.
#include <cstddef>

extern "C" {

void* memcpy(void* destination, const void* source, std::size_t count) {
  auto* to = static_cast<unsigned char*>(destination);
  const auto* from = static_cast<const unsigned char*>(source);
  for (std::size_t index = 0; index < count; ++index) to[index] = from[index];
  return destination;
}

void* memmove(void* destination, const void* source, std::size_t count) {
  auto* to = static_cast<unsigned char*>(destination);
  const auto* from = static_cast<const unsigned char*>(source);
  if (to < from) {
    for (std::size_t index = 0; index < count; ++index) to[index] = from[index];
  } else {
    for (std::size_t index = count; index > 0; --index) to[index - 1] = from[index - 1];
  }
  return destination;
}

void* memset(void* destination, int value, std::size_t count) {
  auto* to = static_cast<unsigned char*>(destination);
  for (std::size_t index = 0; index < count; ++index) to[index] = static_cast<unsigned char>(value);
  return destination;
}

std::size_t strlen(const char* text) {
  std::size_t length = 0;
  while (text[length] != '\0') ++length;
  return length;
}

int memcmp(const void* left, const void* right, std::size_t count) {
  const auto* a = static_cast<const unsigned char*>(left);
  const auto* b = static_cast<const unsigned char*>(right);
  for (std::size_t index = 0; index < count; ++index) {
    if (a[index] != b[index]) return a[index] < b[index] ? -1 : 1;
  }
  return 0;
}

}  // extern "C"
