// End-to-end tests of the quadsolve program: the built executable is run as a
// user runs it, with standard input from a file, a pipe or a pseudo-terminal
// and standard output to a file, a pipe or a pseudo-terminal, and its output
// bytes and exit code are compared exactly. The code address in a run-time
// error line differs from build to build; it is checked for its form (eight
// uppercase hexadecimal digits) and then masked. The seeded sweep (Sweep.*,
// CTest label `long`) runs 1500 equations, or QUADSOLVE_LONG_CASES when that
// is fewer (tests/long_sweep.h).
#include <elf.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/long_sweep.h"
#include "tests/platform/descriptor_support.h"

namespace {

const char* const programPath = QUADSOLVE_PROGRAM;

// A run that does not finish by then is killed (SIGALRM) and so fails; the
// test waits a little longer for it.
constexpr unsigned runTimeLimitSeconds = 20;
constexpr int waitLimitMs = (runTimeLimitSeconds + 5) * 1000;
constexpr char maskedAddress[] = "XXXXXXXX";

// The runners rely on descriptors 0 to 2 being taken, so that nothing they
// open lands there (the tests may be started without standard input).
[[maybe_unused]] const bool standardDescriptorsTaken = [] {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (fcntl(fd, F_GETFD) < 0) open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
  }
  return true;
}();

// Where standard input comes from and standard output goes; a pipe without
// reader has lost its reader before the program starts; a reset socket
// delivers the input and then fails with ECONNRESET.
enum class Channel { file, pipe, terminal, pipeWithoutReader, resetSocket };

const char* channelName(Channel channel) {
  switch (channel) {
    case Channel::file:
      return "file";
    case Channel::pipe:
      return "pipe";
    case Channel::terminal:
      return "terminal";
    case Channel::pipeWithoutReader:
      return "pipeWithoutReader";
    case Channel::resetSocket:
      return "resetSocket";
  }
  return "?";
}

struct RunResult {
  std::string output;
  bool exited = false;  // false: ended by a signal
  int exitCode = -1;
  int signal = 0;
};

// The line of a run-time error as the tests expect it, address masked.
std::string errorLine(int code) {
  std::string field = std::to_string(code);
  field.insert(0, 3 - field.size(), ' ');
  return "Runtime error " + field + " at " + maskedAddress + "\r\n";
}

bool isUpperHexDigit(char ch) {
  return (ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'F');
}

// Replaces the address of every error line by the mask when it has the right
// form; an address of any other form stays and makes the comparison fail.
std::string maskAddresses(std::string output) {
  static const std::string prefix = "Runtime error ";
  constexpr std::size_t codeField = 3;
  static const std::string at = " at ";
  constexpr std::size_t addressLength = 8;
  for (std::size_t pos = output.find(prefix); pos != std::string::npos;
       pos = output.find(prefix, pos + 1)) {
    const std::size_t addressPos = pos + prefix.size() + codeField + at.size();
    if (addressPos + addressLength > output.size()) break;
    if (output.compare(pos + prefix.size() + codeField, at.size(), at) != 0) continue;
    bool wellFormed = true;
    for (std::size_t i = 0; i < addressLength; ++i)
      wellFormed &= isUpperHexDigit(output[addressPos + i]);
    if (wellFormed) output.replace(addressPos, addressLength, maskedAddress);
  }
  return output;
}

RunResult decodeStatus(int status, std::string output) {
  RunResult result;
  result.output = std::move(output);
  result.exited = WIFEXITED(status);
  if (result.exited) result.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  return result;
}

using ChildSetup = std::function<void()>;

[[noreturn]] void execProgram(const std::vector<std::string>& arguments,
                              const char* path = programPath) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(path));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  signal(SIGPIPE, SIG_DFL);  // the tests ignore it; the program must not rely on that
  alarm(runTimeLimitSeconds);
  execv(path, argv.data());
  _exit(127);
}

// Starts the program with `in` as standard input and `out` as standard output;
// every other descriptor in `others` is closed in the child, so that the
// program holds no end of its own terminal or pipes.
pid_t startProgram(int in, int out, std::vector<int> others, const ChildSetup& setup = {},
                   const std::vector<std::string>& arguments = {}, const char* path = programPath) {
  return testing_support::startChild([&]() -> int {
    dup2(in, STDIN_FILENO);
    dup2(out, STDOUT_FILENO);
    others.insert(others.end(), {in, out});
    for (int fd : others) {
      if (fd > STDERR_FILENO) close(fd);
    }
    if (setup) setup();
    execProgram(arguments, path);
  });
}

// Runs the program once with `input` on standard input through `in` and its
// standard output through `out`. `setup` runs in the child before the program
// starts (resource limits, closed descriptors).
RunResult runProgram(const std::string& input, Channel in, Channel out,
                     const ChildSetup& setup = {}, const std::vector<std::string>& arguments = {},
                     const char* path = programPath) {
  // A program that stops reading early must not end the test by SIGPIPE.
  signal(SIGPIPE, SIG_IGN);

  // Standard input: the whole input is in the file or pipe before the program
  // starts, and a pipe's writer is gone.
  testing_support::Descriptor standardInput;
  if (in == Channel::file) {
    standardInput = testing_support::temporaryFile(input);
  } else if (in == Channel::pipe) {
    testing_support::Pipe pipe = testing_support::makePipe();
    testing_support::writeAll(pipe.writeEnd.get(), input);
    standardInput = std::move(pipe.readEnd);
  } else if (in == Channel::resetSocket) {
    // The peer closes with a byte of ours unread: a reset after the input.
    int ends[2];
    EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
    testing_support::Descriptor peer(ends[1]);
    standardInput = testing_support::Descriptor(ends[0]);
    testing_support::writeAll(peer.get(), input);
    testing_support::writeAll(standardInput.get(), "x");
  } else {
    ADD_FAILURE() << "terminal input has its own runner";
  }

  // Standard output, and the parent's end of it.
  testing_support::Descriptor standardOutput;
  testing_support::Descriptor reader;
  testing_support::Terminal terminal;
  if (out == Channel::file) {
    standardOutput = testing_support::temporaryFile();
  } else if (out == Channel::terminal) {
    terminal = testing_support::makeTerminal();
  } else {
    testing_support::Pipe pipe = testing_support::makePipe();
    standardOutput = std::move(pipe.writeEnd);
    if (out == Channel::pipe) reader = std::move(pipe.readEnd);
  }

  const int outputEnd = out == Channel::terminal ? terminal.slave.get() : standardOutput.get();
  const pid_t child = startProgram(standardInput.get(), outputEnd,
                                   {reader.get(), terminal.master.get()}, setup, arguments, path);
  standardInput.reset();
  if (out == Channel::terminal) {
    int status = 0;
    std::string output =
        testing_support::readTerminalUntilChildEnds(terminal, child, status, waitLimitMs);
    return decodeStatus(status, std::move(output));
  }
  if (out != Channel::file) standardOutput.reset();
  const std::string output =
      reader.get() >= 0 ? testing_support::readToEnd(reader.get()) : std::string();
  const int status = testing_support::waitForChild(child, waitLimitMs);
  return decodeStatus(
      status, out == Channel::file ? testing_support::fileContents(standardOutput.get()) : output);
}

// ---------------------------------------------------------------------------
// Whole runs: input text, expected output bytes and exit code.

struct Case {
  const char* name;
  std::string input;
  std::string output;  // addresses masked
  int exitCode;
};

void PrintTo(const Case& testCase, std::ostream* os) {
  *os << testCase.name;
}

std::string resultLine(const std::string& line) {
  return "\r\n" + line + "\r\n";
}
std::string failure(int code) {
  return "\r\n" + errorLine(code);
}

// 2^-60 written out exactly, and 2^60: their quotient is exactly 2^120, the
// smallest magnitude written in the exponent form.
const std::string twoToMinus60 = "8.67361737988403547205962240695953369140625e-19";
const std::string twoTo60 = "1152921504606846976";
// The largest double below 2^120, 2^120 - 2^67, written out exactly.
const std::string belowTwoTo120 = "1329227995784915725329854470603931648";

