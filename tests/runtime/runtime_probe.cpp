// A small program on the run-time layer that the end-to-end tests run, one
// scenario per run:
//
//   io CODE           a statement leaves CODE pending; its ioCheck raises it
//   kind KIND [CODE]  raiseErrorKind(KIND), with CODE pending if given
//   normal            writes a result line and ends normally
//   silent            writes nothing and ends normally
//   quiet CODE        as io, outside console mode
//   quiet-normal      as normal, outside console mode
//   null | divide-by-zero | recursion | recursion-large-frames | bus |
//   illegal-instruction | outside-image
//                     a real processor fault (the last a jump to memory
//                     outside the program's image)
//   raise-segv        SIGSEGV, hooked, sent by the program itself
//   raise-int | raise-term | raise-abort
//                     a signal that is not hooked, sent by the program itself
//   fp-zero-divide | fp-overflow | fp-invalid    an unmasked extended trap
//   order | order-startup-error | order-shutdown-fault
//                     a start-up table whose steps write markers to stderr
//   shutdown-overflow a null access, whose shutdown (on the alternate signal
//                     stack) runs a step that recurses until the stack is
//                     gone
//   message-write-fault
//                     as io 106, with every write faulting (marker W)
//
// Every scenario first writes an empty line and then "held" to ConsoleOut, so
// that held output is pending when the error comes. Built without sanitizers:
// the faults must reach the trap hook as real signals.
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "extended/extended.h"
#include "platform/linux_system_calls.h"
#include "runtime/runtime_internal.h"
#include "tests/platform/descriptor_support.h"
#include "textio/text_stream.h"

