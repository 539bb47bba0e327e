// Running a program as a child process on Windows, for the tests that look at
// a whole process: its standard handles, its output bytes, its exit code.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>
#include <vector>

namespace win32_test {

// Where a standard handle of the child comes from or goes to.
enum class Channel {
  file,       // a temporary file, filled with the input or read back afterwards
  pipe,       // an anonymous pipe, written or read while the child runs
  nulDevice,  // the NUL device, a character device
  none,       // no handle at all (a null standard handle)
  given,      // a handle that the caller opened (input only)
};

struct ProcessResult {
  std::string output;       // everything the child wrote to standard output
  std::string errorOutput;  // ... and to standard error (always a pipe)
  DWORD exitCode = 0;
  bool finished = false;  // false: killed at the time limit
};

struct ProcessOptions {
  Channel in = Channel::pipe;
  Channel out = Channel::pipe;
  std::string input;
  HANDLE givenInput = nullptr;         // for Channel::given; the caller keeps it
  std::vector<std::string> arguments;  // each quoted
  std::string commandTail;             // after them, as it is
  std::string folder;                  // the current folder, when not empty
  // The standard output pipe's read end is closed before the child starts.
  bool outputReaderGone = false;
  DWORD timeLimitMs = 20000;
};

// Runs `program` (a path that CreateProcess accepts) to its end.
ProcessResult runProcess(const std::string& program, const ProcessOptions& options);

// The path of a file in the directory of the running test program.
std::string besideThisProgram(const char* fileName);

// A unique temporary file name (the file exists, empty).
std::string temporaryFile(const char* prefix);

}  // namespace win32_test