const std::vector<Case>& cases() {
  static const std::vector<Case> all = {
      // Every outcome code, both signs of a.
      {"TwoRoots", "1 -3 2\n", resultLine("2 1.00 2.00"), 0},
      {"TwoRootsNegativeA", "-1 3 -2\n", resultLine("2 1.00 2.00"), 0},
      {"TwoRootsSymmetric", "-2 0 8\n", resultLine("2 -2.00 2.00"), 0},
      {"DoubleRoot", "1 2 1\n", resultLine("3 -1.00"), 0},
      {"NoRealRoots", "1 0 1\n", resultLine("0"), 0},
      {"NoRealRootsNegativeA", "-1 0 -1\n", resultLine("0"), 0},
      {"Linear", "0 2 -3\n", resultLine("1 1.50"), 0},
      {"DegenerateNonzeroC", "0 0 5\n", resultLine("-1"), 0},
      {"DegenerateZeroC", "0 0 0\n", resultLine("-1"), 0},
      // Negative zeros.
      {"NegativeZeroA", "-0 0 7\n", resultLine("-1"), 0},
      {"LinearNegativeZeroRoot", "0 5 0\n", resultLine("1 -0.00"), 0},
      {"DoubleRootNegativeZero", "-1 0 0\n", resultLine("3 -0.00"), 0},
      {"TwoRootsWithZero", "1 -0.125 0\n", resultLine("2 0.00 0.13"), 0},
      // Where the coefficients stand and where the input ends.
      {"EmptyInput", "", resultLine("-1"), 0},
      {"TwoNumbersThenEnd", "1 2", resultLine("2 -2.00 0.00"), 0},
      {"ThreeLines", "1\n-3\n2\n", resultLine("2 1.00 2.00"), 0},
      {"FiveNumbers", "1 -3 2 7 9\n", resultLine("2 1.00 2.00"), 0},
      {"MalformedExtraTokensIgnored", "1 -3 2 x,y\nnot a line that is read\n",
       resultLine("2 1.00 2.00"), 0},
      {"NoFinalLineEnd", "1 -3 2", resultLine("2 1.00 2.00"), 0},
      {"LongestToken", "0 1 -" + std::string(63, '1') + "\n", resultLine("1  1.1E+0062"), 0},
      // One number is never read as two: a token longer than 64 bytes is malformed.
      {"OverlongTokenIsMalformed", "0 1 " + std::string(65, '1') + "\n", failure(106), 106},
      {"OverlongFirstToken", std::string(70, '1') + " 1 2\n", failure(106), 106},
      // Malformed coefficients: reported after the whole line is read.
      {"MalformedFirst", "x 1 2\n", failure(106), 106},
      {"MalformedTrailingLetter", "1 -3 2x\n", failure(106), 106},
      {"MalformedComma", "1,5 1 1\n", failure(106), 106},
      {"MalformedInfinityText", "0 1 +Inf\n", failure(106), 106},
      // Overflow on a store.
      {"RootTooLarge", "1e-300 1e10 1\n", failure(205), 205},
      {"CoefficientTooLarge", "1 -3 1e309\n", failure(205), 205},
      {"CoefficientTooLargeBeforeMalformed", "1e400 x 1\n", failure(205), 205},
      {"NegativeCoefficientTooLarge", "-1e309 1 1\n", failure(205), 205},
      {"CoefficientBeyondExtended", "1e5000 1 1\n", failure(205), 205},
      // Infinite coefficients (an exponent of 5120 or more reads as infinity).
      {"InfiniteTimesZero", "1e5120 0 0\n", failure(207), 207},
      {"InfinityMinusInfinityInRoot", "1 1e5120 1\n", failure(207), 207},
      {"InfinityMinusInfinityInDiscriminant", "1e5120 1e5120 1\n", failure(207), 207},
      {"InfinityOverInfinity", "0 1e5120 1e5120\n", failure(207), 207},
      {"InfiniteAOnlyNoRealRoots", "1e5120 1 1\n", resultLine("0"), 0},
      {"InfiniteBLinear", "0 1e5120 1\n", resultLine("1 -0.00"), 0},
      {"InfiniteCLinearNegative", "0 1 1e5120\n", resultLine("1 -Inf"), 0},
      {"InfiniteCLinearPositive", "0 -1 1e5120\n", resultLine("1 +Inf"), 0},
      {"NegativeInfinityCoefficient", "0 1 -1e9999\n", resultLine("1 +Inf"), 0},
      // A zero stays zero whatever its exponent.
      {"ZeroWithHugeExponent", "0e5120 2 -3\n", resultLine("1 1.50"), 0},
      {"NegativeZeroWithHugeExponent", "0 1 -0e9999\n", resultLine("1 0.00"), 0},
      {"InfiniteRoots", "1 0 -1e5120\n", resultLine("2 -Inf +Inf"), 0},
      {"InfiniteCDegenerate", "0 0 1e5120\n", resultLine("-1"), 0},
      // Underflow and denormal operands do not trap.
      {"CoefficientUnderflowsToZero", "1e-400 2 -3\n", resultLine("1 1.50"), 0},
      {"DenormalRoot", "0 1 -1e-320\n", resultLine("1 0.00"), 0},
      {"DenormalCoefficients", "0 1e-310 -1e-310\n", resultLine("1 1.00"), 0},
      {"DenormalQuadratic", "1e-310 0 -1e-310\n", resultLine("2 -1.00 1.00"), 0},
      // Large roots: the exponent form from 2^120 up, with a sign position.
      {"ExponentFormTwoRoots", "1 0 -1e80\n", resultLine("2 -1.0E+0040  1.0E+0040"), 0},
      {"ExponentFormPositive", "0 1 -2e36\n", resultLine("1  2.0E+0036"), 0},
      {"ExponentFormNegative", "0 1 2e36\n", resultLine("1 -2.0E+0036"), 0},
      {"ExponentFormAtTwoTo120", "0 " + twoToMinus60 + " -" + twoTo60 + "\n",
       resultLine("1  1.3E+0036"), 0},
      {"FixedFormBelowTwoTo120", "0 1 -" + belowTwoTo120 + "\n",
       resultLine("1 1329227995784915725000000000000000000.00"), 0},
      {"ExponentFormLarge", "0 1 -1e300\n", resultLine("1  1.0E+0300"), 0},
      {"ExponentFormLargeNegative", "0 1 1e308\n", resultLine("1 -1.0E+0308"), 0},
      {"FixedFormBeyondEighteenDigits", "0 1 -1e20\n", resultLine("1 100000000000000000000.00"), 0},
      // Decimal rounding of the roots: by the first dropped digit of an
      // 18-digit intermediate, ties away from zero, sign kept.
      {"RoundEighthUp", "0 1 -0.125\n", resultLine("1 0.13"), 0},
      {"RoundHalfCent", "0 1 -0.005\n", resultLine("1 0.01"), 0},
      {"RoundHeldBelowUp", "0 1 -0.015\n", resultLine("1 0.02"), 0},
      {"RoundHeldBelowUp2", "0 1 -0.045\n", resultLine("1 0.05"), 0},
      {"RoundHeldBelowDown", "0 1 -0.285\n", resultLine("1 0.28"), 0},
      {"RoundHeldBelowDown2", "0 1 -2.675\n", resultLine("1 2.67"), 0},
      {"RoundHeldBelowDown3", "0 1 -1.005\n", resultLine("1 1.00"), 0},
      {"RoundCarryIntoUnits", "0 1 -0.995\n", resultLine("1 1.00"), 0},
      {"RoundNoCarry", "0 1 -9.995\n", resultLine("1 9.99"), 0},
      {"RoundCarryGrowsHundreds", "0 1 -99.995\n", resultLine("1 100.00"), 0},
      {"RoundCarryGrowsThousands", "0 -1 999.995\n", resultLine("1 1000.00"), 0},
      {"RoundNegativeToZero", "0 1 0.001\n", resultLine("1 -0.00"), 0},
      {"RoundTinyNegativeToZero", "0 1 1e-300\n", resultLine("1 -0.00"), 0},
      {"RoundTinyPositiveToZero", "0 -1 1e-300\n", resultLine("1 0.00"), 0},
      {"RoundThroughDivision", "0 4 -0.5\n", resultLine("1 0.13"), 0},
      // The formula as it stands loses the smaller root's digits to
      // cancellation when b² is far larger than 4ac.
      {"CancellationLimit", "1 3e17 3e16\n", resultLine("2 -300000000000000000.00 -0.09"), 0},
      // Byte 26 ends the input; every other byte up to 32 separates numbers.
      {"Byte26AfterNumbers",
       "1 -3 2\x1a"
       "7 8\n",
       resultLine("2 1.00 2.00"), 0},
      {"Byte26EndsToken",
       "1 -3\x1a"
       "2\n",
       resultLine("2 0.00 3.00"), 0},
      {"Byte26First",
       "\x1a"
       "1 -3 2\n",
       resultLine("-1"), 0},
      {"ControlBytesSeparate", std::string("1\0-3\t2\f\n", 8), resultLine("2 1.00 2.00"), 0},
      {"MoreControlBytes",
       "\x01\x02 1\x0b-3\x1f"
       "2\r\n",
       resultLine("2 1.00 2.00"), 0},
      {"CarriageReturnsOnly", "1\r-3\r2\r", resultLine("2 1.00 2.00"), 0},
      {"DeleteIsTokenByte", "1 -3 2\x7f\n", failure(106), 106},
      {"HighByteIsTokenByte", "1 -3 \xe9\n", failure(106), 106},
  };
  return all;
}

