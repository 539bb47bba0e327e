#include "platform/command_line.h"

namespace platform {

namespace {

constexpr char quote = '"';
constexpr char backslash = '\\';

bool isSeparator(char c) {
  return c == ' ' || c == '\t';
}

}  // namespace

std::int32_t splitCommandLine(char* line, char** arguments, std::int32_t capacity) {
  const char* next = line;  // the next byte to read
  char* out = line;         // where the next byte of an argument goes: never past `next`
  std::int32_t count = 0;

  // Keeps the argument that starts at `start` (when there is room) and ends
  // it at `out`, which is then at most at the byte just read.
  auto keep = [&](char* start) {
    if (count < capacity - 1) arguments[count] = start;
    ++count;
    *out++ = 0;
  };

  // The program's name: quotes group, backslashes are plain.
  {
    char* start = out;
    bool quoted = false;
    while (*next != 0 && (quoted || !isSeparator(*next))) {
      if (*next == quote) {
        quoted = !quoted;
        ++next;
      } else {
        *out++ = *next++;
      }
    }
    // At the line's end `next` stays on its terminator, which the argument's
    // own can only overwrite with another.
    if (*next != 0) ++next;
    keep(start);
  }

  for (;;) {
    while (isSeparator(*next)) ++next;
    if (*next == 0) break;

    char* start = out;
    bool quoted = false;
    while (*next != 0 && (quoted || !isSeparator(*next))) {
      if (*next == backslash) {
        std::int32_t backslashes = 0;
        while (*next == backslash) {
          ++backslashes;
          ++next;
        }
        if (*next != quote) {
          while (backslashes-- > 0) *out++ = backslash;
          continue;
        }
        for (std::int32_t half = backslashes / 2; half > 0; --half) *out++ = backslash;
        if (backslashes % 2 != 0) {
          *out++ = quote;
          ++next;
        }
        // An even count leaves the quote to open or close a quoted part.
        continue;
      }
      if (*next == quote) {
        ++next;
        if (quoted && *next == quote) {
          *out++ = quote;
          ++next;
        } else {
          quoted = !quoted;
        }
        continue;
      }
      *out++ = *next++;
    }
    const bool atEnd = *next == 0;
    if (!atEnd) ++next;
    keep(start);
    if (atEnd) break;
  }

  arguments[count < capacity - 1 ? count : capacity - 1] = nullptr;
  return count;
}

}  // namespace platform
