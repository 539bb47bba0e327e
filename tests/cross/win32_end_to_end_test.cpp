// The program on Windows, run as a child process with the standard handles
// that only Windows has: null handles, the NUL device, a handle without read
// access, a pipe whose reader has gone. (The whole-run tables of the solver's
// end-to-end tests run against this build too, from the host: see
// CMakeLists.txt.)
#include <gtest/gtest.h>

#include <string>

#include "win32_process.h"

namespace {

using win32_test::Channel;

std::string program() {
  return win32_test::besideThisProgram("quadsolve.exe");
}

win32_test::ProcessResult run(const std::string& input, Channel in, Channel out,
                              bool readerGone = false) {
  win32_test::ProcessOptions options;
  options.in = in;
  options.out = out;
  options.input = input;
  options.outputReaderGone = readerGone;
  return win32_test::runProcess(program(), options);
}

// The run-time error line with its address masked; the address must be
// eight uppercase hexadecimal digits.
std::string masked(const std::string& output) {
  static const std::string at = " at ";
  const std::size_t pos = output.find("Runtime error ");
  if (pos == std::string::npos) return output;
  const std::size_t address = pos + 14 + 3 + at.size();
  if (output.size() < address + 8) return output;
  for (std::size_t i = address; i < address + 8; ++i) {
    const char ch = output[i];
    if (!((ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'F'))) return output;
  }
  return output.substr(0, address) + "XXXXXXXX" + output.substr(address + 8);
}

std::string failure(const char* codeField) {
  return std::string("\r\nRuntime error ") + codeField + " at XXXXXXXX\r\n";
}

// ---------------------------------------------------------------------------
// Whole runs through files and pipes: the same bytes as everywhere.

struct WholeRun {
  const char* name;
  const char* input;
  const char* output;
  DWORD exitCode;
};

class Runs : public testing::TestWithParam<WholeRun> {};

TEST_P(Runs, GiveTheSameBytesAsEverywhere) {
  const WholeRun& whole = GetParam();
  for (const Channel channel : {Channel::file, Channel::pipe}) {
    const auto result = run(whole.input, channel, channel);
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(masked(result.output), whole.output);
    EXPECT_EQ(result.exitCode, whole.exitCode);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Program, Runs,
    testing::Values(
        WholeRun{"TwoRoots", "1 -3 2\n", "\r\n2 1.00 2.00\r\n", 0},
        WholeRun{"DoubleRoot", "1 2 1\n", "\r\n3 -1.00\r\n", 0},
        WholeRun{"NoRealRoot", "1 0 1\n", "\r\n0\r\n", 0},
        WholeRun{"Linear", "0 2 -3\n", "\r\n1 1.50\r\n", 0},
        WholeRun{"Degenerate", "0 0 5\n", "\r\n-1\r\n", 0},
        WholeRun{"ExponentForm", "1 0 -1e80\n", "\r\n2 -1.0E+0040  1.0E+0040\r\n", 0},
        WholeRun{"Malformed", "1 -3 2x\n", "\r\nRuntime error 106 at XXXXXXXX\r\n", 106},
        WholeRun{"Overflow", "1e-300 1e10 1\n", "\r\nRuntime error 205 at XXXXXXXX\r\n", 205},
        WholeRun{"Invalid", "1e5120 0 0\n", "\r\nRuntime error 207 at XXXXXXXX\r\n", 207},
        WholeRun{"Byte26EndsTheInput",
                 "1 -3\x1a"
                 "2\n",
                 "\r\n2 0.00 3.00\r\n", 0}),
    [](const testing::TestParamInfo<WholeRun>& param) { return std::string(param.param.name); });

// ---------------------------------------------------------------------------
// Standard handles of Windows.

// A process started without a standard output handle has a null one: the
// binding fails (105), and the message has nowhere to go.
TEST(NullHandles, NoStandardOutputIs105) {
  const auto result = run("1 -3 2\n", Channel::file, Channel::none);
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitCode, 105u);
}

// A null standard input is bound as it is; the first read fails with
// ERROR_INVALID_HANDLE.
TEST(NullHandles, NoStandardInputIsTheReadsCodeAfterTheReads) {
  const auto result = run("", Channel::none, Channel::pipe);
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(masked(result.output), failure("  6"));
  EXPECT_EQ(result.exitCode, static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

// The NUL device is a character device: input that is empty at once, and
// output that is written line by line and discarded.
TEST(NulDevice, AsInputIsAnEmptyInput) {
  const auto result = run("", Channel::nulDevice, Channel::pipe);
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.output, "\r\n-1\r\n");
  EXPECT_EQ(result.exitCode, 0u);
}

TEST(NulDevice, AsOutputTakesEveryLine) {
  for (const auto& [input, exitCode] :
       {std::pair<const char*, DWORD>{"1 -3 2\n", 0}, std::pair<const char*, DWORD>{"x\n", 106}}) {
    const auto result = run(input, Channel::file, Channel::nulDevice);
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, exitCode) << input;
  }
}

// A read that fails gives the system's code as the run-time error: here a
// standard input handle without read access, ERROR_ACCESS_DENIED (5).
TEST(FailingInput, AHandleWithoutReadAccessGivesTheSystemCode) {
  const std::string path = win32_test::temporaryFile("qwo");
  HANDLE writeOnly = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writeOnly, INVALID_HANDLE_VALUE);
  win32_test::ProcessOptions options;
  options.in = Channel::given;
  options.givenInput = writeOnly;
  options.out = Channel::pipe;
  const auto result = win32_test::runProcess(program(), options);
  CloseHandle(writeOnly);
  DeleteFileA(path.c_str());
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(masked(result.output), failure("  5"));
  EXPECT_EQ(result.exitCode, 5u);
}

