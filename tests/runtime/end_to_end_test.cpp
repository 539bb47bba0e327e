// End to end: runs the probe program with its standard output on a file or a
// pipe and checks the exact bytes, standard error and the exit code of every
// road into a run-time error, the shutdown order and shutdown failures.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/platform/descriptor_support.h"

namespace {

using testing_support::Descriptor;

enum class Output {
  file,
  pipe,
  pipeWithoutReader,  // the reader has closed before the program starts
  fileWithoutRoom,    // RLIMIT_FSIZE 0: writes fail with EFBIG (the program ignores SIGXFSZ)
  terminal,           // a pseudo-terminal in raw mode: a character device
  closed,             // no standard output descriptor at all
};

struct ProbeRun {
  bool exited = false;
  int exitCode = -1;
  int signal = 0;
  std::string out;
  std::string err;
};

ProbeRun runProbe(const std::vector<std::string>& arguments, Output output) {
  testing_support::Pipe err = testing_support::makePipe();
  // The descriptor that becomes standard output, and the parent's end of it.
  Descriptor outWrite;
  Descriptor outRead;
  testing_support::Terminal terminal;
  const bool toFile = output == Output::file || output == Output::fileWithoutRoom;
  if (toFile) {
    outWrite = testing_support::temporaryFile();
  } else if (output == Output::terminal) {
    terminal = testing_support::makeTerminal();
  } else if (output != Output::closed) {
    testing_support::Pipe out = testing_support::makePipe();
    outWrite = std::move(out.writeEnd);
    if (output != Output::pipeWithoutReader) outRead = std::move(out.readEnd);
  }

  std::vector<std::string> argvText = {RUNTIME_PROBE_PATH};
  argvText.insert(argvText.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& text : argvText) argv.push_back(text.data());
  argv.push_back(nullptr);

  const int outEnd = output == Output::terminal ? terminal.slave.get() : outWrite.get();
  const pid_t child = testing_support::startChild([&] {
    const int nullInput = open("/dev/null", O_RDONLY);
    if (nullInput < 0 || dup2(nullInput, STDIN_FILENO) < 0 ||
        dup2(err.writeEnd.get(), STDERR_FILENO) < 0) {
      return 126;
    }
    if (output == Output::closed) {
      close(STDOUT_FILENO);
    } else if (dup2(outEnd, STDOUT_FILENO) < 0) {
      return 126;
    }
    // Only the standard descriptors go to the probe.
    for (const int fd : {outRead.get(), terminal.master.get(), outEnd}) {
      if (fd > STDERR_FILENO) close(fd);
    }
    if (output == Output::fileWithoutRoom) {
      signal(SIGXFSZ, SIG_DFL);  // the program itself must keep it from ending the run
      const rlimit noRoom{0, 0};
      setrlimit(RLIMIT_FSIZE, &noRoom);
    }
    execv(argv[0], argv.data());
    return 127;
  });
  EXPECT_GT(child, 0);
  // The parent's copies of the child's ends go, so that the reads meet the end.
  err.writeEnd.reset();
  if (!toFile) outWrite.reset();

  ProbeRun run;
  int status = 0;
  if (output == Output::terminal) {
    run.out = testing_support::readTerminalUntilChildEnds(terminal, child, status);
    run.err = testing_support::readToEnd(err.readEnd.get());
  } else {
    if (outRead.get() >= 0) run.out = testing_support::readToEnd(outRead.get());
    run.err = testing_support::readToEnd(err.readEnd.get());
    status = testing_support::waitForChild(child);
  }
  run.exited = WIFEXITED(status);
  run.exitCode = run.exited ? WEXITSTATUS(status) : -1;
  run.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  if (toFile) run.out = testing_support::fileContents(outWrite.get());
  return run;
}

// What every scenario writes before its failure: the empty line and "held".
const std::string heldOutput = "\r\nheld";

// Splits `out` into what precedes the message and the message's address, and
// checks the message: "Runtime error", the code field, " at ", eight uppercase
// hexadecimal digits, CR LF; 31 bytes, and nothing after it.
std::string expectMessageAfter(const std::string& out, const std::string& before,
                               const std::string& codeField) {
  constexpr std::size_t messageBytes = 31;
  EXPECT_EQ(out.size(), before.size() + messageBytes) << out;
  EXPECT_EQ(out.substr(0, before.size()), before);
  const std::string message = out.size() > before.size() ? out.substr(before.size()) : "";
  std::smatch match;
  const std::regex form("Runtime error ([ 0-9]{3}) at ([0-9A-F]{8})\r\n");
  EXPECT_TRUE(std::regex_match(message, match, form)) << message;
  if (match.size() != 3) return "";
  EXPECT_EQ(match[1].str(), codeField);
  return match[2].str();
}

int lineOf(const char* sourcePath, const std::string& markerText) {
  std::ifstream in(sourcePath);
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (line.find(markerText) != std::string::npos) return number;
  }
  ADD_FAILURE() << "no line holds " << markerText;
  return 0;
}

