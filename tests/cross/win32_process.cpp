#include "win32_process.h"

#include <gtest/gtest.h>

#include <thread>

namespace win32_test {
namespace {

// Quotes one argument for the command line as the C run-time parses it.
std::string quoted(const std::string& argument) {
  std::string text = "\"";
  std::size_t backslashes = 0;
  for (char ch : argument) {
    if (ch == '\\') {
      ++backslashes;
      continue;
    }
    if (ch == '"')
      text.append(2 * backslashes + 1, '\\');
    else
      text.append(backslashes, '\\');
    backslashes = 0;
    text += ch;
  }
  text.append(2 * backslashes, '\\');
  text += '"';
  return text;
}

// A handle that closes itself.
class OwnedHandle {
 public:
  OwnedHandle() = default;
  explicit OwnedHandle(HANDLE handle) : handle_(handle) {}
  ~OwnedHandle() { reset(); }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;
  HANDLE get() const { return handle_; }
  HANDLE* put() {
    reset();
    return &handle_;
  }
  void reset() {
    if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  HANDLE handle_ = nullptr;
};

std::string readAll(HANDLE handle) {
  std::string bytes;
  char chunk[4096];
  DWORD got = 0;
  while (ReadFile(handle, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
  return bytes;
}

void writeAll(HANDLE handle, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD put = 0;
    // A child that stops reading early closes the pipe: the rest is not wanted.
    if (!WriteFile(handle, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &put,
                   nullptr) ||
        put == 0) {
      return;
    }
    done += put;
  }
}

void makeInheritable(HANDLE handle) {
  SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
}

std::string readFileBytes(const std::string& path) {
  OwnedHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) return std::string("<cannot open ").append(path) + ">";
  return readAll(file.get());
}

}  // namespace

std::string besideThisProgram(const char* fileName) {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string directory(path, length);
  const std::size_t slash = directory.find_last_of("\\/");
  directory.resize(slash == std::string::npos ? 0 : slash + 1);
  return directory.append(fileName);
}

std::string temporaryFile(const char* prefix) {
  char directory[MAX_PATH];
  char path[MAX_PATH];
  GetTempPathA(MAX_PATH, directory);
  if (GetTempFileNameA(directory, prefix, 0, path) == 0) {
    ADD_FAILURE() << "GetTempFileName: " << GetLastError();
  }
  return path;
}

ProcessResult runProcess(const std::string& program, const ProcessOptions& options) {
  ProcessResult result;
  std::string inputPath;
  std::string outputPath;

  // Standard input.
  OwnedHandle childIn;
  OwnedHandle inputWriter;
  switch (options.in) {
    case Channel::file: {
      inputPath = temporaryFile("qin");
      {
        OwnedHandle file(CreateFileA(inputPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
        writeAll(file.get(), options.input);
      }
      *childIn.put() = CreateFileA(inputPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
      break;
    }
    case Channel::pipe:
      CreatePipe(childIn.put(), inputWriter.put(), nullptr, 0);
      break;
    case Channel::nulDevice:
      *childIn.put() = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
      break;
    case Channel::none:
      break;
    case Channel::given:
      DuplicateHandle(GetCurrentProcess(), options.givenInput, GetCurrentProcess(), childIn.put(),
                      0, FALSE, DUPLICATE_SAME_ACCESS);
      break;
  }

  // Standard output.
  OwnedHandle childOut;
  OwnedHandle outputReader;
  switch (options.out) {
    case Channel::file:
      outputPath = temporaryFile("qout");
      *childOut.put() = CreateFileA(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
      break;
    case Channel::pipe:
      CreatePipe(outputReader.put(), childOut.put(), nullptr, 0);
      if (options.outputReaderGone) outputReader.reset();
      break;
    case Channel::nulDevice:
      *childOut.put() = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
      break;
    case Channel::none:
    case Channel::given:
      break;
  }

  // Standard error: always a pipe.
  OwnedHandle childErr;
  OwnedHandle errorReader;
  CreatePipe(errorReader.put(), childErr.put(), nullptr, 0);

  for (HANDLE handle : {childIn.get(), childOut.get(), childErr.get()}) {
    if (handle != nullptr) makeInheritable(handle);
  }

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = childIn.get();
  startup.hStdOutput = childOut.get();
  startup.hStdError = childErr.get();

  std::string commandLine = quoted(program);
  for (const std::string& argument : options.arguments) {
    commandLine += ' ';
    commandLine += quoted(argument);
  }
  commandLine += options.commandTail;

  PROCESS_INFORMATION process{};
  const BOOL started =
      CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                     options.folder.empty() ? nullptr : options.folder.c_str(), &startup, &process);
  // The child's ends belong to the child now.
  childIn.reset();
  childOut.reset();
  childErr.reset();
  if (!started) {
    ADD_FAILURE() << "CreateProcess " << program << ": " << GetLastError();
    return result;
  }
  OwnedHandle processHandle(process.hProcess);
  OwnedHandle threadHandle(process.hThread);

  std::thread feeder;
  if (inputWriter.get() != nullptr) {
    feeder = std::thread([&] {
      writeAll(inputWriter.get(), options.input);
      inputWriter.reset();
    });
  }

  // The pipes are drained while the child runs and once more after it has
  // ended; their end of data is not awaited, since a process that the child
  // started (a debugger, say) may hold them open.
  const auto drain = [](HANDLE pipe, std::string& bytes) {
    if (pipe == nullptr) return;
    DWORD available = 0;
    while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
      std::string chunk(available, '\0');
      DWORD got = 0;
      if (!ReadFile(pipe, chunk.data(), available, &got, nullptr) || got == 0) return;
      bytes.append(chunk, 0, got);
    }
  };
  const ULONGLONG deadline = GetTickCount64() + options.timeLimitMs;
  for (;;) {
    drain(outputReader.get(), result.output);
    drain(errorReader.get(), result.errorOutput);
    if (WaitForSingleObject(processHandle.get(), 5) == WAIT_OBJECT_0) {
      result.finished = true;
      break;
    }
    if (GetTickCount64() >= deadline) break;
  }
  if (!result.finished) {
    TerminateProcess(processHandle.get(), 0xDEAD);
    WaitForSingleObject(processHandle.get(), INFINITE);
  }
  drain(outputReader.get(), result.output);
  drain(errorReader.get(), result.errorOutput);
  GetExitCodeProcess(processHandle.get(), &result.exitCode);
  // A child that ended without reading all its input leaves the feeder with a
  // broken pipe, which ends its write.
  if (feeder.joinable()) feeder.join();

  if (options.out == Channel::file) result.output = readFileBytes(outputPath);
  if (!inputPath.empty()) DeleteFileA(inputPath.c_str());
  if (!outputPath.empty()) DeleteFileA(outputPath.c_str());
  return result;
}

}  // namespace win32_test
