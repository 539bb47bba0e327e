// What the Windows files of the platform layer share: the room for main's
// arguments and which of them are patterns (win32_entry.cpp splits them),
// and the code of a failed call (win32_io.cpp keeps it).
#pragma once

#include <cstdint>

namespace platform {

// A command line holds at most 32767 UTF-16 units; its arguments are
// separated by at least one unit each, which bounds their number.
inline constexpr int commandLineUnits = 32767;
inline constexpr int argumentCapacity = commandLineUnits / 2 + 2;

// For each argument that main got, whether it is a pattern of names
// (splitCommandLine's patterns).
extern bool argumentPatterns[argumentCapacity];

// Keeps the code of a failed call for lastError(); a code of 0 (no reason
// given) is kept as ERROR_GEN_FAILURE, so that no caller can mistake the
// failure for success.
void recordFailure(std::uint32_t code);

}  // namespace platform