// The probe's executable file and the tools that read it. In a cross build the
// probe is started through a script (RUNTIME_PROBE_PATH) that runs it under
// the emulator, and the tools are those of the target's toolchain.
#ifndef RUNTIME_PROBE_FILE
#define RUNTIME_PROBE_FILE RUNTIME_PROBE_PATH
#endif
#ifndef RUNTIME_ADDR2LINE
#define RUNTIME_ADDR2LINE "addr2line"
#endif
#ifndef RUNTIME_NM
#define RUNTIME_NM "nm"
#endif

// "file:line" (without directories) as addr2line names an address of the probe; empty without it.
std::string sourceLineOf(std::uint32_t address) {
  char command[512];
  std::snprintf(command, sizeof command, "'%s' -e '%s' 0x%X 2>/dev/null", RUNTIME_ADDR2LINE,
                RUNTIME_PROBE_FILE, address);
  FILE* pipe = popen(command, "r");
  if (pipe == nullptr) return "";
  char text[512] = {};
  const bool got = std::fgets(text, sizeof text, pipe) != nullptr;
  pclose(pipe);
  std::string line = got ? text : "";
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  // Drop a discriminator note and the directories.
  if (const auto space = line.find(' '); space != std::string::npos) line.resize(space);
  if (const auto slash = line.rfind('/'); slash != std::string::npos) line.erase(0, slash + 1);
  return line;
}

// The probe's function whose code holds `address` (as the message shows it:
// the low 32 bits), by its symbol table; empty when no function holds it.
std::string functionContaining(std::uint32_t address) {
  FILE* pipe =
      popen("'" RUNTIME_NM "' -C -S --defined-only '" RUNTIME_PROBE_FILE "' 2>/dev/null", "r");
  if (pipe == nullptr) return "";
  std::string name;
  char line[2048];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    unsigned long long start = 0;
    unsigned long long size = 0;
    char type = 0;
    int consumed = 0;
    if (std::sscanf(line, "%llx %llx %c %n", &start, &size, &type, &consumed) != 3) continue;
    if (type != 't' && type != 'T') continue;
    const unsigned long long low = start & 0xFFFFFFFFu;
    if (address >= low && address < low + size) {
      name = line + consumed;
      while (!name.empty() && name.back() == '\n') name.pop_back();
    }
  }
  pclose(pipe);
  return name;
}

bool haveNm() {
  return std::system("'" RUNTIME_NM "' --version >/dev/null 2>&1") == 0;
}

std::uint32_t addressOf(const std::string& hexDigits) {
  return static_cast<std::uint32_t>(std::stoul(hexDigits, nullptr, 16));
}

// addr2line answers "??" for code built without line information.
bool hasLineInformation(const std::string& sourceLine) {
  return sourceLine.rfind("??", 0) != 0;
}

bool haveAddr2line() {
  return std::system("'" RUNTIME_ADDR2LINE "' --version >/dev/null 2>&1") == 0;
}

std::string baseName(const char* path) {
  const std::string text = path;
  return text.substr(text.rfind('/') + 1);
}

// ---- ioCheck: the low 8 bits of the pending code, 0 reported as 255 ----

struct PendingCase {
  std::uint32_t pending;
  const char* codeField;
  int exitCode;
};

TEST(IoCheckRoad, ReportsThePendingCodeAfterTheHeldOutput) {
  const PendingCase cases[] = {
      {5, "  5", 5},     {32, " 32", 32},
      {106, "106", 106}, {300, " 44", 44},  // only the low 8 bits
      {256, "255", 255},                    // low 8 bits 0: never exit code 0
      {995, "227", 227},
  };
  for (const PendingCase& c : cases) {
    SCOPED_TRACE(c.pending);
    const ProbeRun run = runProbe({"io", std::to_string(c.pending)}, Output::file);
    EXPECT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, c.exitCode);
    expectMessageAfter(run.out, heldOutput, c.codeField);
    EXPECT_EQ(run.err, "");
  }
}

