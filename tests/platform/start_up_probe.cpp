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
//   g   writes the stack guard's bytes in address order, in hexadecimal
//   b   writes, alike, the load bias and its segments' largest alignment
//   h   writes "handled" when, before the run-time has started, the signal of
//       a fault already has a handler on an alternate stack
//   w   writes a byte right below the alternate stack, where its guard lies:
//       run-time error 216
#include <cstdint>

#include "platform/linux_program_image.h"
#include "platform/linux_start.h"
#include "platform/linux_system_calls.h"
#include "platform/platform.h"
#include "runtime/runtime_internal.h"
#include "textio/text_stream.h"

namespace {

// Writes the bytes of `value` in address order, in hexadecimal.
void writeHex(std::uintptr_t value) {
  static constexpr char digits[] = "0123456789abcdef";
  const auto* bytes = reinterpret_cast<const unsigned char*>(&value);
  for (std::size_t index = 0; index < sizeof value; ++index) {
    const char pair[2] = {digits[bytes[index] >> 4], digits[bytes[index] & 0xF]};
    writeBytes(ConsoleOut, pair, 2);
  }
}

[[gnu::noinline]] void overrun(const unsigned char* bytes, std::uint32_t count) {
  unsigned char buffer[16];
  for (std::uint32_t index = 0; index < count; ++index) buffer[index] = bytes[index];
  __asm__ volatile("" : : "r"(buffer) : "memory");
}

bool faultHandledBeforeRunTime() {
  namespace kernel = platform::kernel;
  kernel::SignalAction action{};
  kernel::SignalStack stack{};
  kernel::setSignalAction(kernel::signalSegment, nullptr, &action);
  kernel::call(kernel::Call::signalStack, nullptr, &stack);
  return action.handler != kernel::handlerDefault && (action.flags & kernel::actionOnStack) != 0 &&
         stack.size > 0;
}

}  // namespace

int main() {
  const bool handledEarly = faultHandledBeforeRunTime();
  consoleMode = true;
  initRuntime(startupTable);
  unsigned char input[256];
  std::uint32_t count = 0;
  platform::readFile(platform::standardHandle(platform::StandardHandle::input), input, sizeof input,
                     count);
  writeLine(ConsoleOut);
  writeBytes(ConsoleOut, "held", 4);
  ioCheck();
  if (count > 0 && input[0] == 'g') {
    writeHex(platform::stackGuard());
  } else if (count > 0 && input[0] == 'b') {
    std::uintptr_t alignment = 0;
    for (std::size_t index = 0; index < platform::image::segmentCount(); ++index) {
      const auto& segment = platform::image::segments()[index];
      if (segment.p_type == PT_LOAD && segment.p_align > alignment) alignment = segment.p_align;
    }
    writeHex(platform::image::loadBias());
    writeHex(alignment);
  } else if (count > 0 && input[0] == 'w') {
    platform::kernel::SignalStack stack{};
    platform::kernel::call(platform::kernel::Call::signalStack, nullptr, &stack);
    *(static_cast<volatile unsigned char*>(stack.base) - 1) = 0;
  } else if (count > 0 && input[0] == 'h') {
    if (handledEarly) writeBytes(ConsoleOut, "handled", 7);
  } else if (count > 0 && input[0] == 's') {
    overrun(input, count);
  } else if (count > 0 && input[0] == 'd') {
    volatile int dividend = static_cast<int>(count);
    volatile int zero = 0;
    volatile int quotient = dividend / zero;
    static_cast<void>(quotient);
  }
  terminateProgram();
}
