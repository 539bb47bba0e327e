// quadsolve-batch: answers a whole input of quadratic equations, one a line.
//
//   quadsolve-batch [OPTION]... [FILE]...
//
// The FILEs are read in order as one stream of records; "-" and no FILE at
// all are standard input. On Windows a FILE with * or ? outside double quotes
// is a pattern, which names the files that it matches (platform.h,
// listOperandFiles). Each line is a record: the line feed ends it, and
// so does the end of its file, and every other byte is read as quadsolve
// reads its input. For each record the program writes exactly what quadsolve
// writes after its leading empty line when that record, with a line feed, is
// its whole standard input: the result line, or the run-time error line of an
// error that ends the record (its address a place in this program). One
// output line for each input line, in order.
//
// Every record starts from the state that quadsolve starts from: the
// floating-point environment, no pending code, no error, the coefficients and
// roots zero, a reader that sees the record alone. An error of a record ends
// that record only; what no record can absorb (a FILE that cannot be opened,
// a failed read, a failed write of standard output, a processor exception, a
// signal sent from outside) ends the program as it ends quadsolve, with one
// line more on standard error that says what failed. The exit code is then
// that error's; otherwise it is the code of the first record that ended in an
// error (0 with --exit-zero), or 0 when every record got its result line. A
// usage error ends the program with 2 before anything is read. A source that
// begins with a UTF-16 byte-order mark is refused before any of its records:
// one line on standard error, and the status 65.
//
// Input is read, and output written to files and pipes, in blocks of 64 KiB;
// output to a terminal goes out line by line. Every block ends at a line end.
// SIGINT, SIGTERM and SIGHUP write out the whole lines held, then end the
// program by the signal; half a second later it ends by the signal wherever
// it is, also in a write that its reader does not take.
#include <cstdint>
#include <cstring>

#include "platform/platform.h"
#include "runtime/runtime.h"
#include "solver/batch_help.h"
#include "solver/batch_record.h"
#include "solver/shown_name.h"
#include "textio/number_conversions.h"
#include "textio/record_input.h"
#include "textio/text_stream.h"

namespace {

constexpr std::uint32_t outputBlockSize = 64 * 1024;
constexpr std::uint32_t inputBlockSize = 64 * 1024;
std::uint8_t outputBlock[outputBlockSize];
std::uint8_t inputBlock[inputBlockSize];

// The stream of a FILE operand; standard input is ConsoleIn.
TextStream FileIn;

// ---- The command line ----

// The exit code of a command line that the program cannot take.
constexpr std::uint32_t usageErrorStatus = 2;

// The exit code of a source that is UTF-16 text (sysexits.h's EX_DATAERR,
// "the input data was incorrect"): its bytes are no records.
constexpr std::uint8_t refusedTextStatus = 65;

struct Options {
  bool exitZero = false;
  // The FILE operands stay where they stand in main's arguments, in order;
  // every other argument there is made null.
  int operandCount = 0;
};

bool equal(const char* text, const char* other) {
  while (*text != 0 && *text == *other) {
    ++text;
    ++other;
  }
  return *text == *other;
}

std::uint32_t length(const char* text) {
  return static_cast<std::uint32_t>(std::strlen(text));
}

// A line for standard error, built in one buffer and written with one call,
// so that lines of programs that share the stream do not mix.
class ErrorLine {
 public:
  ErrorLine& add(const char* text) { return add(text, length(text)); }
  ErrorLine& add(const char* text, std::uint32_t count) {
    for (std::uint32_t index = 0; index < count && used < textCapacity; ++index) {
      bytes[used++] = text[index];
    }
    return *this;
  }
  ErrorLine& addNumber(std::uint32_t value) {
    CountedText text;
    intToText(static_cast<std::int32_t>(value), 0, text);
    return add(text.chars, text.length);
  }
  // A FILE's name, quoted where it holds bytes that are not printable and
  // shortened where it is long, so that the reason after it fits.
  ErrorLine& addName(const char* name) {
    const std::uint32_t room = textCapacity - used;
    used += showName(name, bytes + used, room < nameCapacity ? room : nameCapacity);
    return *this;
  }
  ErrorLine& addReason(std::uint32_t code) {
    used += platform::errorText(code, bytes + used, textCapacity - used);
    return add(" (").addNumber(code).add(")");
  }
  // Writes the line with its CR LF; a failure is not reported: there is no
  // stream left to report it on.
  void write() {
    bytes[used++] = '\r';
    bytes[used++] = '\n';
    platform::writeFile(platform::standardHandle(platform::StandardHandle::error), bytes, used);
  }

