// Inside the platform layer: the text of a failure code that the system has
// no text for.
#pragma once

#include <cstdint>

namespace platform {

// Writes "Unknown error " and `code` in decimal to `text`, at most `capacity`
// bytes; returns their count.
std::uint32_t unknownErrorText(std::uint32_t code, char* text, std::uint32_t capacity);

}  // namespace platform