struct Channels {
  Channel in;
  Channel out;
};

void PrintTo(const Channels& channels, std::ostream* os) {
  *os << channelName(channels.in) << " to " << channelName(channels.out);
}

class WholeRun : public testing::TestWithParam<std::tuple<Case, Channels>> {};

TEST_P(WholeRun, GivesExactBytesAndExitCode) {
  const auto& [testCase, channels] = GetParam();
  const RunResult result = runProgram(testCase.input, channels.in, channels.out);
  ASSERT_TRUE(result.exited) << "ended by signal " << result.signal;
  EXPECT_EQ(maskAddresses(result.output), testCase.output);
  EXPECT_EQ(result.exitCode, testCase.exitCode);
}

std::string wholeRunName(const testing::TestParamInfo<WholeRun::ParamType>& info) {
  const Case& testCase = std::get<0>(info.param);
  const Channels& channels = std::get<1>(info.param);
  return std::string(testCase.name) + "_" + channelName(channels.in) + "To" +
         channelName(channels.out);
}

INSTANTIATE_TEST_SUITE_P(Program, WholeRun,
                         testing::Combine(testing::ValuesIn(cases()),
                                          testing::Values(Channels{Channel::file, Channel::file},
                                                          Channels{Channel::pipe, Channel::pipe},
                                                          Channels{Channel::file,
                                                                   Channel::terminal})),
                         wholeRunName);

TEST(Masking, RejectsAddressesOfTheWrongForm) {
  EXPECT_EQ(maskAddresses("Runtime error 106 at 0040A1FF\r\n"), errorLine(106));
  EXPECT_NE(maskAddresses("Runtime error 106 at 0040a1ff\r\n"), errorLine(106));
  EXPECT_NE(maskAddresses("Runtime error 106 at 40A1FF\r\n"), errorLine(106));
}

// ---------------------------------------------------------------------------
// Failing standard handles and failed writes at shutdown.

// Standard input that never delivers anything and never ends (the program
// itself holds the only writer): a run that got as far as reading would hang
// until the time limit, so an exit with the code shows that the first
// statement's check raised it. A plain pipe: the support library's pipes
// close on exec, and this writer must stay open in the program.
void standardInputThatNeverEnds() {
  int ends[2];
  if (pipe(ends) != 0) _exit(126);
  dup2(ends[0], STDIN_FILENO);
  close(ends[0]);
}

// The function of the program's file whose code holds `address` (an error
// line's address: the low 32 bits of the address in the image, as the
// symbol table gives it): the code symbol that starts nearest below it, since
// a Windows program's table gives no sizes; empty when none does.
std::string functionContaining(std::uint32_t address) {
  FILE* pipe = popen("'" QUADSOLVE_NM "' -C --defined-only '" QUADSOLVE_PROGRAM_FILE "'", "r");
  if (pipe == nullptr) return "";
  std::string name;
  std::uint32_t nearest = 0;
  char line[2048];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    unsigned long long start = 0;
    char type = 0;
    int consumed = 0;
    if (std::sscanf(line, "%llx %c %n", &start, &type, &consumed) != 2) continue;
    const auto low = static_cast<std::uint32_t>(start & 0xFFFFFFFFu);
    if ((type == 't' || type == 'T') && low <= address && (name.empty() || low > nearest)) {
      nearest = low;
      name = line + consumed;
    }
  }
  pclose(pipe);
  return name;
}

// The discriminant is evaluated once: where its evaluation traps, the error
// names that evaluation, the first use; where the first root traps, the
// solver's own code.
TEST(Traps, AreReportedAtTheFirstEvaluationThatRaisesThem) {
  const struct {
    const char* input;
    int code;
    const char* function;
  } cases[] = {
      {"1e5120 1e5120 1\n", 207, "discriminantAndSign("},  // ∞ − ∞ in D
      {"1e5120 0 0\n", 207, "discriminantAndSign("},       // (4·∞)·0 in D
      {"-1e5120 1e5120 1\n", 207, "solveEquation("},       // D = +∞, √D + (−∞)
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    const RunResult result = runProgram(c.input, Channel::file, Channel::file);
    EXPECT_EQ(maskAddresses(result.output), failure(c.code));
    EXPECT_EQ(result.exitCode, c.code);
    const std::size_t at = result.output.rfind(" at ");
    ASSERT_NE(at, std::string::npos);
    const auto address =
        static_cast<std::uint32_t>(std::stoul(result.output.substr(at + 4, 8), nullptr, 16));
    EXPECT_NE(functionContaining(address - 1).find(c.function), std::string::npos)
        << functionContaining(address - 1);
  }
}

TEST(FailingOutput, ClosedStandardOutputIs105AtTheFirstLine) {
  const RunResult result = runProgram("", Channel::file, Channel::pipe, [] {
    standardInputThatNeverEnds();
    close(STDOUT_FILENO);
  });
  ASSERT_TRUE(result.exited) << "ended by signal " << result.signal;
  EXPECT_EQ(result.exitCode, 105);
  EXPECT_EQ(result.output, "");
}

TEST(FailingOutput, FullCharacterDeviceIs28AtTheFirstLine) {
  const RunResult result = runProgram("", Channel::file, Channel::pipe, [] {
    standardInputThatNeverEnds();
    const int fd = open("/dev/full", O_WRONLY);
    if (fd < 0) _exit(126);
    dup2(fd, STDOUT_FILENO);
    close(fd);
  });
  ASSERT_TRUE(result.exited) << "ended by signal " << result.signal;
  EXPECT_EQ(result.exitCode, 28);
}

// Output to a file or pipe is held until shutdown, so these failures are met
// only when the held result line is written out: they must still fail the run.
TEST(FailingOutput, FileSizeLimitAtShutdownIs27) {
  const RunResult result = runProgram("1 -3 2\n", Channel::file, Channel::file, [] {
    signal(SIGXFSZ, SIG_DFL);  // the program itself must keep it from ending the run
    const rlimit none{0, 0};
    setrlimit(RLIMIT_FSIZE, &none);
  });
  ASSERT_TRUE(result.exited) << "ended by signal " << result.signal;
  EXPECT_EQ(result.exitCode, 27);
  EXPECT_EQ(result.output, "");
}

TEST(FailingOutput, PipeWithoutReaderAtShutdownIs32) {
  const RunResult result = runProgram("1 -3 2\n", Channel::file, Channel::pipeWithoutReader);
  ASSERT_TRUE(result.exited) << "ended by signal " << result.signal;
  EXPECT_EQ(result.exitCode, 32);
}

TEST(FailingInput, ClosedStandardInputIs104AfterTheReads) {
  const RunResult result =
      runProgram("", Channel::file, Channel::pipe, [] { close(STDIN_FILENO); });
  ASSERT_TRUE(result.exited) << "ended by signal " << result.signal;
  EXPECT_EQ(maskAddresses(result.output), failure(104));
  EXPECT_EQ(result.exitCode, 104);
}

TEST(FailingInput, DirectoryAsStandardInputGivesTheSystemCode) {
  const RunResult result = runProgram("", Channel::file, Channel::pipe, [] {
    const int fd = open("/", O_RDONLY | O_DIRECTORY);
    dup2(fd, STDIN_FILENO);
    close(fd);
  });
  ASSERT_TRUE(result.exited) << "ended by signal " << result.signal;
  EXPECT_EQ(maskAddresses(result.output), failure(EISDIR));
  EXPECT_EQ(result.exitCode, EISDIR);
}

// The code of a read from a socket reset by its peer: ECONNRESET, or the one
// that the Windows programs get under wine (tests/cross).
#ifndef QUADSOLVE_RESET_CODE
#define QUADSOLVE_RESET_CODE ECONNRESET
#endif
constexpr int resetCode = QUADSOLVE_RESET_CODE;

