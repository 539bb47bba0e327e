// The Windows platform layer over real handles: files, anonymous pipes, the
// NUL device, null and closed handles, the registry, and real structured
// exceptions caught by the trap hook in a child process.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "exceptions/exception_codes.h"
#include "platform/platform.h"
#include "runtime/runtime_internal.h"
#include "win32_process.h"

namespace {

using platform::FileType;
using platform::Handle;

Handle asHandle(HANDLE handle) {
  return reinterpret_cast<Handle>(handle);
}

// A handle that closes itself.
struct Owned {
  HANDLE handle = nullptr;
  Owned() = default;
  explicit Owned(HANDLE h) : handle(h) {}
  ~Owned() { close(); }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  void close() {
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    handle = nullptr;
  }
};

struct Pipe {
  Owned reader;
  Owned writer;
  Pipe() { EXPECT_TRUE(CreatePipe(&reader.handle, &writer.handle, nullptr, 0)); }
};

// A temporary file, deleted at the end of the test.
struct TemporaryFile {
  std::string path = win32_test::temporaryFile("qpl");
  ~TemporaryFile() { DeleteFileA(path.c_str()); }
  HANDLE open(DWORD access) const {
    return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
};

// ---------------------------------------------------------------------------
// Kinds of handles.

TEST(FileKind, OfEachKindOfHandle) {
  TemporaryFile file;
  Owned disk(file.open(GENERIC_READ));
  Pipe pipe;
  Owned nul(CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_NE(disk.handle, INVALID_HANDLE_VALUE);
  ASSERT_NE(nul.handle, INVALID_HANDLE_VALUE);

  EXPECT_EQ(platform::fileType(asHandle(disk.handle)), FileType::disk);
  EXPECT_EQ(platform::fileType(asHandle(pipe.reader.handle)), FileType::pipe);
  EXPECT_EQ(platform::fileType(asHandle(pipe.writer.handle)), FileType::pipe);
  EXPECT_EQ(platform::fileType(asHandle(nul.handle)), FileType::character);
}

TEST(FileKind, OfAClosedHandleIsUnknownWithACode) {
  TemporaryFile file;
  HANDLE closed = file.open(GENERIC_READ);
  ASSERT_NE(closed, INVALID_HANDLE_VALUE);
  CloseHandle(closed);
  EXPECT_EQ(platform::fileType(asHandle(closed)), FileType::unknown);
  EXPECT_EQ(platform::lastError(), static_cast<std::uint32_t>(ERROR_INVALID_HANDLE));
}

TEST(ReleaseHandle, ClosesIt) {
  TemporaryFile file;
  HANDLE handle = file.open(GENERIC_READ);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  platform::releaseHandle(asHandle(handle));
  DWORD flags = 0;
  EXPECT_FALSE(GetHandleInformation(handle, &flags));
}

// ---------------------------------------------------------------------------
// Standard handles.

class StandardHandles : public testing::Test {
 protected:
  void SetUp() override { saved_ = GetStdHandle(STD_OUTPUT_HANDLE); }
  void TearDown() override { SetStdHandle(STD_OUTPUT_HANDLE, saved_); }

 private:
  HANDLE saved_ = nullptr;
};

TEST_F(StandardHandles, AreTheProcessHandles) {
  TemporaryFile file;
  Owned output(file.open(GENERIC_WRITE));
  ASSERT_TRUE(SetStdHandle(STD_OUTPUT_HANDLE, output.handle));
  EXPECT_EQ(platform::standardHandle(platform::StandardHandle::output), asHandle(output.handle));
  EXPECT_EQ(platform::standardHandle(platform::StandardHandle::input),
            asHandle(GetStdHandle(STD_INPUT_HANDLE)));
  EXPECT_EQ(platform::standardHandle(platform::StandardHandle::error),
            asHandle(GetStdHandle(STD_ERROR_HANDLE)));
}

// A process started without a standard handle has a null one: it is the
// handle, of no known type, and reading it fails with ERROR_INVALID_HANDLE.
TEST_F(StandardHandles, NullIsTakenAsItIs) {
  ASSERT_TRUE(SetStdHandle(STD_OUTPUT_HANDLE, nullptr));
  const platform::Handle null = platform::standardHandle(platform::StandardHandle::output);
  EXPECT_EQ(null, asHandle(nullptr));
  EXPECT_EQ(platform::fileType(null), platform::FileType::unknown);
  char byte = 0;
  std::uint32_t delivered = 1;
  EXPECT_FALSE(platform::readFile(null, &byte, 1, delivered));
  EXPECT_EQ(platform::lastError(), static_cast<std::uint32_t>(ERROR_INVALID_HANDLE));
}

TEST_F(StandardHandles, InvalidValueIsNoHandleWithACode) {
  ASSERT_TRUE(SetStdHandle(STD_OUTPUT_HANDLE, INVALID_HANDLE_VALUE));
  EXPECT_EQ(platform::standardHandle(platform::StandardHandle::output), platform::invalidHandle);
  EXPECT_NE(platform::lastError(), 0u);
}

// ---------------------------------------------------------------------------
// Reads.

TEST(ReadFile, DeliversAFileInRequestsThenZeroAtItsEnd) {
  TemporaryFile file;
  const std::string bytes(300, 'q');
  {
    Owned writer(file.open(GENERIC_WRITE));
    ASSERT_TRUE(platform::writeFile(asHandle(writer.handle), bytes.data(), 300));
  }
  Owned reader(file.open(GENERIC_READ));
  char buffer[128];
  std::uint32_t delivered = 99;
  for (std::uint32_t expected : {128u, 128u, 44u, 0u, 0u}) {
    ASSERT_TRUE(platform::readFile(asHandle(reader.handle), buffer, sizeof buffer, delivered));
    EXPECT_EQ(delivered, expected);
  }
}

TEST(ReadFile, APipeWhoseWriterHasGoneIsABrokenPipe) {
  Pipe pipe;
  DWORD put = 0;
  ASSERT_TRUE(WriteFile(pipe.writer.handle, "abc", 3, &put, nullptr));
  pipe.writer.close();
  char buffer[128];
  std::uint32_t delivered = 0;
  ASSERT_TRUE(platform::readFile(asHandle(pipe.reader.handle), buffer, sizeof buffer, delivered));
  EXPECT_EQ(std::string(buffer, delivered), "abc");
  delivered = 99;
  EXPECT_FALSE(platform::readFile(asHandle(pipe.reader.handle), buffer, sizeof buffer, delivered));
  EXPECT_EQ(delivered, 0u);
  EXPECT_EQ(platform::lastError(), static_cast<std::uint32_t>(ERROR_BROKEN_PIPE));
  EXPECT_TRUE(platform::isBrokenPipe(platform::lastError()));
}

TEST(ReadFile, FromAWriteOnlyHandleFailsWithItsCode) {
  TemporaryFile file;
  Owned writer(file.open(GENERIC_WRITE));
  char buffer[16];
  std::uint32_t delivered = 99;
  EXPECT_FALSE(platform::readFile(asHandle(writer.handle), buffer, sizeof buffer, delivered));
  EXPECT_EQ(delivered, 0u);
  EXPECT_EQ(platform::lastError(), static_cast<std::uint32_t>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(platform::isBrokenPipe(platform::lastError()));
}

// ---------------------------------------------------------------------------
// Writes.

TEST(WriteFile, WritesEveryByteToAFile) {
  TemporaryFile file;
  std::string bytes;
  for (int i = 0; i < 1000; ++i) bytes += static_cast<char>(i * 7);
  {
    Owned writer(file.open(GENERIC_WRITE));
    ASSERT_TRUE(platform::writeFile(asHandle(writer.handle), bytes.data(),
                                    static_cast<std::uint32_t>(bytes.size())));
  }
  Owned reader(file.open(GENERIC_READ));
  std::string back(2000, '\0');
  DWORD got = 0;
  ASSERT_TRUE(ReadFile(reader.handle, back.data(), 2000, &got, nullptr));
  back.resize(got);
  EXPECT_EQ(back, bytes);
}

// Windows reports a write to a pipe whose reader has gone as ERROR_NO_DATA
// (232, "the pipe is being closed"); wine reports ERROR_PIPE_NOT_CONNECTED
// (233). POSIX reports EPIPE (32). The run-time error code of such a failure
// is therefore 232 or 233 here and 32 on POSIX.
TEST(WriteFile, ToAPipeWithoutReaderFailsWithThePlatformCode) {
  Pipe pipe;
  pipe.reader.close();
  EXPECT_FALSE(platform::writeFile(asHandle(pipe.writer.handle), "x", 1));
  const std::uint32_t code = platform::lastError();
  EXPECT_TRUE(code == ERROR_NO_DATA || code == ERROR_PIPE_NOT_CONNECTED) << code;
  EXPECT_FALSE(platform::isBrokenPipe(code));
}

TEST(WriteFile, ToAReadOnlyHandleFailsWithItsCode) {
  TemporaryFile file;
  Owned reader(file.open(GENERIC_READ));
  EXPECT_FALSE(platform::writeFile(asHandle(reader.handle), "x", 1));
  EXPECT_EQ(platform::lastError(), static_cast<std::uint32_t>(ERROR_ACCESS_DENIED));
}

TEST(LastError, IsTheLayersOwnRecordNotTheSystemsLatest) {
  Pipe pipe;
  pipe.reader.close();
  ASSERT_FALSE(platform::writeFile(asHandle(pipe.writer.handle), "x", 1));
  const std::uint32_t code = platform::lastError();
  EXPECT_NE(code, 0u);
  // The system's own last error moves on; the layer's record stays.
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(platform::lastError(), code);
}

// ---------------------------------------------------------------------------
// The registry, under a key of the test's own.

class Registry : public testing::Test {
 protected:
  void SetUp() override {
    keyName_ = "SOFTWARE\\QuadsolveTests\\Platform" + std::to_string(GetCurrentProcessId());
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyName_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key_, nullptr),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    RegCloseKey(key_);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, keyName_.c_str());
  }
  void set(const char* name, DWORD type, const void* data, DWORD size) {
    ASSERT_EQ(RegSetValueExA(key_, name, 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
  }
  // The value as queryRegistryValue gives it, starting from `initial`; false
  // when the query fails.
  bool query(const char* name, std::uint32_t& value) {
    platform::RegistryKey key = 0;
    if (!platform::openRegistryKey(keyName_.c_str(), key)) {
      ADD_FAILURE() << "the key does not open";
      return false;
    }
    const bool found = platform::queryRegistryValue(key, name, value);
    platform::closeRegistryKey(key);
    return found;
  }

  std::string keyName_;
  HKEY key_ = nullptr;
};

TEST_F(Registry, AMissingKeyDoesNotOpen) {
  platform::RegistryKey key = 0;
  EXPECT_FALSE(platform::openRegistryKey((keyName_ + "\\Missing").c_str(), key));
}

TEST_F(Registry, AFourByteValueIsRead) {
  const DWORD data = 0x0000003F;
  set("FPUMaskValue", REG_DWORD, &data, sizeof data);
  std::uint32_t value = defaultFpuControlAtLoad;
  EXPECT_TRUE(query("FPUMaskValue", value));
  EXPECT_EQ(value, 0x3Fu);
}

TEST_F(Registry, AMissingValueLeavesTheVariable) {
  std::uint32_t value = defaultFpuControlAtLoad;
  EXPECT_FALSE(query("FPUMaskValue", value));
  EXPECT_EQ(value, defaultFpuControlAtLoad);
}

TEST_F(Registry, ALongerValueFailsAndLeavesTheVariable) {
  const std::uint64_t data = 0x1122334455667788;
  set("FPUMaskValue", REG_QWORD, &data, sizeof data);
  std::uint32_t value = defaultFpuControlAtLoad;
  EXPECT_FALSE(query("FPUMaskValue", value));
  EXPECT_EQ(value, defaultFpuControlAtLoad);
}

// The type is not asked for: the data's bytes are taken as they are, and a
// shorter value replaces only the low bytes.
TEST_F(Registry, AShorterValueReplacesTheLowBytes) {
  const unsigned char data[] = {0x15};
  set("FPUMaskValue", REG_BINARY, data, sizeof data);
  std::uint32_t value = defaultFpuControlAtLoad;
  EXPECT_TRUE(query("FPUMaskValue", value));
  EXPECT_EQ(value, (defaultFpuControlAtLoad & ~0xFFu) | 0x15u);
}

// ---------------------------------------------------------------------------
// Real structured exceptions reach the trap hook with their own codes and the
// address of the faulting instruction.

struct TrapCase {
  const char* event;
  std::uint32_t code;
  long maxOffset;  // the fault lies this far into the function at most
};

class TrapHook : public testing::TestWithParam<TrapCase> {};

std::string trapCaseName(const testing::TestParamInfo<TrapCase>& param) {
  std::string name = param.param.event;
  for (char& ch : name) {
    if (ch == '-') ch = '_';
  }
  return name;
}

std::string expectedLine(std::uint32_t code) {
  char text[32];
  std::snprintf(text, sizeof text, "code=%08lX", static_cast<unsigned long>(code));
  return text;
}

TEST_P(TrapHook, ReportsTheCodeAndTheFaultingInstruction) {
  const TrapCase& trap = GetParam();
  win32_test::ProcessOptions options;
  options.arguments = {trap.event};
  const auto result =
      win32_test::runProcess(win32_test::besideThisProgram("win32_trap_probe.exe"), options);
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitCode, 90u) << result.output;
  ASSERT_EQ(result.output.rfind(expectedLine(trap.code), 0), 0u) << result.output;
  long offset = -1;
  int inImage = 0;
  ASSERT_EQ(std::sscanf(result.output.c_str() + 14, " offset=%ld image=%d", &offset, &inImage), 2)
      << result.output;
  EXPECT_GE(offset, 0) << result.output;
  EXPECT_LE(offset, trap.maxOffset) << result.output;
  EXPECT_EQ(inImage, 1) << result.output;
}

// INTO and BOUND exist in 32-bit code only.
constexpr TrapCase trapCases[] = {
    {"access", platform::statusAccessViolation, 2},
    {"divide", platform::statusIntegerDivideByZero, 8},
#if defined(__i386__)
    {"overflow", platform::statusIntegerOverflow, 9},
    {"bounds", platform::statusArrayBoundsExceeded, 9},
#endif
    {"privileged", platform::statusPrivilegedInstruction, 0},
    // The division at 12, or the FWAIT after it that raises its exception
    // (64-bit Windows reports that one).
    {"x87-divide", platform::statusFloatDivideByZero, 14},
    {"x87-invalid", platform::statusFloatInvalidOperation, 14},
    // Not an event of the exception table: passed on as it is.
    {"illegal", platform::statusIllegalInstruction, 0},
};

INSTANTIATE_TEST_SUITE_P(Processor, TrapHook, testing::ValuesIn(trapCases), trapCaseName);

TEST(TrapHookStack, AStackOverflowIsReportedAsOne) {
  win32_test::ProcessOptions options;
  options.arguments = {"stack"};
  const auto result =
      win32_test::runProcess(win32_test::besideThisProgram("win32_trap_probe.exe"), options);
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitCode, 90u) << result.output;
  EXPECT_EQ(result.output.rfind(expectedLine(platform::statusStackOverflow), 0), 0u)
      << result.output;
}

TEST(TrapHookSoftware, ARaisedExceptionKeepsItsCode) {
  win32_test::ProcessOptions options;
  options.arguments = {"software"};
  const auto result =
      win32_test::runProcess(win32_test::besideThisProgram("win32_trap_probe.exe"), options);
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitCode, 90u) << result.output;
  EXPECT_EQ(result.output.rfind(expectedLine(0xE0517001), 0), 0u) << result.output;
}

// Once removed, the hook no longer sees the exception: the system ends the
// process with the exception code as its exit code, and no dialog waits.
TEST(TrapHookRemoved, LeavesTheExceptionToTheSystem) {
  win32_test::ProcessOptions options;
  options.arguments = {"removed:access"};
  const auto result =
      win32_test::runProcess(win32_test::besideThisProgram("win32_trap_probe.exe"), options);
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.output, "");
  EXPECT_EQ(result.exitCode, static_cast<DWORD>(platform::statusAccessViolation));
}

}  // namespace
