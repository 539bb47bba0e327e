// FILE operands on Windows: an argument with * or ? outside double quotes
// names the files that it matches, as a program built with the C run-time's
// wildcard option gets them (platform.h, listOperandFiles). The matches of
// one pattern are held in fixed room, sorted in place.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <cstdint>

#include "platform/command_line.h"
#include "platform/platform.h"
#include "platform/win32_internal.h"

namespace platform {

namespace {

// The longest path that a program may give the system, in UTF-16 units with
// its terminator, and in UTF-8.
constexpr std::uint32_t pathUnits = 32768;
constexpr int pathBytes = 3 * pathUnits + 1;

// The matches of the last pattern: their names, each ended by a zero, and
// where each starts. Room for a folder of a quarter of a million files of
// sixteen characters; in zeroed memory, which costs nothing until it is used.
constexpr std::uint32_t nameUnitsRoom = 4 * 1024 * 1024;
constexpr std::uint32_t namesRoom = 256 * 1024;
wchar_t nameUnits[nameUnitsRoom];
std::uint32_t nameStarts[namesRoom];

// The pattern, whose folder part (up to its last \, / or :) comes before
// every match; then the name last handed out, in UTF-8.
wchar_t path[pathUnits];
std::uint32_t folderUnits = 0;
char currentName[pathBytes];

// An argument that is no pattern names itself.
const char* plainOperand = nullptr;

bool isDotOrDotDot(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

std::uint32_t unitCount(const wchar_t* text) {
  std::uint32_t count = 0;
  while (text[count] != 0) ++count;
  return count;
}

// Name order: ordinal, letters' case ignored; names that differ in case only
// (in a case-sensitive folder) in ordinal order.
bool before(std::uint32_t first, std::uint32_t second) {
  const wchar_t* const one = nameUnits + first;
  const wchar_t* const other = nameUnits + second;
  int order = CompareStringOrdinal(one, -1, other, -1, TRUE);
  if (order == CSTR_EQUAL) order = CompareStringOrdinal(one, -1, other, -1, FALSE);
  return order == CSTR_LESS_THAN;
}

// Collects the names that `path` matches. Returns their count, or -1 when
// the room ran out (0 is also a folder that holds only "." and "..").
std::int32_t collectMatches(HANDLE search, WIN32_FIND_DATAW& found) {
  std::uint32_t count = 0;
  std::uint32_t used = 0;
  do {
    if (isDotOrDotDot(found.cFileName)) continue;
    const std::uint32_t units = unitCount(found.cFileName) + 1;
    if (count == namesRoom || nameUnitsRoom - used < units || folderUnits + units > pathUnits) {
      return -1;
    }
    nameStarts[count++] = used;
    for (std::uint32_t unit = 0; unit < units; ++unit) nameUnits[used++] = found.cFileName[unit];
  } while (FindNextFileW(search, &found));
  return static_cast<std::int32_t>(count);
}

std::int32_t listMatches(const char* pattern) {
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, pattern, -1, path, pathUnits) == 0) {
    recordFailure(GetLastError());
    return 0;
  }
  folderUnits = 0;
  for (std::uint32_t unit = 0; path[unit] != 0; ++unit) {
    if (path[unit] == L'\\' || path[unit] == L'/' || path[unit] == L':') folderUnits = unit + 1;
  }
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW(path, &found);
  if (search == INVALID_HANDLE_VALUE) {
    recordFailure(GetLastError());
    return 0;
  }
  const std::int32_t count = collectMatches(search, found);
  FindClose(search);
  if (count <= 0) {
    recordFailure(count < 0 ? ERROR_NOT_ENOUGH_MEMORY : ERROR_FILE_NOT_FOUND);
    return 0;
  }
  sortInPlace(nameStarts, static_cast<std::uint32_t>(count), before);
  return count;
}

}  // namespace

std::int32_t listOperandFiles(std::int32_t index, const char* argument) {
  const bool pattern = index > 0 && index < argumentCapacity && argumentPatterns[index];
  plainOperand = pattern ? nullptr : argument;
  return pattern ? listMatches(argument) : 1;
}

const char* operandFileName(std::int32_t position) {
  if (plainOperand != nullptr) return plainOperand;
  // The folder part is still at the front of `path`; the match goes after it.
  const wchar_t* const name = nameUnits + nameStarts[position];
  std::uint32_t end = folderUnits;
  while ((path[end] = name[end - folderUnits]) != 0) ++end;
  if (WideCharToMultiByte(CP_UTF8, 0, path, -1, currentName, pathBytes, nullptr, nullptr) <= 0) {
    currentName[0] = 0;
  }
  return currentName;
}

}  // namespace platform