// A reset is no end of the input: the line that it cut is not answered as
// if whole, and the read's code ends the program; a token that it cut (in a
// sign, an exponent, digits) is no malformed number of a record. quadsolve
// reports the last failure of its statement: the cut token's 106.
TEST(FailingInput, SocketResetByItsPeerIsAFailedRead) {
  const std::string reset = errorLine(resetCode);
  const struct {
    const char* path;
    const char* input;
    std::string output;
    int exitCode = resetCode;
    std::vector<std::string> arguments = {};
  } cases[] = {
      {programPath, "1 -3", failure(resetCode)},
      {programPath, "0 2 -", failure(106), 106},
      {programPath, "0 2 1e", failure(106), 106},
      {QUADSOLVE_BATCH_PROGRAM, "1 -3 2\n1 2 1\n1 -3", "2 1.00 2.00\r\n3 -1.00\r\n" + reset},
      {QUADSOLVE_BATCH_PROGRAM, "1 -3 2\n0 2 -", "2 1.00 2.00\r\n" + reset},
      {QUADSOLVE_BATCH_PROGRAM, "0 2 1e", reset, resetCode, {"--exit-zero"}},
      {QUADSOLVE_BATCH_PROGRAM, "x\n0 2 -3", errorLine(106) + reset, resetCode, {"--exit-zero"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    const RunResult result =
        runProgram(c.input, Channel::resetSocket, Channel::pipe, {}, c.arguments, c.path);
    ASSERT_TRUE(result.exited) << c.path << " ended by signal " << result.signal;
    EXPECT_EQ(maskAddresses(result.output), c.output) << c.path;
    EXPECT_EQ(result.exitCode, c.exitCode) << c.path;
  }
}

TEST(Arguments, AreIgnored) {
  const RunResult result =
      runProgram("1 -3 2\n", Channel::pipe, Channel::pipe, {}, {"--help", "-v", "3"});
  ASSERT_TRUE(result.exited);
  EXPECT_EQ(result.output, resultLine("2 1.00 2.00"));
  EXPECT_EQ(result.exitCode, 0);
}

// ---------------------------------------------------------------------------
// A pseudo-terminal in raw mode for both standard handles: what the program
// writes must be there before it waits for the next input.

constexpr int settleMs = 150;

// The program running on a terminal (both standard handles), or with a pipe
// that stays open as standard input and the terminal as standard output.
class TerminalSession {
 public:
  enum class Input { terminal, openPipe };
  explicit TerminalSession(Input input = Input::terminal)
      : terminal_(testing_support::makeTerminal()) {
    const int slave = terminal_.slave.get();
    if (input == Input::terminal) {
      child_ = startProgram(slave, slave, {terminal_.master.get()});
    } else {
      inputPipe_ = testing_support::makePipe();
      child_ = startProgram(inputPipe_.readEnd.get(), slave,
                            {terminal_.master.get(), inputPipe_.writeEnd.get()}, [] {
                              const rlimit noCore{0, 0};
                              setrlimit(RLIMIT_CORE, &noCore);
                            });
      inputPipe_.readEnd.reset();
    }
    // The slave stays open here until the program has ended (finish).
  }
  ~TerminalSession() {
    if (child_ > 0 && !ended_) {
      kill(child_, SIGKILL);
      testing_support::waitForChild(child_);
    }
  }
  TerminalSession(const TerminalSession&) = delete;
  TerminalSession& operator=(const TerminalSession&) = delete;

  pid_t child() const { return child_; }
  void type(const std::string& text) { testing_support::writeAll(terminal_.master.get(), text); }
  void pipeInput(const std::string& text) {
    testing_support::writeAll(inputPipe_.writeEnd.get(), text);
  }
  void closeTerminal() { terminal_.master.reset(); }

  // Everything written until `count` bytes have arrived or the program has
  // been silent for the wait limit.
  std::string awaitOutput(std::size_t count) {
    return testing_support::readAvailable(terminal_.master.get(), waitLimitMs, count);
  }
  // Whatever arrives within the settle time (nothing, when the program waits).
  std::string quietOutput() {
    return testing_support::readAvailable(terminal_.master.get(), settleMs);
  }

  bool running() {
    if (!ended_ && waitpid(child_, &status_, WNOHANG) == child_) ended_ = true;
    return !ended_;
  }

  // Waits for the end; the output is what is left to read.
  RunResult finish() {
    if (!ended_) status_ = testing_support::waitForChild(child_, waitLimitMs);
    ended_ = true;
    const std::string rest =
        terminal_.master.get() >= 0 ? testing_support::drainTerminal(terminal_) : std::string();
    return decodeStatus(status_, rest);
  }

 private:
  testing_support::Terminal terminal_;
  testing_support::Pipe inputPipe_;
  pid_t child_ = -1;
  bool ended_ = false;
  int status_ = 0;
};

TEST(Terminal, EachLineAppearsBeforeTheNextInputIsRead) {
  TerminalSession session;
  EXPECT_EQ(session.awaitOutput(2), "\r\n");  // before any input
  EXPECT_EQ(session.quietOutput(), "");
  EXPECT_TRUE(session.running());

  session.type("1 -3 2\n");
  EXPECT_EQ(session.awaitOutput(13), "2 1.00 2.00\r\n");
  EXPECT_EQ(session.quietOutput(), "");
  EXPECT_TRUE(session.running());  // waits for the final line

  session.type("\n");
  const RunResult result = session.finish();
  EXPECT_EQ(result.output, "");
  EXPECT_TRUE(result.exited);
  EXPECT_EQ(result.exitCode, 0);
}

TEST(Terminal, NumbersOnThreeLinesThenAFinalLine) {
  TerminalSession session;
  EXPECT_EQ(session.awaitOutput(2), "\r\n");
  session.type("1\n");
  session.type("-3\n");
  EXPECT_EQ(session.quietOutput(), "");
  session.type("2\n");
  EXPECT_EQ(session.awaitOutput(13), "2 1.00 2.00\r\n");
  EXPECT_TRUE(session.running());
  session.type("anything at all\n");
  const RunResult result = session.finish();
  EXPECT_EQ(result.output, "");
  EXPECT_EQ(result.exitCode, 0);
}

TEST(Terminal, MalformedNumberIsReportedOnlyAfterTheLineIsRead) {
  TerminalSession session;
  EXPECT_EQ(session.awaitOutput(2), "\r\n");
  session.type("x 1\n");  // the third coefficient is still to come
  EXPECT_EQ(session.quietOutput(), "");
  EXPECT_TRUE(session.running());
  session.type("2 and the rest of the line\n");
  const std::string expected = errorLine(106);
  EXPECT_EQ(maskAddresses(session.awaitOutput(expected.size())), expected);
  const RunResult result = session.finish();
  EXPECT_EQ(result.exitCode, 106);
}

TEST(Terminal, CoefficientTooLargeFailsRightAfterItsRead) {
  TerminalSession session;
  EXPECT_EQ(session.awaitOutput(2), "\r\n");
  session.type("1e400\n");  // b and c never come
  const std::string expected = errorLine(205);
  EXPECT_EQ(maskAddresses(session.awaitOutput(expected.size())), expected);
  const RunResult result = session.finish();
  EXPECT_EQ(result.exitCode, 205);
}

TEST(Terminal, Byte26IsTheEndOfInput) {
  TerminalSession session;
  EXPECT_EQ(session.awaitOutput(2), "\r\n");
  session.type("1 -3\x1a");
  EXPECT_EQ(session.awaitOutput(13), "2 0.00 3.00\r\n");
  const RunResult result = session.finish();  // the final line meets the end too
  EXPECT_EQ(result.exitCode, 0);
}

// Typed on a terminal, read from a pipe: output for a pipe is held and goes
// out in one piece when the program ends.
TEST(Terminal, OutputToAPipeIsHeldUntilTheEnd) {
  testing_support::Terminal terminal = testing_support::makeTerminal();
  testing_support::Pipe output = testing_support::makePipe();
  const pid_t child = startProgram(terminal.slave.get(), output.writeEnd.get(),
                                   {terminal.master.get(), output.readEnd.get()});
  terminal.slave.reset();
  output.writeEnd.reset();
  EXPECT_EQ(testing_support::readAvailable(output.readEnd.get(), settleMs), "");
  testing_support::writeAll(terminal.master.get(), "1 -3 2\n");
  EXPECT_EQ(testing_support::readAvailable(output.readEnd.get(), settleMs), "");
  testing_support::writeAll(terminal.master.get(), "\n");
  const std::string bytes = testing_support::readToEnd(output.readEnd.get());
  const RunResult result = decodeStatus(testing_support::waitForChild(child, waitLimitMs), bytes);
  EXPECT_EQ(result.output, resultLine("2 1.00 2.00"));
  EXPECT_TRUE(result.exited);
  EXPECT_EQ(result.exitCode, 0);
}

// ---------------------------------------------------------------------------
// Standard input a pipe that stays open, standard output a raw terminal: the
// empty line shows that the program is running and waits for its input.

// The number of threads of process `pid`, from /proc/<pid>/status.
int threadCount(pid_t pid) {
  const std::string path = "/proc/" + std::to_string(pid) + "/status";
  const testing_support::Descriptor status(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  const std::string text = testing_support::fileContents(status.get());
  const std::size_t field = text.find("\nThreads:");
  return field == std::string::npos ? 0 : std::atoi(text.c_str() + field + 9);
}

// Sends `signal` to a running program as another process does. A process of
// one thread gets it from kill(). An emulator runs the program beside helper
// threads of its own, which qemu-user leaves open to SIGFPE and SIGILL and
// which crash when one arrives there: the signal goes to the thread that runs
// the program (the process's first thread, whose id is the process id).
void sendFromOutside(pid_t program, int signal) {
  if (threadCount(program) == 1) {
    kill(program, signal);
  } else {
    syscall(SYS_tgkill, program, program, signal);
  }
}

// A fault signal sent by another process is no processor exception: the
// program ends by it, as any program does, and writes no run-time error.
TEST(OutsideSignals, EndTheProgramByTheSignalWithoutAMessage) {
  for (const int sent : {SIGSEGV, SIGFPE, SIGBUS, SIGILL}) {
    SCOPED_TRACE(sent);
    TerminalSession program(TerminalSession::Input::openPipe);
    EXPECT_EQ(program.awaitOutput(2), "\r\n");
    sendFromOutside(program.child(), sent);
    const RunResult result = program.finish();
    EXPECT_FALSE(result.exited) << "exit code " << result.exitCode;
    EXPECT_EQ(result.signal, sent);
    EXPECT_EQ(result.output.find("Runtime error"), std::string::npos) << result.output;
  }
}

// The result line cannot be written once the terminal has gone: the statement
// that writes it fails at once with the write's code (EIO), rather than the
// program waiting for a final line that may never come.
TEST(FailingOutput, TerminalGoneBeforeTheResultLineFailsAtOnce) {
  TerminalSession program(TerminalSession::Input::openPipe);
  EXPECT_EQ(program.awaitOutput(2), "\r\n");
  program.closeTerminal();
  program.pipeInput("1 -3 2\n");
  const RunResult result = program.finish();
  ASSERT_TRUE(result.exited) << "ended by signal " << result.signal;
  EXPECT_EQ(result.exitCode, EIO);
}

// ---------------------------------------------------------------------------
// The program as loaded, read from /proc/<pid>/maps while it waits for its
// input.

// The program is started through a script that runs it under an emulator
// (qemu, wine) rather than directly.
bool programsUnderEmulator() {
  return std::string(QUADSOLVE_PROGRAM) != QUADSOLVE_PROGRAM_FILE;
}

struct Mapping {
  std::uintptr_t first = 0;
  std::uintptr_t end = 0;
  std::string permissions;
  std::uintptr_t offset = 0;
};

// The mappings of `file` in process `pid`, in address order.
std::vector<Mapping> mappingsOf(pid_t pid, const std::string& file) {
  std::vector<Mapping> mappings;
  std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
  std::string line;
  while (std::getline(maps, line)) {
    std::istringstream fields(line);
    std::string range, permissions, offset, device, inode, path;
    fields >> range >> permissions >> offset >> device >> inode >> path;
    if (path != file) continue;
    Mapping mapping;
    mapping.first = std::stoull(range.substr(0, range.find('-')), nullptr, 16);
    mapping.end = std::stoull(range.substr(range.find('-') + 1), nullptr, 16);
    mapping.permissions = permissions;
    mapping.offset = std::stoull(offset, nullptr, 16);
    mappings.push_back(mapping);
  }
  return mappings;
}

// Where the relocated data (PT_GNU_RELRO) lies, relative to the start of the
// image, from the program's file; 0 when it has none.
std::uintptr_t relocatedDataOffset(const std::string& file) {
#if UINTPTR_MAX > 0xFFFFFFFFu
  using Header = Elf64_Ehdr;
  using Segment = Elf64_Phdr;
#else
  using Header = Elf32_Ehdr;
  using Segment = Elf32_Phdr;
#endif
  std::ifstream in(file, std::ios::binary);
  Header header{};
  in.read(reinterpret_cast<char*>(&header), sizeof header);
  for (int index = 0; in && index < header.e_phnum; ++index) {
    Segment segment{};
    in.seekg(static_cast<std::streamoff>(header.e_phoff + index * sizeof segment));
    in.read(reinterpret_cast<char*>(&segment), sizeof segment);
    if (in && segment.p_type == PT_GNU_RELRO) return segment.p_vaddr;
  }
  return 0;
}

// Two runs at the same time load at two addresses, and in each the data
// relocated at load is read-only by the time the program reads its input.
// The address is the loader's choice: qemu's user-mode emulator, which runs
// the cross builds' programs, loads a program without an interpreter at one
// fixed address, so there only the read-only data is checked (the program
// image test checks on every build that the program can load anywhere).
TEST(LoadedProgram, EachRunLoadsAtAnotherAddressWithItsRelocatedDataReadOnly) {
  char resolved[PATH_MAX];
  ASSERT_NE(realpath(QUADSOLVE_PROGRAM_FILE, resolved), nullptr);
  const std::string file = resolved;
  const std::uintptr_t relocatedData = relocatedDataOffset(file);
  ASSERT_NE(relocatedData, 0u) << "no PT_GNU_RELRO segment";

  TerminalSession first(TerminalSession::Input::openPipe);
  TerminalSession second(TerminalSession::Input::openPipe);
  std::uintptr_t bases[2] = {};
  for (int index = 0; index < 2; ++index) {
    TerminalSession& run = index == 0 ? first : second;
    SCOPED_TRACE(index);
    EXPECT_EQ(run.awaitOutput(2), "\r\n");
    const std::vector<Mapping> mappings = mappingsOf(run.child(), file);
    ASSERT_FALSE(mappings.empty()) << "the program's file is not mapped";
    bases[index] = mappings.front().first - mappings.front().offset;
    bool found = false;
    for (const Mapping& mapping : mappings) {
      const std::uintptr_t place = bases[index] + relocatedData;
      if (place < mapping.first || place >= mapping.end) continue;
      found = true;
      EXPECT_EQ(mapping.permissions.substr(0, 3), "r--")
          << "relocated data at " << std::hex << place;
    }
    EXPECT_TRUE(found) << "no mapping holds the relocated data";
  }
  if (!programsUnderEmulator()) {
    EXPECT_NE(bases[0], bases[1]) << "both runs at " << std::hex << bases[0];
  }
  for (TerminalSession* run : {&first, &second}) {
    run->pipeInput("1 -3 2\n\n");
    const RunResult result = run->finish();
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output, "2 1.00 2.00\r\n");
  }
}

// ---------------------------------------------------------------------------
// A seeded sweep (CTest label long): equations a(x - r1)(x - r2) + a·k with
// integer a and roots on a grid of quarters. Every coefficient is a short exact
// decimal, every step of the formula is exact, so the expected line follows
// from the construction alone: the code, and the roots smaller first with
// exactly two decimals. A zero root carries the sign of a, since it is a
// difference of equal values (+0) divided by 2·a.

// n / 16 as an exact decimal text: "-12.0625", "0", "3".
std::string sixteenths(std::int64_t n) {
  if (n == 0) return "0";
  std::string text = n < 0 ? "-" : "";
  const std::int64_t magnitude = n < 0 ? -n : n;
  text += std::to_string(magnitude / 16);
  if (const std::int64_t fraction = magnitude % 16; fraction != 0) {
    std::string digits = std::to_string(fraction * 625);
    digits.insert(0, 4 - digits.size(), '0');
    text += "." + digits;
  }
  return text;
}

// A root q / 4 with two decimals, a zero carrying the sign `negativeZero`.
std::string quarterRoot(std::int64_t q, bool negativeZero) {
  static const char* const quarterDecimals[] = {"00", "25", "50", "75"};
  const std::int64_t magnitude = q < 0 ? -q : q;
  const std::string sign = (q < 0 || (q == 0 && negativeZero)) ? "-" : "";
  return sign + std::to_string(magnitude / 4) + "." + quarterDecimals[magnitude % 4];
}

TEST(Sweep, ExactEquationsGiveTheirConstructedLines) {
  const auto equationCount = static_cast<int>(longsweep::cases(1500));
  std::mt19937 random(20261207);
  std::uniform_int_distribution<int> coefficient(1, 9);
  std::uniform_int_distribution<int> quarter(-160, 160);
  std::uniform_int_distribution<int> kind(0, 3);
  for (int i = 0; i < equationCount; ++i) {
    const std::int64_t a = coefficient(random) * (random() % 2 == 0 ? 1 : -1);
    // Every eighth equation has a zero root, whose sign the line shows.
    std::int64_t q1 = i % 8 == 0 ? 0 : quarter(random);
    std::int64_t q2 = quarter(random);
    const int shape = kind(random);  // 0, 1: two roots; 2: double root; 3: none
    if (shape >= 2 || q1 == q2) q2 = q1;
    const std::int64_t k = shape == 3 ? coefficient(random) : 0;
    // In sixteenths: b = -a(r1 + r2), c = a·r1·r2 + a·k.
    const std::int64_t b16 = -a * (q1 + q2) * 4;
    const std::int64_t c16 = a * q1 * q2 + a * k * 16;
    const std::string input =
        std::to_string(a) + " " + sixteenths(b16) + " " + sixteenths(c16) + "\n";
    std::string line;
    if (k != 0) {
      line = "0";
    } else if (q1 == q2) {
      line = "3 " + quarterRoot(q1, a < 0);
    } else {
      line =
          "2 " + quarterRoot(std::min(q1, q2), a < 0) + " " + quarterRoot(std::max(q1, q2), a < 0);
    }
    const RunResult result = runProgram(input, Channel::pipe, Channel::pipe);
    ASSERT_EQ(result.output, resultLine(line)) << "input: " << input;
    ASSERT_EQ(result.exitCode, 0) << "input: " << input;
  }
}

TEST(Sweep, TextsOfTheConstruction) {
  EXPECT_EQ(sixteenths(0), "0");
  EXPECT_EQ(sixteenths(-193), "-12.0625");
  EXPECT_EQ(sixteenths(48), "3");
  EXPECT_EQ(sixteenths(8), "0.5000");
  EXPECT_EQ(quarterRoot(-5, false), "-1.25");
  EXPECT_EQ(quarterRoot(8, false), "2.00");
  EXPECT_EQ(quarterRoot(2, false), "0.50");
  EXPECT_EQ(quarterRoot(0, true), "-0.00");
  EXPECT_EQ(quarterRoot(0, false), "0.00");
}

// ---------------------------------------------------------------------------
// quadsolve-batch: one run over many records gives, record by record, the
// bytes that quadsolve gives for each record alone, and the exit code of the
// first record that ended in an error.

const char* const batchProgramPath = QUADSOLVE_BATCH_PROGRAM;

// Seeded records: every outcome, every error code that input can cause (106
// for a malformed or over-long token, 205 for a value or root beyond the
// double range, 207 for infinities that meet), CR before the line feed, NUL
// and other blanks, byte 26, empty lines, fewer and more than three numbers,
// and two lines longer than a 64 KiB block of input.
std::vector<std::string> generatedRecords(int count) {
  std::mt19937 random(20261207);
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  auto digits = [&](int n) {
    std::string text;
    for (int index = 0; index < n; ++index) text += static_cast<char>('0' + pick(10));
    return text;
  };
  static const char* const special[] = {"x",       "1x",    "--1",    ".",    "1e", "-0",  "1e5000",
                                        "-3e5150", "1e400", "1e-400", "0e99", "+",  "1,5", "\xe9"};
  auto number = [&]() -> std::string {
    const int kind = pick(100);
    const std::string sign = pick(4) == 0 ? "-" : "";
    if (kind < 35) return sign + std::to_string(pick(25) - 12);
    if (kind < 60) return sign + std::to_string(pick(1000)) + "." + digits(1 + pick(6));
    if (kind < 75) return sign + digits(1) + "e" + std::to_string(pick(700) - 350);
    if (kind < 82) return sign + digits(15 + pick(80));  // past 18 and 64 digits
    if (kind < 92) return special[pick(sizeof special / sizeof special[0])];
    return sign + "1" + digits(pick(3)) + "e" + std::to_string(pick(7) - 3);
  };
  const std::string separators[] = {" ", " ", " ", "\t", "  ", std::string(1, '\0'), "\x0c", "\r"};
  std::vector<std::string> records;
  for (int index = 0; index < count; ++index) {
    const int shape = pick(100);
    const int tokens = shape < 5 ? pick(3) : shape < 10 ? 4 + pick(2) : 3;
    std::string record;
    for (int token = 0; token < tokens; ++token) {
      record += number();
      record += separators[pick(sizeof separators / sizeof separators[0])];
    }
    const int ending = pick(100);
    if (ending < 5) record += std::string(1, '\0') + "1";
    if (ending >= 5 && ending < 12) record += "\x1a" + number();  // byte 26 ends the input
    if (ending >= 12 && ending < 20) record += "\r";
    if (ending >= 20 && ending < 24) record.clear();  // an empty line
    records.push_back(record);
  }
  records.push_back(std::string(70000, ' ') + "1 -3 2");
  records.push_back(digits(100000) + " 1 1");
  return records;
}

// What quadsolve writes for `record` alone, after its empty line.
RunResult oneShot(const std::string& record) {
  RunResult result = runProgram(record + "\n", Channel::file, Channel::file);
  if (result.output.compare(0, 2, "\r\n") == 0) result.output.erase(0, 2);
  return result;
}

std::string joinedRecords(const std::vector<std::string>& records, bool finalLineFeed) {
  std::string input;
  for (const std::string& record : records) input += record + "\n";
  if (!finalLineFeed && !input.empty()) input.pop_back();
  return input;
}

std::vector<std::string> outputLines(const std::string& output) {
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < output.size();) {
    const std::size_t end = output.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(output.substr(start));
      break;
    }
    lines.push_back(output.substr(start, end + 2 - start));
    start = end + 2;
  }
  return lines;
}