TEST(IoCheckRoad, PipeReceivesTheSameBytes) {
  const ProbeRun file = runProbe({"io", "106"}, Output::file);
  const ProbeRun pipe = runProbe({"io", "106"}, Output::pipe);
  EXPECT_EQ(pipe.exitCode, 106);
  EXPECT_EQ(pipe.out, file.out);
}

TEST(IoCheckRoad, Addr2lineNamesTheFailingCheck) {
  if (!haveAddr2line()) GTEST_SKIP() << "addr2line is not installed";
  const ProbeRun run = runProbe({"io", "106"}, Output::file);
  const std::string address = expectMessageAfter(run.out, heldOutput, "106");
  ASSERT_FALSE(address.empty());
  // The address is the position right after the call; like every return
  // address, the byte before it lies in the call itself.
  const auto returnAddress = static_cast<std::uint32_t>(std::stoul(address, nullptr, 16));
  const std::string named = sourceLineOf(returnAddress - 1);
  if (!hasLineInformation(named)) GTEST_SKIP() << "built without line information";
  EXPECT_EQ(named,
            baseName(RUNTIME_PROBE_SOURCE) + ":" +
                std::to_string(lineOf(RUNTIME_PROBE_SOURCE, "// the failing statement's check")))
      << "addr2line output did not name the check";
}

// ---- raiseErrorKind: kinds modulo 128, the table, kinds 25..127 as such ----

struct KindCase {
  std::vector<std::string> arguments;  // kind [pending code]
  const char* codeField;
  int exitCode;
};

TEST(RaiseErrorKindRoad, TranslatesTheKind) {
  const KindCase cases[] = {
      {{"1"}, "203", 203},        {{"2"}, "204", 204},   {{"14"}, "202", 202},
      {{"25"}, " 25", 25},        {{"127"}, "127", 127}, {{"200"}, " 72", 72},
      {{"153"}, " 25", 25},       {{"130"}, "204", 204}, {{"0", "106"}, "106", 106},
      {{"128", "32"}, " 32", 32}, {{"0"}, "255", 255},  // nothing pending: code 0 becomes 255
      {{"22"}, "255", 255},                             // the table's 0 becomes 255
  };
  for (const KindCase& c : cases) {
    std::vector<std::string> arguments = {"kind"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    SCOPED_TRACE(c.arguments[0]);
    const ProbeRun run = runProbe(arguments, Output::file);
    EXPECT_EQ(run.exitCode, c.exitCode);
    const std::string address = expectMessageAfter(run.out, heldOutput, c.codeField);
    // The position right after the call, in the caller.
    if (haveNm() && !address.empty()) {
      EXPECT_EQ(functionContaining(addressOf(address) - 1), "main");
    }
  }
}

// ---- processor exceptions and extended-model traps ----

struct TrapCase {
  const char* scenario;
  const char* codeField;
  int exitCode;
  const char* address = nullptr;  // when it is known
};

TEST(TrapRoad, ProcessorExceptionsEndWithTheirCode) {
  const TrapCase cases[] = {
    {"null", "216", 216},
    {"outside-image", "216", 216, "00000000"},  // names no code of the program
    {"recursion", "202", 202},
    {"recursion-large-frames", "202", 202},  // far beyond the size limit
#if defined(__x86_64__) || defined(__i386__)
    {"divide-by-zero", "200", 200},  // other processors do not trap it
#endif
    {"bus", "216", 216},  // SIGBUS is an access violation too
#if defined(__x86_64__) || defined(__i386__)
    {"illegal-instruction", "255", 255},  // no row of its own
#endif
    {"fp-zero-divide", "200", 200},
    {"fp-overflow", "205", 205},
    {"fp-invalid", "207", 207},
  };
  for (const TrapCase& c : cases) {
    SCOPED_TRACE(c.scenario);
    for (Output output : {Output::file, Output::pipe}) {
      const ProbeRun run = runProbe({c.scenario}, output);
      EXPECT_TRUE(run.exited) << "signal " << run.signal;
      EXPECT_EQ(run.exitCode, c.exitCode);
      const std::string address = expectMessageAfter(run.out, heldOutput, c.codeField);
      if (c.address != nullptr) {
        EXPECT_EQ(address, c.address);
      }
      EXPECT_EQ(run.err, "");
    }
  }
}

// A hooked signal that was sent, not raised by the processor, takes its
// default action too.
TEST(TrapRoad, SignalsThatAreNotProcessorExceptionsKeepTheirDefaultAction) {
  const struct {
    const char* scenario;
    int signal;
  } cases[] = {{"raise-int", SIGINT},
               {"raise-term", SIGTERM},
               {"raise-abort", SIGABRT},
               {"raise-segv", SIGSEGV}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.scenario);
    const ProbeRun run = runProbe({c.scenario}, Output::file);
    EXPECT_FALSE(run.exited);
    EXPECT_EQ(run.signal, c.signal);
    EXPECT_EQ(run.out.find("Runtime error"), std::string::npos) << run.out;
  }
}

