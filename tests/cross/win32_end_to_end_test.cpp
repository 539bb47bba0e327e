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
// theirs (a name with spaces, quoted), "-" for standard input, and a FILE
// that cannot be opened ending the run after the lines before it, with
// Windows' own code and a line on standard error that names it.
TEST(Batch, FilesFromTheCommandLine) {
  char folder[MAX_PATH];
  ASSERT_NE(GetTempPathA(MAX_PATH, folder), 0u);
  const std::string name = std::string(folder) + "quadsolve batch a.txt";
  HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, "1 -3 2\n1 2 1", 13, &written, nullptr);
  CloseHandle(file);
  win32_test::ProcessOptions options;
  options.in = Channel::file;
  options.input = "0 0 5\n";
  options.arguments = {"--exit-zero", name, "-", name + ".missing"};
  const auto result =
      win32_test::runProcess(win32_test::besideThisProgram("quadsolve-batch.exe"), options);
  DeleteFileA(name.c_str());
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(masked(result.output),
            "2 1.00 2.00\r\n3 -1.00\r\n-1\r\nRuntime error   2 at XXXXXXXX\r\n");
  EXPECT_EQ(result.exitCode, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(result.errorOutput.rfind("quadsolve-batch: cannot open " + name + ".missing: ", 0), 0u)
      << result.errorOutput;
}

}  // namespace