TEST(Batch, EveryRecordGivesTheBytesOfQuadsolveForItAlone) {
  // Under an emulator every run of quadsolve costs tens of milliseconds.
  const std::vector<std::string> records = generatedRecords(programsUnderEmulator() ? 150 : 2000);
  std::string expected;
  int expectedExit = 0;
  for (const std::string& record : records) {
    const RunResult single = oneShot(record);
    ASSERT_TRUE(single.exited);
    expected += maskAddresses(single.output);
    if (expectedExit == 0) expectedExit = single.exitCode;
  }
  // The last line without its line feed, as a file may end.
  const RunResult batch = runProgram(joinedRecords(records, false), Channel::file, Channel::pipe,
                                     {}, {}, batchProgramPath);
  ASSERT_TRUE(batch.exited) << "signal " << batch.signal;
  EXPECT_EQ(batch.exitCode, expectedExit);
  EXPECT_EQ(outputLines(batch.output).size(), records.size());
  const std::vector<std::string> got = outputLines(maskAddresses(batch.output));
  const std::vector<std::string> want = outputLines(expected);
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t index = 0; index < got.size(); ++index) {
    ASSERT_EQ(got[index], want[index])
        << "record " << index << ": " << records[index].substr(0, 80);
  }
}

// No record's bytes depend on the records before it: the records in another
// order give the same lines in that order, addresses and all.
TEST(Batch, ShuffledRecordsGiveTheirOwnLines) {
  const std::vector<std::string> records = generatedRecords(400);
  const RunResult inOrder = runProgram(joinedRecords(records, true), Channel::file, Channel::file,
                                       {}, {}, batchProgramPath);
  std::vector<std::size_t> order(records.size());
  for (std::size_t index = 0; index < order.size(); ++index) order[index] = index;
  std::shuffle(order.begin(), order.end(), std::mt19937(7));
  std::vector<std::string> shuffled;
  for (const std::size_t index : order) shuffled.push_back(records[index]);
  const RunResult reordered = runProgram(joinedRecords(shuffled, true), Channel::file,
                                         Channel::file, {}, {}, batchProgramPath);
  const std::vector<std::string> lines = outputLines(inOrder.output);
  const std::vector<std::string> reorderedLines = outputLines(reordered.output);
  ASSERT_EQ(lines.size(), records.size());
  ASSERT_EQ(reorderedLines.size(), records.size());
  for (std::size_t index = 0; index < order.size(); ++index) {
    ASSERT_EQ(reorderedLines[index], lines[order[index]]) << "record " << order[index];
  }
}

