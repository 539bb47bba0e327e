// A program linked as the release program is (without the C library, started
// by the platform layer's own start-up), for the tests of what that start-up
// sets up. The scenario is the first byte of standard input; every scenario
// first writes an empty line and "held" to ConsoleOut, which holds them when
// standard output is a file or a pipe:
//   s   overruns a local buffer with the rest of the input: the stack check
//       ends the process before anything held is written
//   d   divides an integer by zero: run-time error 200 where the processor,
//       or on 32-bit ARM libgcc's division routine, reports it
//   n   ends normally
#include <cstdint>

#include "platform/platform.h"
#include "runtime/runtime_internal.h"
#include "textio/text_stream.h"

namespace {

[[gnu::noinline]] void overrun(const unsigned char* bytes, std::uint32_t count) {
  unsigned char buffer[16];
  for (std::uint32_t index = 0; index < count; ++index) buffer[index] = bytes[index];
  __asm__ volatile("" : : "r"(buffer) : "memory");
}

}  // namespace

int main() {
  consoleMode = true;
  initRuntime(startupTable);
  unsigned char input[256];
  std::uint32_t count = 0;
  platform::readFile(platform::standardHandle(platform::StandardHandle::input), input, sizeof input,
                     count);
  writeLine(ConsoleOut);
  writeBytes(ConsoleOut, "held", 4);
  ioCheck();
  if (count > 0 && input[0] == 's') {
    overrun(input, count);
  } else if (count > 0 && input[0] == 'd') {
    volatile int dividend = static_cast<int>(count);
    volatile int zero = 0;
    volatile int quotient = dividend / zero;
    static_cast<void>(quotient);
  }
  terminateProgram();
}
