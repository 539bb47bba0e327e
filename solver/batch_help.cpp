#include "solver/batch_help.h"

#include <cstdint>
#include <cstring>

#include "runtime/runtime.h"
#include "textio/text_stream.h"

namespace {

constexpr char version[] = QUADSOLVE_VERSION;

constexpr const char* helpLines[] = {
    usageLine,
    "Solves the quadratic equation of every line of the FILEs, read in order as",
    "one input (standard input when there is none, or for -), and writes one line",
    "for each: its result line, or the run-time error line that quadsolve gives",
    "for it alone. On Windows a FILE with * or ? outside quotes stands for the",
    "files that it matches, in name order.",
    "",
    "  --exit-zero  exit with 0 when every line got its line, its result or",
    "               its error line; only a failure of the program itself (a",
    "               FILE, a read, a write, a signal) gives another status",
    "  -h, --help   show this help and exit (also /?)",
    "  --version    show the name and version and exit",
    "  --           end of the options: every argument after it is a FILE",
    "",
    "Exit status: 0 when every line got its result line, else the code of the",
    "first line that ended in a run-time error; a FILE that cannot be read, or",
    "a failed read or write, ends the program with the system's code (2: no",
    "such file), a usage error with 2 (its line on standard error says usage),",
    "and an input in UTF-16 with 65 before any line of it.",
};

TextStream& writeText(TextStream& stream, const char* text) {
  return writeBytes(stream, text, static_cast<std::uint32_t>(std::strlen(text)));
}

}  // namespace

void showHelp() {
  for (const char* line : helpLines) writeLine(writeText(ConsoleOut, line));
  ioCheck();
  terminateProgram();
}

void showVersion() {
  writeLine(writeText(writeText(writeText(ConsoleOut, programName), " "), version));
  ioCheck();
  terminateProgram();
}
