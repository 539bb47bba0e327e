#include "platform/command_line.h"

namespace platform {

namespace {

constexpr char quote = '"';
constexpr char backslash = '\\';

bool isSeparator(char c) {
  return c == ' ' || c == '\t';
}

bool isWildcard(char c) {
  return c == '*' || c == '?';
}

// Where the splitter stands: the next byte to read, and where the next byte
// of an argument goes, never past `next`.
struct Cursor {
  const char* next;
  char* out;
};

// The program's name: quotes group, backslashes are plain.
void readProgramName(Cursor& at) {
  bool quoted = false;
  while (*at.next != 0 && (quoted || !isSeparator(*at.next))) {
    if (*at.next == quote) {
      quoted = !quoted;
      ++at.next;
    } else {
      *at.out++ = *at.next++;
    }
  }
}

// A run of backslashes: before a double quote 2n of them give n and leave
// the quote to open or close a quoted part, 2n + 1 give n and a literal
// quote; anywhere else they are themselves.
void readBackslashes(Cursor& at) {
  std::int32_t backslashes = 0;
  while (*at.next == backslash) {
    ++backslashes;
    ++at.next;
  }
  if (*at.next != quote) {
    while (backslashes-- > 0) *at.out++ = backslash;
    return;
  }
  for (std::int32_t half = backslashes / 2; half > 0; --half) *at.out++ = backslash;
  if (backslashes % 2 != 0) {
    *at.out++ = quote;
    ++at.next;
  }
}

// One argument after the program's name, up to its separator or the line's
// end. Returns true when a * or ? of it stands outside double quotes.
bool readArgument(Cursor& at) {
  bool quoted = false;
  bool pattern = false;
  while (*at.next != 0 && (quoted || !isSeparator(*at.next))) {
    if (*at.next == backslash) {
      readBackslashes(at);
    } else if (*at.next == quote) {
      ++at.next;
      if (quoted && *at.next == quote) {
        *at.out++ = quote;
        ++at.next;
      } else {
        quoted = !quoted;
      }
    } else {
      pattern = pattern || (!quoted && isWildcard(*at.next));
      *at.out++ = *at.next++;
    }
  }
  return pattern;
}

// Moves items[root] down the heap of items[0, count) until neither child
// comes after it.
void siftDown(std::uint32_t* items, std::uint32_t root, std::uint32_t count,
              bool (*before)(std::uint32_t, std::uint32_t)) {
  for (std::uint32_t child = 2 * root + 1; child < count; child = 2 * root + 1) {
    if (child + 1 < count && before(items[child], items[child + 1])) ++child;
    if (!before(items[root], items[child])) return;
    const std::uint32_t held = items[root];
    items[root] = items[child];
    items[child] = held;
    root = child;
  }
}

}  // namespace

std::int32_t splitCommandLine(char* line, char** arguments, std::int32_t capacity, bool* patterns) {
  Cursor at{line, line};
  std::int32_t count = 0;

  // Keeps the argument that starts at `start` (when there is room) and ends
  // it at `at.out`, which is then at most at the byte just read. At the
  // line's end `at.next` stays on its terminator, which the argument's own
  // can only overwrite with another.
  auto keep = [&](char* start, bool pattern) {
    if (count < capacity - 1) {
      arguments[count] = start;
      if (patterns != nullptr) patterns[count] = pattern;
    }
    ++count;
    const bool atEnd = *at.next == 0;
    if (!atEnd) ++at.next;
    *at.out++ = 0;
    return atEnd;
  };

  char* start = at.out;
  readProgramName(at);
  keep(start, false);
  for (;;) {
    while (isSeparator(*at.next)) ++at.next;
    if (*at.next == 0) break;
    start = at.out;
    const bool pattern = readArgument(at);
    if (keep(start, pattern)) break;
  }

  arguments[count < capacity - 1 ? count : capacity - 1] = nullptr;
  return count;
}

void sortInPlace(std::uint32_t* items, std::uint32_t count,
                 bool (*before)(std::uint32_t, std::uint32_t)) {
  for (std::uint32_t root = count / 2; root-- > 0;) siftDown(items, root, count, before);
  for (std::uint32_t end = count; end-- > 1;) {
    const std::uint32_t largest = items[0];
    items[0] = items[end];
    items[end] = largest;
    siftDown(items, 0, end, before);
  }
}

}  // namespace platform