// Output to a pipe is held until shutdown; when the reader has gone, writing
// it out fails and the run fails with the system's code: ERROR_NO_DATA (232)
// on Windows, ERROR_PIPE_NOT_CONNECTED (233) under wine; EPIPE (32) on POSIX.
TEST(FailingOutput, APipeWithoutReaderFailsTheRunWithTheSystemCode) {
  const auto result = run("1 -3 2\n", Channel::file, Channel::pipe, true);
  ASSERT_TRUE(result.finished);
  EXPECT_TRUE(result.exitCode == 232 || result.exitCode == 233) << result.exitCode;
}

// quadsolve-batch's FILEs from its own command line as Windows programs split
// theirs (a name with spaces, quoted), "-" for standard input, /? for the
// help, an unquoted * or ? expanded in name order (letters' case ignored;
// after "--" too, and in a folder), a pattern that matches nothing or a FILE
// that cannot be opened ending the run after the lines before it, with
// Windows' own code and a line on standard error that names it, and a UTF-16
// FILE refused.
TEST(Batch, FilesFromTheCommandLine) {
  const std::string folder = win32_test::temporaryFile("qsb");
  DeleteFileA(folder.c_str());
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  const auto put = [&](const std::string& name, const std::string& contents) {
    CreateDirectoryA((folder + "\\sub").c_str(), nullptr);
    HANDLE file = CreateFileA((folder + "\\" + name).c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << name;
    DWORD written = 0;
    WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr);
    CloseHandle(file);
  };
  put("quadsolve batch a.txt", "1 -3 2\n1 2 1");
  put("C.txt", "0 0 5\n");
  put("b.txt", "0 2 -3\n");
  put("sub\\d.txt", "1 0 1\n");
  put("sub\\le.utf16", std::string{'\xff', '\xfe', '1', '\0', '\n', '\0'});
  const std::string linesOfA = "2 1.00 2.00\r\n3 -1.00\r\n";
  const struct {
    const char* commandTail;
    std::string output;  // addresses masked; with "..." at its end, a prefix
    const char* errors;  // the start of standard error
    DWORD exitCode;
  } cases[] = {
      {R"( --exit-zero "quadsolve batch a.txt" - "quadsolve batch a.txt.missing")",
       linesOfA + "-1\r\nRuntime error   2 at XXXXXXXX\r\n",
       "quadsolve-batch: cannot open quadsolve batch a.txt.missing: ", ERROR_FILE_NOT_FOUND},
      {" /?", "Usage: quadsolve-batch [--exit-zero] [--] [FILE]...\r\n...", "", 0},
      {" *.txt", "1 1.50\r\n-1\r\n" + linesOfA, "", 0},
      {R"( "*.txt")", "Runtime error 123 at XXXXXXXX\r\n",
       "quadsolve-batch: cannot open *.txt: ", ERROR_INVALID_NAME},
      {" C.txt x*.txt", "-1\r\nRuntime error   2 at XXXXXXXX\r\n",
       "quadsolve-batch: cannot open x*.txt: ", ERROR_FILE_NOT_FOUND},
      {R"( sub\?.txt -- sub/*16)", "0\r\n",
       R"(quadsolve-batch: cannot read sub/le.utf16: it is UTF-16LE text)", 65},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.commandTail);
    win32_test::ProcessOptions options;
    options.in = Channel::file;
    options.input = "0 0 5\n";
    options.commandTail = c.commandTail;
    options.folder = folder;
    const auto result =
        win32_test::runProcess(win32_test::besideThisProgram("quadsolve-batch.exe"), options);
    ASSERT_TRUE(result.finished);
    const std::string output = masked(result.output);
    if (c.output.ends_with("...")) {
      EXPECT_EQ(output.rfind(c.output.substr(0, c.output.size() - 3), 0), 0u) << output;
    } else {
      EXPECT_EQ(output, c.output);
    }
    EXPECT_EQ(result.errorOutput.rfind(c.errors, 0), 0u) << result.errorOutput;
    EXPECT_EQ(result.exitCode, c.exitCode);
  }
  for (const char* name :
       {"quadsolve batch a.txt", "C.txt", "b.txt", "sub\\d.txt", "sub\\le.utf16"}) {
    DeleteFileA((folder + "\\" + name).c_str());
  }
  RemoveDirectoryA((folder + "\\sub").c_str());
  RemoveDirectoryA(folder.c_str());
}

}  // namespace
