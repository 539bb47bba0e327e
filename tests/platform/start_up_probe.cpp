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
//   b   writes the load bias in hexadecimal
//   h   writes "handled" when, before the run-time has started, the signal of
//       a fault already has a handler on an alternate stack
//   w   writes a byte right below the alternate stack, where its guard lies:
//       run-time error 216
#include <cstdint>

#include "platform/linux_program_image.h"
#include "platform/linux_system_calls.h"
#include "platform/platform.h"
#include "runtime/runtime_internal.h"
#include "textio/text_stream.h"

#if defined(__aarch64__) || defined(__arm__) || defined(__riscv)
extern "C" std::uintptr_t __stack_chk_guard;
#endif

namespace {

// The guard where the compiler's checks read it (linux_start.cpp sets it).
std::uintptr_t stackGuard() {
#if defined(__x86_64__)
  std::uintptr_t value;
  __asm__("movq %%fs:0x28, %0" : "=r"(value));
  return value;
#elif defined(__s390x__)
  return *reinterpret_cast<const std::uintptr_t*>(
      static_cast<const unsigned char*>(__builtin_thread_pointer()) + 0x28);
#elif defined(__powerpc64__)
  return *reinterpret_cast<const std::uintptr_t*>(
      static_cast<const unsigned char*>(__builtin_thread_pointer()) - 0x7010);
#else
  return __stack_chk_guard;
#endif
}

void writeHex(const unsigned char* bytes, std::uint32_t count) {
  static constexpr char digits[] = "0123456789abcdef";
  for (std::uint32_t index = 0; index < count; ++index) {
    const char pair[2] = {digits[bytes[index] >> 4], digits[bytes[index] & 0xF]};
    writeBytes(ConsoleOut, pair, 2);
  }
}

bool faultHandledBeforeRunTime() {
  namespace kernel = platform::kernel;
  kernel::SignalAction action{};
  kernel::SignalStack stack{};
  return !kernel::failed(kernel::setSignalAction(kernel::signalSegment, nullptr, &action)) &&
         action.handler != kernel::handlerDefault && (action.flags & kernel::actionOnStack) != 0 &&
         !kernel::failed(kernel::call(kernel::Call::signalStack, nullptr, &stack)) &&
         stack.size > 0;
}

[[gnu::noinline]] void overrun(const unsigned char* bytes, std::uint32_t count) {
  unsigned char buffer[16];
  for (std::uint32_t index = 0; index < count; ++index) buffer[index] = bytes[index];
  __asm__ volatile("" : : "r"(buffer) : "memory");
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
    const std::uintptr_t guard = stackGuard();
    writeHex(reinterpret_cast<const unsigned char*>(&guard), sizeof guard);
  } else if (count > 0 && input[0] == 'b') {
    const std::uintptr_t bias = platform::image::loadBias();
    unsigned char bytes[sizeof bias];
    for (std::size_t index = 0; index < sizeof bias; ++index) {
      bytes[index] = static_cast<unsigned char>(bias >> (8 * (sizeof bias - 1 - index)));
    }
    writeHex(bytes, sizeof bytes);
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