TEST(Batch, ExitCodeIsThatOfTheFirstRecordThatFailed) {
  const struct {
    const char* input;
    const char* output;  // addresses masked
    int exitCode;
  } cases[] = {
      {"", "", 0},
      {"1 -3 2\n\n", "2 1.00 2.00\r\n-1\r\n", 0},
      {"1 -3 2\nx 1 2\n1e5000 1 1\n",
       "2 1.00 2.00\r\nRuntime error 106 at XXXXXXXX\r\n"
       "Runtime error 205 at XXXXXXXX\r\n",
       106},
      {"1e5000 1 1\nx\n0 0 0",
       "Runtime error 205 at XXXXXXXX\r\nRuntime error 106 at XXXXXXXX\r\n"
       "-1\r\n",
       205},
      {"1e99999 -1e99999 0\n", "Runtime error 207 at XXXXXXXX\r\n", 207},
      // UTF-16 text is refused before any line of it; bytes alike elsewhere
      // are records.
      {"\xff\xfe 1 -3 2\n", "", 65},
      {"\xfe\xff", "", 65},
      {"\xfe\n\xff\xfe\n", "Runtime error 106 at XXXXXXXX\r\nRuntime error 106 at XXXXXXXX\r\n",
       106},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    const RunResult result =
        runProgram(c.input, Channel::file, Channel::pipe, {}, {}, batchProgramPath);
    ASSERT_TRUE(result.exited) << "signal " << result.signal;
    EXPECT_EQ(maskAddresses(result.output), c.output);
    EXPECT_EQ(result.exitCode, c.exitCode);
  }
}

