// The input/output part of the platform layer on Windows: standard
// handles, handle types, reads, writes, the last error code and the process
// exit, each a thin wrapper of the console interface's own call.
//
// Handles are HANDLE values. Reads and writes are synchronous (no overlapped
// structure), as the standard handles of a console program are opened.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <cstdint>

#include "platform/error_text.h"
#include "platform/platform.h"
#include "platform/win32_internal.h"

namespace platform {

namespace {

// The code of the last failed call. Process-wide: the program starts no
// thread (GetLastError keeps it per thread too, but any system call may
// overwrite that copy).
std::uint32_t lastErrorCode = 0;

HANDLE handleOf(Handle handle) {
  return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

void recordFailure(std::uint32_t code) {
  if (code == ERROR_SUCCESS) code = ERROR_GEN_FAILURE;
  lastErrorCode = code;
  SetLastError(code);
}

Handle standardHandle(StandardHandle which) {
  DWORD id;
  switch (which) {
    case StandardHandle::input:
      id = STD_INPUT_HANDLE;
      break;
    case StandardHandle::output:
      id = STD_OUTPUT_HANDLE;
      break;
    case StandardHandle::error:
      id = STD_ERROR_HANDLE;
      break;
    default:
      recordFailure(ERROR_INVALID_PARAMETER);
      return invalidHandle;
  }
  const HANDLE handle = GetStdHandle(id);
  if (handle == INVALID_HANDLE_VALUE) {
    recordFailure(GetLastError());
    return invalidHandle;
  }
  // A process started without this standard handle gets a null one, which is
  // taken as it is: reading it fails with ERROR_INVALID_HANDLE, and as output
  // it is of no known type.
  return reinterpret_cast<Handle>(handle);
}

FileType fileType(Handle handle) {
  SetLastError(ERROR_SUCCESS);
  switch (GetFileType(handleOf(handle))) {
    case FILE_TYPE_CHAR:
      return FileType::character;
    case FILE_TYPE_PIPE:
      return FileType::pipe;
    case FILE_TYPE_DISK:
    case FILE_TYPE_REMOTE:
      return FileType::disk;
    default:
      // FILE_TYPE_UNKNOWN: either a handle of no known kind or a failed call
      // (an invalid handle); only the second sets an error code.
      if (GetLastError() != ERROR_SUCCESS) recordFailure(GetLastError());
      return FileType::unknown;
  }
}

bool readFile(Handle handle, void* buffer, std::uint32_t count, std::uint32_t& delivered) {
  DWORD got = 0;
  if (!ReadFile(handleOf(handle), buffer, count, &got, nullptr)) {
    recordFailure(GetLastError());
    delivered = 0;
    return false;
  }
  delivered = got;
  return true;
}

bool writeFile(Handle handle, const void* bytes, std::uint32_t count) {
  const auto* next = static_cast<const unsigned char*>(bytes);
  DWORD left = count;
  // One call writes everything to a file or a pipe; the loop only continues a
  // device that took part of the request.
  while (left > 0) {
    DWORD put = 0;
    if (!WriteFile(handleOf(handle), next, left, &put, nullptr)) {
      recordFailure(GetLastError());
      return false;
    }
    if (put == 0) {
      // No progress and no reason given: repeating could loop for ever.
      recordFailure(ERROR_WRITE_FAULT);
      return false;
    }
    next += put;
    left -= put < left ? put : left;
  }
  return true;
}

Handle openFileForReading(const char* name) {
  // The name in UTF-16, for the system's own call, up to the longest path
  // that a program may give it.
  constexpr int maxNameUnits = 32768;
  static wchar_t wideName[maxNameUnits];
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name, -1, wideName, maxNameUnits) == 0) {
    recordFailure(GetLastError());
    return invalidHandle;
  }
  const HANDLE handle = CreateFileW(wideName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    recordFailure(GetLastError());
    return invalidHandle;
  }
  return reinterpret_cast<Handle>(handle);
}

void closeFile(Handle handle) {
  CloseHandle(handleOf(handle));
}

std::uint32_t errorText(std::uint32_t code, char* text, std::uint32_t capacity) {
  // The system's message in UTF-8, without its line end and final period.
  constexpr DWORD maxTextUnits = 512;
  wchar_t wide[maxTextUnits];
  DWORD units = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                               code, 0, wide, maxTextUnits, nullptr);
  while (units > 0 && (wide[units - 1] == L'\r' || wide[units - 1] == L'\n' ||
                       wide[units - 1] == L' ' || wide[units - 1] == L'.')) {
    --units;
  }
  int length = 0;
  if (units > 0) {
    length = WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(units), text,
                                 static_cast<int>(capacity), nullptr, nullptr);
  }
  if (length > 0) return static_cast<std::uint32_t>(length);
  return unknownErrorText(code, text, capacity);
}

std::uint32_t lastError() {
  return lastErrorCode;
}

bool isBrokenPipe(std::uint32_t code) {
  return code == ERROR_BROKEN_PIPE;
}

bool isReaderGone(std::uint32_t code) {
  return code == ERROR_NO_DATA || code == ERROR_BROKEN_PIPE || code == ERROR_PIPE_NOT_CONNECTED;
}

bool isClosedHandle(Handle, std::uint32_t) {
  return false;
}

void releaseHandle(Handle handle) {
  CloseHandle(handleOf(handle));
}

void exitProcess(std::uint32_t code) {
  ExitProcess(code);
}

void abortProcess() {
  ExitProcess(3);
}

void initPlatform() {
  // A fault that no handler takes, and a drive that is not ready, end or fail
  // the program quietly instead of waiting for someone to close a dialog: the
  // program is run unattended by other tools as often as from a console.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
}

void installStopHook(const StopHook&) {
  // Ctrl+C and Ctrl+Break keep their default: the process ends at once.
}

}  // namespace platform
