// A Windows command line split into a program's arguments, by the rules that
// Windows programs built with Microsoft's C run-time follow; platform
// independent, so that its tests run anywhere.
//
// The first argument, the program's name, ends at the first space or tab
// outside double quotes; its quotes are removed and a backslash is an
// ordinary character. Every later argument is separated from the next by
// spaces and tabs outside double quotes, and within it:
//   - a double quote starts or ends a quoted part, in which spaces and tabs
//     are ordinary characters; "" inside a quoted part is one literal quote
//     and the part goes on;
//   - 2n backslashes before a double quote give n backslashes, and the quote
//     starts or ends a quoted part; 2n + 1 backslashes before one give n
//     backslashes and a literal quote;
//   - backslashes anywhere else are themselves;
//   - "" alone is an empty argument.
// And the sort that puts a pattern's matches in order.
#pragma once

#include <cstdint>

namespace platform {

// Splits the zero-terminated `line` in place (no argument is longer than its
// text in the line) and stores a pointer to each argument, zero-terminated,
// in `arguments`, at most `capacity` - 1 of them followed by a null pointer.
// Returns the number of arguments; arguments beyond `capacity` - 1 are not
// kept. `capacity` is at least 1. Bytes other than space, tab, double quote
// and backslash are copied as they are, so UTF-8 text splits as its UTF-16
// original would.
//
// Where `patterns` is not null, patterns[i] is set for each argument kept:
// true when a * or ? of it stands outside double quotes (no Windows file name
// holds either, so such an argument is a pattern of names that the program
// may expand), false for the program's name and every other argument.
std::int32_t splitCommandLine(char* line, char** arguments, std::int32_t capacity,
                              bool* patterns = nullptr);

// Sorts items[0, count) in place by `before`, a strict weak order (a
// pattern's matches into name order): a heapsort, which needs no room but the
// items' own and no recursion, and compares n log n times whatever order the
// items came in.
void sortInPlace(std::uint32_t* items, std::uint32_t count,
                 bool (*before)(std::uint32_t, std::uint32_t));

}  // namespace platform