// A batch run in the folder `folder` with `arguments`, standard input from
// a file holding `input`; what it writes on standard error in `errors`.
RunResult runBatch(const std::string& input, const std::vector<std::string>& arguments,
                   const std::string& folder, std::string& errors, const ChildSetup& setup = {},
                   Channel out = Channel::pipe, const char* program = batchProgramPath) {
  testing_support::Descriptor errorFile = testing_support::temporaryFile();
  const int errorFd = errorFile.get();
  RunResult result = runProgram(
      input, Channel::file, out,
      [&] {
        dup2(errorFd, STDERR_FILENO);
        if (chdir(folder.c_str()) != 0) _exit(126);
        if (setup) setup();
      },
      arguments, program);
  errors = testing_support::fileContents(errorFd);
  return result;
}

// The command line: options, FILEs read in order as one input (a file's last
// line ends its record), "-" for standard input, and a FILE that cannot be
// read ending the program after the lines before it, with the system's code
// and its reason on standard error.
TEST(Batch, CommandLineOptionsAndFiles) {
  const std::string folder = testing_support::temporaryFolder();
  const auto put = [&](const char* name, const std::string& contents, mode_t mode) {
    const std::string path = folder + "/" + name;
    std::ofstream(path, std::ios::binary) << contents;
    chmod(path.c_str(), mode);
  };
  put("a", "1 -3 2\n1 2 1", 0644);  // no line feed at its end
  put("b", "x 1 2\n", 0644);
  put("-x", "0 0 5\n", 0644);
  put("locked", "1 1 1\n", 0);
  put("le", std::string{'\xff', '\xfe', '1', '\0', '\n', '\0'}, 0644);
  put("be", std::string{'\xfe', '\xff', '\0', '1', '\0', '\n'}, 0644);
  mkdir((folder + "/sub").c_str(), 0755);
  chmod(folder.c_str(), 0755);
  // Root reads any file: the permission's case drops to another user, and
  // runs a copy of the program in the folder, which that user reaches
  // wherever the build is (a clone in /root, say).
  const ChildSetup unprivileged = [] {
    if (geteuid() == 0 && setuid(65534) != 0) _exit(126);
  };
  const std::string reachableCopy = folder + "/quadsolve-batch";
  std::filesystem::copy_file(batchProgramPath, reachableCopy);
  const std::string linesOfA = "2 1.00 2.00\r\n3 -1.00\r\n";
  const std::string cannotOpen = "quadsolve-batch: cannot open ";
  const std::string missing = ": No such file or directory (2)\r\n";
  const std::string usage = "Usage: quadsolve-batch [--exit-zero] [--] [FILE]...";
  const std::string version = "quadsolve-batch " QUADSOLVE_VERSION "\r\n";
  const auto refusal = [](const std::string& source, const char* text) {
    return "quadsolve-batch: cannot read " + source + ": it is " + text +
           "; save it as ANSI or UTF-8, or convert it: Get-Content FILE | Set-Content -Encoding "
           "ASCII NEWFILE in PowerShell, iconv -f UTF-16 -t UTF-8 FILE > NEWFILE elsewhere\r\n";
  };
  const char* const le = "UTF-16LE text (byte-order mark FF FE)";
  const struct {
    std::vector<std::string> arguments;
    std::string input;
    std::string output;  // addresses masked; with "..." at its end, a prefix
    std::string errors;
    int exitCode;
    bool unprivileged = false;
  } cases[] = {
      {{}, "1 -3 2\n", "2 1.00 2.00\r\n", "", 0},
      {{"-"}, "1 -3 2", "2 1.00 2.00\r\n", "", 0},
      {{"--version"}, "1 1 1\n", version, "", 0},
      {{"a", "--version", "-y"}, "", version, "", 0},
      {{"-h"}, "", usage + "\r\n...", "", 0},
      {{"b", "--help"}, "", usage + "\r\n...", "", 0},
      {{"a", "/?"}, "", usage + "\r\n...", "", 0},
      {{"--", "/?"},
       "",
       errorLine(ENOENT),
       "quadsolve-batch: cannot open /?: No such file or directory (2)\r\n",
       ENOENT},
      {{"le"}, "", "", refusal("le", le), 65},
      {{"a", "be", "a"}, "", linesOfA, refusal("be", "UTF-16BE text (byte-order mark FE FF)"), 65},
      {{"--exit-zero", "a", "-"}, "\xff\xfe\n", linesOfA, refusal("standard input", le), 65},
      {{"-y", "--help"}, "", "", "quadsolve-batch: unknown option -y; " + usage + "\r\n", 2},
      {{"--exit-zeros"},
       "",
       "",
       "quadsolve-batch: unknown option --exit-zeros; " + usage + "\r\n",
       2},
      {{"a", "b"}, "", linesOfA + errorLine(106), "", 106},
      {{"a", "-", "a"}, "0 0 5\n", linesOfA + "-1\r\n" + linesOfA, "", 0},
      {{"--", "-x", "-"}, "1 -3 2\n", "-1\r\n2 1.00 2.00\r\n", "", 0},
      {{"--exit-zero", "b", "a"}, "", errorLine(106) + linesOfA, "", 0},
      {{"b", "--exit-zero"}, "", errorLine(106), "", 0},
      {{"a", "missing", "b"},
       "",
       linesOfA + errorLine(ENOENT),
       "quadsolve-batch: cannot open missing: No such file or directory (2)\r\n",
       ENOENT},
      {{"--exit-zero", "a", "sub"},
       "",
       linesOfA + errorLine(EISDIR),
       "quadsolve-batch: cannot read sub: Is a directory (21)\r\n",
       EISDIR},
      // Names that are no plain text are quoted as one inert line; a long
      // one is shortened, so that the reason still follows.
      {{"a", "no\nsuch"},
       "",
       linesOfA + errorLine(ENOENT),
       cannotOpen + "'no'$'\\n''such'" + missing,
       ENOENT},
      {{"\x1b[2Jit's\tcaf\xc3\xa9\xff"},
       "",
       errorLine(ENOENT),
       cannotOpen + "''$'\\033''[2Jit'\\''s'$'\\t''caf\xc3\xa9'$'\\377'" + missing,
       ENOENT},
      {{std::string(5000, 'a')},
       "",
       errorLine(ENAMETOOLONG),
       cannotOpen + std::string(254, 'a') + "..." + std::string(254, 'a') +
           ": File name too long (36)\r\n",
       ENAMETOOLONG},
      {{"a", "locked"},
       "",
       linesOfA + errorLine(EACCES),
       "quadsolve-batch: cannot open locked: Permission denied (13)\r\n",
       EACCES,
       true},
  };
  for (const auto& c : cases) {
    std::string trace;
    for (const std::string& argument : c.arguments) trace += argument + " ";
    SCOPED_TRACE(trace);
    std::string errors;
    const RunResult result = c.unprivileged
                                 ? runBatch(c.input, c.arguments, folder, errors, unprivileged,
                                            Channel::pipe, reachableCopy.c_str())
                                 : runBatch(c.input, c.arguments, folder, errors);
    ASSERT_TRUE(result.exited) << "signal " << result.signal;
    const std::string output = maskAddresses(result.output);
    if (c.output.ends_with("...")) {
      EXPECT_TRUE(output.starts_with(c.output.substr(0, c.output.size() - 3))) << output;
    } else {
      EXPECT_EQ(output, c.output);
    }
    EXPECT_EQ(errors, c.errors);
    EXPECT_EQ(result.exitCode, c.exitCode);
  }
  std::filesystem::remove_all(folder);
}