 private:
  // The text, cut if need be, and room for the line end after it.
  static constexpr std::uint32_t textCapacity = 1024;
  // At most this much of it for a name.
  static constexpr std::uint32_t nameCapacity = 512;
  char bytes[textCapacity + 2];
  std::uint32_t used = 0;
};

// Nothing has been read or written yet: the process ends at once.
[[noreturn]] void usageError(const char* argument) {
  ErrorLine()
      .add(programName)
      .add(": unknown option ")
      .add(argument)
      .add("; ")
      .add(usageLine)
      .write();
  platform::exitProcess(usageErrorStatus);
}

// Reads the options, wherever they stand before "--"; ends the program for
// --help (also /?, as Windows programs take it), --version and an unknown
// option. Every other argument, "-" among them, is a FILE operand, left in
// its place; the options' places are made null.
Options readOptions(int argumentCount, char** arguments) {
  Options options;
  bool optionsEnded = false;
  for (int index = 1; index < argumentCount; ++index) {
    char* const argument = arguments[index];
    const bool isOption =
        !optionsEnded && ((argument[0] == '-' && argument[1] != 0) || equal(argument, "/?"));
    if (!isOption) {
      ++options.operandCount;
      continue;
    }
    arguments[index] = nullptr;
    if (equal(argument, "--")) {
      optionsEnded = true;
    } else if (equal(argument, "--exit-zero")) {
      options.exitZero = true;
    } else if (equal(argument, "-h") || equal(argument, "--help") || equal(argument, "/?")) {
      showHelp();
    } else if (equal(argument, "--version")) {
      showVersion();
    } else {
      usageError(argument);
    }
  }
  return options;
}

// ---- Failures of the program itself ----

// What the program is doing, for the line on standard error.
const char* sourceName = nullptr;  // the FILE being read; null: standard input
bool openingSource = false;

ErrorLine& addSource(ErrorLine& line) {
  return sourceName != nullptr ? line.addName(sourceName) : line.add("standard input");
}

void reportFailure(std::uint8_t code, std::uint32_t ioCode) {
  ErrorLine line;
  line.add(programName).add(": ");
  if (ioCode == 0) {
    line.add("ended by run-time error ").addNumber(code);
  } else if (openingSource) {
    addSource(line.add("cannot open ")).add(": ").addReason(ioCode);
  } else if (recordSourceFailure() == ioCode) {
    addSource(line.add("cannot read ")).add(": ").addReason(ioCode);
  } else if (ioCode == ioNotOpenForInput && ConsoleIn.mode == modeClosed) {
    // Left unbound: not open, whatever system code has the same number.
    line.add("standard input is not open (").addNumber(ioCode).add(")");
  } else if (ioCode == ioNotOpenForOutput && ConsoleOut.mode == modeClosed) {
    line.add("standard output is not open (").addNumber(ioCode).add(")");
  } else if (platform::isReaderGone(ioCode)) {
    // The reader of the output has gone (quadsolve-batch big | head -3): no
    // failure worth a word; the status still says that output was lost.
    return;
  } else {
    line.add("cannot write standard output: ").addReason(ioCode);
  }
  line.write();
}

constexpr FailureReport failureReport = {reportFailure};

// ---- The records ----

// A source in UTF-16: its bytes are no records of numbers, and read as bytes
// each of its lines would give an error line or a wrong answer. The lines of
// the sources before it stand.
[[noreturn]] void refuseText(SourceText text) {
  const bool littleEndian = text == SourceText::utf16LittleEndian;
  ErrorLine line;
  addSource(line.add(programName).add(": cannot read "))
      .add(littleEndian ? ": it is UTF-16LE text (byte-order mark FF FE)"
                        : ": it is UTF-16BE text (byte-order mark FE FF)")
      .add(
          "; save it as ANSI or UTF-8, or convert it: Get-Content FILE | Set-Content "
          "-Encoding ASCII NEWFILE in PowerShell, iconv -f UTF-16 -t UTF-8 FILE > NEWFILE "
          "elsewhere")
      .write();
  terminateProgramWithStatus(refusedTextStatus);
}

// Answers every record of one source: standard input for null, else the
// named file. A source that cannot be opened or read ends the program.
void answerSource(const char* name) {
  const bool standardInput = name == nullptr;
  sourceName = name;
  TextStream& stream = standardInput ? ConsoleIn : FileIn;
  if (!standardInput) {
    openingSource = true;
    openFileInput(FileIn, name);
    ioCheck();
    openingSource = false;
  }
  setStreamBuffer(stream, modeInput, inputBlock, inputBlockSize);
  ioCheck();
  useRecordSource(stream);
  if (const SourceText text = sourceText(); text != SourceText::bytes) refuseText(text);
  // A failed read of the source's start.
  ioCheck();

  while (startInputRecord()) {
    answerRecord(RecordIn);
    // What the reader left of the record; a failed read or write ends the
    // program.
    finishInputRecord();
    ioCheck();
  }
  // The end of the source, or a failed read of it.
  ioCheck();
  if (!standardInput) closeStream(FileIn);
}

// Answers the sources that the FILE operand `index` of main's arguments
// names: standard input for "-", else the file, or each file of a pattern. A
// pattern that matches nothing fails as a file that cannot be opened.
void answerOperand(int index, const char* argument) {
  if (equal(argument, "-")) return answerSource(nullptr);
  const std::int32_t count = platform::listOperandFiles(index, argument);
  if (count == 0) {
    sourceName = argument;
    openingSource = true;
    setPendingIoError(platform::lastError());
    ioCheck();
    openingSource = false;
  }
  for (std::int32_t position = 0; position < count; ++position) {
    answerSource(platform::operandFileName(position));
  }
}

}  // namespace

int main(int argumentCount, char** arguments) {
  consoleMode = true;
  initRuntime(startupTable);

  setFailureReport(&failureReport);
  const Options options = readOptions(argumentCount, arguments);
  if (options.exitZero) excludeRecordErrorsFromStatus();

  setStreamBuffer(ConsoleOut, modeOutput, outputBlock, outputBlockSize);
  ioCheck();
  keepOutputLinesWhole();

  if (options.operandCount == 0) answerSource(nullptr);
  for (int index = 1; index < argumentCount; ++index) {
    if (arguments[index] != nullptr) answerOperand(index, arguments[index]);
  }

  terminateProgram();
}