namespace {

void marker(const char* text) {
  if (::write(STDERR_FILENO, text, std::strlen(text)) < 0) std::abort();
}

// Start-up table entries that show their order.
void startA() {
  marker("+A");
}
void stopA() {
  marker("-A");
}
void startLibrary() {
  marker("+L");
  initRuntimeLibrary();
}
void stopLibrary() {
  marker("-L");
  finalizeRuntimeLibrary();
}
void startB() {
  marker("+B");
}
void stopB() {
  marker("-B");
}
void startC() {
  marker("+C");
}
void stopC() {
  marker("-C");
}
void startBFailing() {
  marker("+B");
  raiseErrorKind(25);
}
void stopFaulting() {
  marker("-F");
  volatile int* volatile nowhere = nullptr;
  *nowhere = 1;
}

[[gnu::noinline]] unsigned long recurse(unsigned long depth, unsigned long limit);

void stopOverflowing() {
  marker("-O");
  recurse(0, static_cast<unsigned long>(-1) - static_cast<unsigned long>(startedCount));
}

constexpr StartupEntry orderEntries[] = {
    {startA, stopA}, {startLibrary, stopLibrary}, {startB, stopB}, {startC, stopC}};
constexpr StartupEntry startupErrorEntries[] = {
    {startA, stopA}, {startLibrary, stopLibrary}, {startBFailing, stopB}, {startC, stopC}};
constexpr StartupEntry shutdownFaultEntries[] = {
    {startA, stopA}, {startLibrary, stopLibrary}, {nullptr, stopFaulting}};
constexpr StartupEntry shutdownOverflowEntries[] = {{startLibrary, stopLibrary},
                                                    {nullptr, stopOverflowing}};

template <std::size_t n>
constexpr StartupTable tableOf(const StartupEntry (&entries)[n]) {
  return StartupTable{entries, static_cast<std::int32_t>(n)};
}
// initRuntime keeps the table for the shutdown: static, like a program's own.
constexpr StartupTable orderTable = tableOf(orderEntries);
constexpr StartupTable startupErrorTable = tableOf(startupErrorEntries);
constexpr StartupTable shutdownFaultTable = tableOf(shutdownFaultEntries);
constexpr StartupTable shutdownOverflowTable = tableOf(shutdownOverflowEntries);

// The kernel's calls, but every write marks itself and faults.
const platform::SystemCalls faultingWrites = [] {
  platform::SystemCalls calls = platform::hostSystemCalls();
  calls.write = [](int, const void*, std::size_t) -> long {
    marker("W");
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
    return 0;
  };
  return calls;
}();

std::uint32_t numberArgument(int argc, char** argv, int index) {
  return index < argc ? static_cast<std::uint32_t>(std::strtoul(argv[index], nullptr, 0)) : 0;
}

void writeHeld() {
  writeLine(ConsoleOut);
  ioCheck();
  writeBytes(ConsoleOut, "held", 4);
  ioCheck();
}

unsigned long recurse(unsigned long depth, unsigned long limit) {
  volatile unsigned char frame[512];
  frame[depth % sizeof frame] = static_cast<unsigned char>(depth);
  if (depth == limit) return depth;
  return recurse(depth + 1, limit) + frame[depth % sizeof frame];
}

// Frames of 256 KiB, each touched first at its lowest byte: the fault lands
// well below the stack's size limit, beyond the guard gap.
[[gnu::noinline]] unsigned long recurseLargeFrames(unsigned long depth, unsigned long limit) {
  volatile unsigned char frame[256 * 1024];
  frame[0] = static_cast<unsigned char>(depth);
  if (depth == limit) return depth;
  return recurseLargeFrames(depth + 1, limit) + frame[0];
}

Extended extendedOne() {
  return extended::make(false, extended::exponentBias, extended::integerBit);
}
Extended extendedHuge() {
  return extended::make(false, 0x7FFE, extended::integerBit);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string_view scenario = argc > 1 ? argv[1] : "";
  consoleMode = scenario.substr(0, 5) != "quiet";

  if (scenario == "order") {
    initRuntime(orderTable);
    writeBytes(ConsoleOut, "out", 3);
    ioCheck();
    terminateProgram();
  }
  if (scenario == "order-startup-error") initRuntime(startupErrorTable);
  if (scenario == "shutdown-overflow") {
    initRuntime(shutdownOverflowTable);
    writeBytes(ConsoleOut, "out", 3);
    ioCheck();
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
  }
  if (scenario == "order-shutdown-fault") {
    initRuntime(shutdownFaultTable);
    writeBytes(ConsoleOut, "out", 3);
    ioCheck();
    terminateProgram();
  }

  initRuntime(startupTable);
  if (scenario == "silent") terminateProgram();
  writeHeld();

  if (scenario == "io" || scenario == "quiet") {
    setPendingIoError(numberArgument(argc, argv, 2));
    ioCheck();  // the failing statement's check
    writeBytes(ConsoleOut, "after", 5);
  } else if (scenario == "message-write-fault") {
    platform::setSystemCalls(faultingWrites);
    setPendingIoError(106);
    ioCheck();
  } else if (scenario == "kind") {
    if (argc > 3) setPendingIoError(numberArgument(argc, argv, 3));
    raiseErrorKind(static_cast<std::uint8_t>(numberArgument(argc, argv, 2)));
  } else if (scenario == "normal" || scenario == "quiet-normal") {
    writeBytes(ConsoleOut, " result", 7);
    writeLine(ConsoleOut);
    ioCheck();
    terminateProgram();
  } else if (scenario == "null") {
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;  // the null access
  } else if (scenario == "divide-by-zero") {
    volatile int dividend = argc;
    volatile int zero = 0;
    volatile int quotient = dividend / zero;
    static_cast<void>(quotient);
  } else if (scenario == "bus") {
    // Reading a mapped page that its file no longer covers.
    const testing_support::Descriptor file = testing_support::temporaryFile(std::string(4096, 0));
    const int fd = file.get();
    if (fd < 0) return 98;
    const auto* page =
        static_cast<volatile const char*>(mmap(nullptr, 4096, PROT_READ, MAP_SHARED, fd, 0));
    if (page == MAP_FAILED || ftruncate(fd, 0) != 0) return 98;
    static_cast<void>(page[0]);
  } else if (scenario == "outside-image") {
    // The lowest page of a large reservation: a mapping placed just below the
    // stack (as qemu-arm places it) would otherwise count as the stack's end.
    constexpr std::size_t reservation = std::size_t{64} << 20;
    auto* const area = static_cast<unsigned char*>(
        mmap(nullptr, reservation, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0));
    if (area == MAP_FAILED || mprotect(area, 4096, PROT_READ) != 0) return 98;
    reinterpret_cast<void (*)()>(area)();
  } else if (scenario == "illegal-instruction") {
    __builtin_trap();
  } else if (scenario == "raise-segv") {
    raise(SIGSEGV);
  } else if (scenario == "raise-int") {
    raise(SIGINT);
  } else if (scenario == "raise-term") {
    raise(SIGTERM);
  } else if (scenario == "raise-abort") {
    raise(SIGABRT);
  } else if (scenario == "recursion") {
    recurse(0, static_cast<unsigned long>(-1) - static_cast<unsigned long>(argc));
  } else if (scenario == "recursion-large-frames") {
    recurseLargeFrames(0, static_cast<unsigned long>(-1) - static_cast<unsigned long>(argc));
  } else if (scenario == "fp-zero-divide") {
    extended::divide(extendedOne(), extended::positiveZero);
  } else if (scenario == "fp-overflow") {
    extended::multiply(extendedHuge(), extendedHuge());
  } else if (scenario == "fp-invalid") {
    extended::subtract(extended::positiveInfinity, extended::positiveInfinity);
  } else {
    marker("unknown scenario\n");
    return 99;
  }
  writeBytes(ConsoleOut, "after", 5);
  terminateProgram();
}