TEST(TrapRoad, Addr2lineNamesTheFaultingInstruction) {
  if (!haveAddr2line()) GTEST_SKIP() << "addr2line is not installed";
  const ProbeRun run = runProbe({"null"}, Output::file);
  const std::string address = expectMessageAfter(run.out, heldOutput, "216");
  ASSERT_FALSE(address.empty());
  const std::string named =
      sourceLineOf(static_cast<std::uint32_t>(std::stoul(address, nullptr, 16)));
  if (!hasLineInformation(named)) GTEST_SKIP() << "built without line information";
  EXPECT_EQ(named, baseName(RUNTIME_PROBE_SOURCE) + ":" +
                       std::to_string(lineOf(RUNTIME_PROBE_SOURCE, "// the null access")));
}

// ---- where the message goes, normal runs ----

TEST(Message, OutsideConsoleModeGoesToTheMessageBoxStandIn) {
  const ProbeRun run = runProbe({"quiet", "5"}, Output::file);
  EXPECT_EQ(run.exitCode, 5);
  EXPECT_EQ(run.out, heldOutput);  // written out by the shutdown, nothing else
  EXPECT_TRUE(std::regex_match(run.err, std::regex("Error: Runtime error   5 at [0-9A-F]{8}\n")))
      << run.err;
}

TEST(Message, OnATerminalHeldBytesComeFirstToo) {
  // Lines go out as they end; "held" has no line end yet.
  const ProbeRun run = runProbe({"io", "106"}, Output::terminal);
  EXPECT_EQ(run.exitCode, 106);
  expectMessageAfter(run.out, heldOutput, "106");
}

TEST(Message, NoStandardOutputStillEndsWithTheCode) {
  // Binding ConsoleOut fails (105); the message has nowhere to go.
  const ProbeRun run = runProbe({"io", "5"}, Output::closed);
  EXPECT_TRUE(run.exited);
  EXPECT_EQ(run.exitCode, 105);
  EXPECT_EQ(run.err, "");
}

TEST(Message, FaultWhileWritingItEndsAtOnceWithTheFirstCode) {
  // The held bytes' write faults: no second error, no second attempt.
  const ProbeRun run = runProbe({"message-write-fault"}, Output::file);
  EXPECT_TRUE(run.exited) << "signal " << run.signal;
  EXPECT_EQ(run.exitCode, 106);
  EXPECT_EQ(run.err, "W");
  EXPECT_EQ(run.out, "");
}

TEST(NormalRun, HeldOutputComesOutAtShutdownWithExitCodeZero) {
  for (Output output : {Output::file, Output::pipe}) {
    const ProbeRun run = runProbe({"normal"}, output);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, heldOutput + " result\r\n");
    EXPECT_EQ(run.err, "");
  }
  const ProbeRun silent = runProbe({"silent"}, Output::file);
  EXPECT_EQ(silent.exitCode, 0);
  EXPECT_EQ(silent.out, "");
}

// ---- the start-up table ----

TEST(StartupTable, ShutdownStepsRunInReverseOrder) {
  const ProbeRun run = runProbe({"order"}, Output::file);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, "+A+L+B+C-C-B-L-A");
  EXPECT_EQ(run.out, "out");
}

TEST(StartupTable, ErrorInAStartupStepShutsDownOnlyTheStartedEntries) {
  const ProbeRun run = runProbe({"order-startup-error"}, Output::file);
  EXPECT_EQ(run.exitCode, 25);
  // B's start-up had begun, so its shutdown step runs; C never started.
  EXPECT_EQ(run.err, "+A+L+B-B-L-A");
  const std::string address = expectMessageAfter(run.out, "", " 25");
  if (haveNm() && !address.empty()) {
    EXPECT_EQ(functionContaining(addressOf(address) - 1), "(anonymous namespace)::startBFailing()");
  }
}

