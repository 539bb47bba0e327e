// A file's name as a diagnostic line shows it: one line, inert on a terminal,
// and short enough to leave room for the rest of the line.
#pragma once

#include <cstdint>

// Writes `name` (zero-terminated bytes) to `text` as the line shows it and
// returns the count written, at most `capacity`:
//  - A name whose bytes are all printable (ASCII 32 to 126, and UTF-8
//    characters from U+00A0 up) is written as it is.
//  - Any other name is quoted for a POSIX shell, as coreutils quotes one:
//    printable runs in single quotes, every other byte in a $'...' run as
//    \a \b \t \n \v \f \r or three octal digits, a quote as \';
//    "no\nsuch" becomes 'no'$'\n''such'.
//  - A name whose shown form would not fit in `capacity` keeps its first and
//    last characters, each part shown as above, with "..." between them.
std::uint32_t showName(const char* name, char* text, std::uint32_t capacity);
