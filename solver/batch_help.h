// quadsolve-batch's own texts on its command line: its name, the usage line
// (which a usage error repeats on standard error), the help and the version.
#pragma once

inline constexpr char programName[] = "quadsolve-batch";
inline constexpr char usageLine[] = "Usage: quadsolve-batch [--exit-zero] [--] [FILE]...";

// Write the help, or the name and version, on standard output and end the
// program; the write is checked as any other.
[[noreturn]] void showHelp();
[[noreturn]] void showVersion();