TEST(StartupTable, FaultInAShutdownStepGoesOnWithTheRemainingSteps) {
  const ProbeRun run = runProbe({"order-shutdown-fault"}, Output::file);
  EXPECT_EQ(run.exitCode, 216);
  EXPECT_EQ(run.err, "+A+L-F-L-A");  // no step twice
  expectMessageAfter(run.out, "out", "216");
}

// A fault's shutdown runs on the alternate signal stack; a step that runs off
// its end faults in the guard below it. Where that fault leaves the stack
// pointer below the alternate stack (x86-64: the call that ran off it), the
// kernel delivers it at the top of the alternate stack again, and as the
// error is already on its way out the process ends at once with its code.
// Where the pointer is still on the alternate stack (a store below it that
// faulted first, as on 64-bit POWER), no frame fits and the kernel ends the
// process by SIGSEGV. Either way nothing runs on: no later step, no second
// message.
TEST(StartupTable, StackOverflowInAFaultsShutdownEndsTheProcessAtOnce) {
  const ProbeRun run = runProbe({"shutdown-overflow"}, Output::file);
#if defined(__x86_64__)
  ASSERT_TRUE(run.exited) << "signal " << run.signal;
#endif
  if (run.exited) {
    EXPECT_EQ(run.exitCode, 216);
  } else {
    EXPECT_EQ(run.signal, SIGSEGV);
  }
  EXPECT_EQ(run.err.substr(0, 4), "+L-O");
  EXPECT_EQ(run.err.find("-L", 4), std::string::npos) << run.err;
  expectMessageAfter(run.out, "out", "216");
}

// ---- a failure to write the held output at shutdown ----

TEST(ShutdownFailure, LostOutputEndsWithTheWriteFailuresCode) {
  const ProbeRun noRoom = runProbe({"normal"}, Output::fileWithoutRoom);
  EXPECT_TRUE(noRoom.exited);
  EXPECT_EQ(noRoom.exitCode, EFBIG);
  EXPECT_EQ(noRoom.out, "");

  const ProbeRun noReader = runProbe({"normal"}, Output::pipeWithoutReader);
  EXPECT_TRUE(noReader.exited) << "signal " << noReader.signal;
  EXPECT_EQ(noReader.exitCode, EPIPE);
}

TEST(ShutdownFailure, RemainingShutdownStepsRunOnce) {
  const ProbeRun run = runProbe({"order"}, Output::pipeWithoutReader);
  EXPECT_EQ(run.exitCode, EPIPE);
  EXPECT_EQ(run.err, "+A+L+B+C-C-B-L-A");
}

// The message names the position right after the shutdown's check, in
// finalizeRuntimeLibrary, whatever the failure: one position for a full file
// and for a pipe without a reader.
TEST(ShutdownFailure, MessageNamesTheShutdownCheck) {
  const std::regex form("Error: Runtime error ([ 0-9]{3}) at ([0-9A-F]{8})\n");
  std::string addresses[2];
  const struct {
    Output output;
    const char* codeField;
  } failures[] = {{Output::pipeWithoutReader, " 32"}, {Output::fileWithoutRoom, " 27"}};
  for (int i = 0; i < 2; ++i) {
    const ProbeRun run = runProbe({"quiet-normal"}, failures[i].output);
    std::smatch match;
    ASSERT_TRUE(std::regex_match(run.err, match, form)) << run.err;
    EXPECT_EQ(match[1].str(), failures[i].codeField);
    addresses[i] = match[2].str();
  }
  EXPECT_EQ(addresses[0], addresses[1]);
  if (haveNm()) {
    EXPECT_EQ(functionContaining(addressOf(addresses[0]) - 1), "finalizeRuntimeLibrary()");
  }
}

TEST(ShutdownFailure, PendingErrorKeepsItsCode) {
  const ProbeRun run = runProbe({"io", "106"}, Output::fileWithoutRoom);
  EXPECT_EQ(run.exitCode, 106);
  const ProbeRun trap = runProbe({"fp-overflow"}, Output::pipeWithoutReader);
  EXPECT_EQ(trap.exitCode, 205);
}

TEST(ShutdownFailure, NothingWrittenNothingLost) {
  // ConsoleOut never bound, ConsoleErr's "not open": neither is reported.
  const ProbeRun run = runProbe({"silent"}, Output::pipeWithoutReader);
  EXPECT_EQ(run.exitCode, 0);
}

}  // namespace