// What no record can absorb ends the program as it ends quadsolve, after the
// output of the records before it, with --exit-zero too, and says on
// standard error what failed; the error line itself is lost with the output.
// A reader that has gone (a pipe into head) is no failure worth a word.
TEST(Batch, FailedOutputEndsTheProgramWithItsCode) {
  const std::string folder = testing_support::temporaryFolder();
  const auto toFull = [] {
    const int fd = open("/dev/full", O_WRONLY);
    if (fd < 0) _exit(126);
    dup2(fd, STDOUT_FILENO);
    close(fd);
  };
  const struct {
    ChildSetup setup;
    Channel out;
    int exitCode;
    std::string errors;
  } cases[] = {
      {[] { close(STDOUT_FILENO); }, Channel::pipe, 105,
       "quadsolve-batch: standard output is not open (105)\r\n"},
      {[] { close(STDIN_FILENO); }, Channel::pipe, 104,
       "quadsolve-batch: standard input is not open (104)\r\n"},
      {toFull, Channel::pipe, ENOSPC,
       "quadsolve-batch: cannot write standard output: No space left on device (28)\r\n"},
      {{}, Channel::pipeWithoutReader, EPIPE, ""},
  };
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{}, std::vector<std::string>{"--exit-zero"}}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(c.errors);
      std::string errors;
      const RunResult run =
          runBatch("1 -3 2\nx\n1 2 1\n", arguments, folder, errors, c.setup, c.out);
      ASSERT_TRUE(run.exited) << "signal " << run.signal;
      EXPECT_EQ(run.exitCode, c.exitCode);
      EXPECT_EQ(errors, c.errors);
    }
  }
  std::filesystem::remove_all(folder);
}

// To a terminal each record's line goes out as the record ends, before the
// next one is read.
TEST(Batch, TerminalGetsEachLineWhenItsRecordEnds) {
  testing_support::Terminal terminal = testing_support::makeTerminal();
  testing_support::Pipe input = testing_support::makePipe();
  const pid_t child =
      startProgram(input.readEnd.get(), terminal.slave.get(),
                   {terminal.master.get(), input.writeEnd.get()}, {}, {}, batchProgramPath);
  input.readEnd.reset();
  terminal.slave.reset();
  testing_support::writeAll(input.writeEnd.get(), "1 -3 2\n");
  EXPECT_EQ(testing_support::readAvailable(terminal.master.get(), waitLimitMs, 13),
            "2 1.00 2.00\r\n");
  testing_support::writeAll(input.writeEnd.get(), "1 2 1\n");
  EXPECT_EQ(testing_support::readAvailable(terminal.master.get(), waitLimitMs, 9), "3 -1.00\r\n");
  input.writeEnd.reset();
  const int status = testing_support::waitForChild(child, waitLimitMs);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;
}

// Asked to stop in the middle of a large input on a pipe, the program writes
// out the whole lines it holds and ends by the signal: its output is the start
// of the whole run's, up to a line end. The signal goes once output has come.
// SIGKILL, which no program can take, shows that every block ends a line.
TEST(OutsideSignals, StopTheBatchProgramAfterTheWholeLinesHeld) {
  signal(SIGPIPE, SIG_IGN);
  const std::string input = joinedRecords(generatedRecords(20000), true);
  const RunResult whole = runProgram(input, Channel::file, Channel::file, {}, {}, batchProgramPath);
  for (const int sent : {SIGINT, SIGTERM, SIGHUP, SIGKILL}) {
    SCOPED_TRACE(sent);
    testing_support::Pipe in = testing_support::makePipe();
    testing_support::Pipe out = testing_support::makePipe();
    // Ignored ones would stay ignored, as a background job's SIGINT is.
    const auto asDefault = [] {
      signal(SIGINT, SIG_DFL), signal(SIGTERM, SIG_DFL), signal(SIGHUP, SIG_DFL);
    };
    const pid_t child =
        startProgram(in.readEnd.get(), out.writeEnd.get(), {in.writeEnd.get(), out.readEnd.get()},
                     asDefault, {}, batchProgramPath);
    in.readEnd.reset();
    out.writeEnd.reset();
    std::thread feeder([&] {
      for (std::size_t done = 0; done < input.size();) {
        const ssize_t put = write(in.writeEnd.get(), input.data() + done, input.size() - done);
        if (put <= 0) break;  // the program has ended
        done += static_cast<std::size_t>(put);
      }
    });
    std::string output =
        testing_support::readExpected(out.readEnd.get(), whole.output.substr(0, 1), waitLimitMs);
    sendFromOutside(child, sent);
    output += testing_support::readToEnd(out.readEnd.get());
    const int status = testing_support::waitForChild(child, waitLimitMs);
    feeder.join();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sent) << "wait status " << status;
    EXPECT_TRUE(output.ends_with("\r\n"))
        << output.substr(output.size() < 40 ? 0 : output.size() - 40);
    EXPECT_EQ(whole.output.compare(0, output.size(), output), 0);
  }
}

// Waits, a millisecond at a time, until `holds` is true of process `pid`'s
// file /proc/<pid>/<name>; false when it never is within the wait limit.
bool awaitProcFile(pid_t pid, const char* name,
                   const std::function<bool(const std::string&)>& holds) {
  for (int waited = 0; waited < waitLimitMs; ++waited) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/" + name);
    if (holds(std::string(std::istreambuf_iterator<char>(file), {}))) return true;
    usleep(1000);
  }
  return false;
}

// Blocked where it waits for another process, the batch program still ends by
// a request to stop: in the open of a FIFO that no writer opens at once, after
// the answers it holds; in a write to a pipe that its reader, filled before it
// started, does not read, soon after the signal and without writing more. A
// second signal, sent once the first has been taken (its deadline's timer
// exists), ends it then; one that its parent ignored stays ignored.
TEST(OutsideSignals, EndTheBatchProgramBlockedInAWriteOrAnOpen) {
  signal(SIGPIPE, SIG_IGN);
  const std::string folder = testing_support::temporaryFolder();
  const std::string fifo = folder + "/fifo", good = folder + "/good";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::ofstream(good) << "1 -3 2\n1 2 1\n";
  const std::string input = joinedRecords(generatedRecords(20000), true);
  const struct {
    std::vector<std::string> arguments;  // none: the input on a pipe, the output stalled
    std::vector<int> sent;
    int endedBy;
    bool hangUpIgnored = false;
  } cases[] = {{{}, {SIGTERM}, SIGTERM},
               {{}, {SIGTERM, SIGINT}, SIGINT},
               {{}, {SIGTERM, SIGHUP}, SIGTERM, true},
               {{good, fifo}, {SIGTERM}, SIGTERM}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sent.back());
    const bool stalled = c.arguments.empty();
    testing_support::Pipe in = testing_support::makePipe();
    testing_support::Pipe out = testing_support::makePipe();
    const std::string filler(stalled ? fcntl(out.writeEnd.get(), F_GETPIPE_SZ) : 0, '.');
    testing_support::writeAll(out.writeEnd.get(), filler);
    const pid_t child = startProgram(
        in.readEnd.get(), out.writeEnd.get(), {in.writeEnd.get(), out.readEnd.get()},
        [ignored = c.hangUpIgnored] {
          signal(SIGINT, SIG_DFL), signal(SIGTERM, SIG_DFL);
          signal(SIGHUP, ignored ? SIG_IGN : SIG_DFL);
        },
        c.arguments, batchProgramPath);
    in.readEnd.reset();
    out.writeEnd.reset();
    std::thread feeder([&] {
      if (stalled) write(in.writeEnd.get(), input.data(), input.size());  // until the end
    });
    EXPECT_TRUE(awaitProcFile(child, "wchan", [&](const std::string& name) {
      return name.find(stalled ? "pipe_write" : "partner") != std::string::npos;
    }));
    for (const int sent : c.sent) {
      if (sent != c.sent.front()) {
        EXPECT_TRUE(
            awaitProcFile(child, "timers", [](const std::string& text) { return !text.empty(); }));
      }
      sendFromOutside(child, sent);
    }
    const int status = testing_support::waitForChild(child, waitLimitMs);
    in.writeEnd.reset();
    feeder.join();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.endedBy) << "wait status " << status;
    const std::string output = testing_support::readToEnd(out.readEnd.get()).substr(filler.size());
    EXPECT_EQ(output, stalled ? "" : "2 1.00 2.00\r\n3 -1.00\r\n");
  }
  std::filesystem::remove_all(folder);
}

}  // namespace
