#include "tests/extended/x87_reference.h"

#if defined(__x86_64__) || defined(__i386__)

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

namespace x87test {

namespace {

// The 108-byte image of FNSAVE in 32-bit protected-mode layout: environment,
// then the registers in stack order ST(0) to ST(7).
struct SavedState {
  std::uint16_t control;
  std::uint16_t reserved0;
  std::uint16_t status;
  std::uint16_t reserved1;
  std::uint16_t tag;
  std::uint16_t reserved2;
  std::uint32_t instructionPointer;
  std::uint32_t instructionSelector;
  std::uint32_t operandPointer;
  std::uint32_t operandSelector;
  std::uint8_t registers[8][10];
};
static_assert(sizeof(SavedState) == 108);

constexpr std::uint16_t statusC0 = 0x0100;
constexpr std::uint16_t statusC2 = 0x0400;
constexpr std::uint16_t statusC3 = 0x4000;

struct MemoryImage {
  std::uint8_t bytes[10];
};

MemoryImage imageOf(Extended x) {
  MemoryImage image;
  std::memcpy(image.bytes, &x.significand, 8);
  std::memcpy(image.bytes + 8, &x.signExponent, 2);
  return image;
}

Extended extendedFrom(const std::uint8_t bytes[10]) {
  Extended x;
  std::memcpy(&x.significand, bytes, 8);
  std::memcpy(&x.signExponent, bytes + 8, 2);
  return x;
}

// What one instruction sequence leaves: the saved unit and an integer
// destination in memory (for stores to double and to int64).
struct RawResult {
  SavedState state;
  std::uint64_t memory;
};

// Every sequence starts from a clean unit (FNINIT: empty stack, flags clear),
// loads the control word and ends with TAIL: FNSAVE, which also reinitialises
// the unit, optionally after an FWAIT that delivers a pending unmasked
// exception. The x87 registers are declared clobbered.
#define X87_CLOBBERS \
  "memory", "st", "st(1)", "st(2)", "st(3)", "st(4)", "st(5)", "st(6)", "st(7)", "fpsr"
#define X87_TAIL_SAVE "fnsave %[state]\n\t"
#define X87_TAIL_WAIT "fwait\n\tfnsave %[state]\n\t"

// `a op= b` with ST(0) = a the destination and ST(1) = b the source, as
// `fld a; fop b` would compute it. FCOMPP compares ST(0) = a with ST(1) = b:
// an ordered comparison, invalid on any NaN, quiet or signalling.
#define X87_BINARY(instruction, TAIL)                           \
  asm volatile(                                                 \
      "fninit\n\t"                                              \
      "fldcw %[cw]\n\t"                                         \
      "fldt %[b]\n\t"                                           \
      "fldt %[a]\n\t" instruction "\n\t" TAIL                   \
      : [state] "=m"(raw.state)                                 \
      : [cw] "m"(controlWord), [a] "m"(aImage), [b] "m"(bImage) \
      : X87_CLOBBERS)

#define X87_UNARY(instruction, TAIL)           \
  asm volatile(                                \
      "fninit\n\t"                             \
      "fldcw %[cw]\n\t"                        \
      "fldt %[a]\n\t" instruction "\n\t" TAIL  \
      : [state] "=m"(raw.state)                \
      : [cw] "m"(controlWord), [a] "m"(aImage) \
      : X87_CLOBBERS)

#define X87_LOAD(instruction, TAIL)                       \
  asm volatile(                                           \
      "fninit\n\t"                                        \
      "fldcw %[cw]\n\t" instruction " %[source]\n\t" TAIL \
      : [state] "=m"(raw.state)                           \
      : [cw] "m"(controlWord), [source] "m"(scalar)       \
      : X87_CLOBBERS)

#define X87_STORE(instruction, TAIL)                            \
  asm volatile(                                                 \
      "fninit\n\t"                                              \
      "fldcw %[cw]\n\t"                                         \
      "fldt %[a]\n\t" instruction " %[destination]\n\t" TAIL    \
      : [state] "=m"(raw.state), [destination] "+m"(raw.memory) \
      : [cw] "m"(controlWord), [a] "m"(aImage)                  \
      : X87_CLOBBERS)

#define X87_SEQUENCES(TAIL)                   \
  switch (op) {                               \
    case Operation::add:                      \
      X87_BINARY("fadd %%st(1), %%st", TAIL); \
      break;                                  \
    case Operation::subtract:                 \
      X87_BINARY("fsub %%st(1), %%st", TAIL); \
      break;                                  \
    case Operation::multiply:                 \
      X87_BINARY("fmul %%st(1), %%st", TAIL); \
      break;                                  \
    case Operation::divide:                   \
      X87_BINARY("fdiv %%st(1), %%st", TAIL); \
      break;                                  \
    case Operation::compare:                  \
      X87_BINARY("fcompp", TAIL);             \
      break;                                  \
    case Operation::squareRoot:               \
      X87_UNARY("fsqrt", TAIL);               \
      break;                                  \
    case Operation::roundToInteger:           \
      X87_UNARY("frndint", TAIL);             \
      break;                                  \
    case Operation::negate:                   \
      X87_UNARY("fchs", TAIL);                \
      break;                                  \
    case Operation::absolute:                 \
      X87_UNARY("fabs", TAIL);                \
      break;                                  \
    case Operation::fromDouble:               \
      X87_LOAD("fldl", TAIL);                 \
      break;                                  \
    case Operation::fromInt64:                \
      X87_LOAD("fildll", TAIL);               \
      break;                                  \
    case Operation::toDouble:                 \
      X87_STORE("fstpl", TAIL);               \
      break;                                  \
    case Operation::toInt64:                  \
      X87_STORE("fistpll", TAIL);             \
      break;                                  \
  }

// The x87 sequence of `op` on the operands' memory images.
RawResult execute(Operation op, const Operands& x, std::uint16_t controlWord, bool wait) {
  RawResult raw{};
  raw.memory = 0xA5A5A5A5A5A5A5A5u;  // shows a store that did not happen
  const MemoryImage aImage = imageOf(x.a);
  const MemoryImage bImage = imageOf(x.b);
  const std::uint64_t scalar = x.a.significand;
  if (wait) {
    X87_SEQUENCES(X87_TAIL_WAIT)
  } else {
    X87_SEQUENCES(X87_TAIL_SAVE)
  }
  return raw;
}

void exitWithSignalCode(int, siginfo_t* info, void*) {
  _exit(100 + info->si_code);
}

}  // namespace

Outcome runOnX87(Operation op, const Operands& x, std::uint16_t controlWord) {
  const RawResult raw = execute(op, x, controlWord, false);
  Outcome out;
  const std::uint16_t status = raw.state.status;
  out.flags = status & extended::exceptionMaskBits;
  out.trapCode = priorityCode(out.flags & ~controlWord & extended::exceptionMaskBits);
  switch (op) {
    case Operation::toDouble:
    case Operation::toInt64:
      out.value = Extended{raw.memory, 0};
      break;
    case Operation::compare: {
      extended::Comparison c = extended::Comparison::greater;
      const std::uint16_t codes = status & (statusC0 | statusC2 | statusC3);
      if (codes == (statusC0 | statusC2 | statusC3)) {
        c = extended::Comparison::unordered;
      } else if (codes == statusC3) {
        c = extended::Comparison::equal;
      } else if (codes == statusC0) {
        c = extended::Comparison::less;
      }
      out.value = Extended{static_cast<std::uint64_t>(c), 0};
      break;
    }
    default:
      out.value = extendedFrom(raw.state.registers[0]);
      break;
  }
  return out;
}

int sigfpeCodeOnX87(Operation op, const Operands& x, std::uint16_t controlWord) {
  const pid_t child = fork();
  if (child == 0) {
    struct sigaction action {};
    action.sa_sigaction = exitWithSignalCode;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    sigaction(SIGFPE, &action, nullptr);
    execute(op, x, controlWord, true);
    _exit(0);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child) return -1;
  if (!WIFEXITED(status)) return -1;
  const int code = WEXITSTATUS(status);
  if (code == 0) return 0;
  return code >= 100 ? code - 100 : -1;
}

}  // namespace x87test

#else

namespace x87test {

Outcome runOnX87(Operation, const Operands&, std::uint16_t) {
  return Outcome{};
}
int sigfpeCodeOnX87(Operation, const Operands&, std::uint16_t) {
  return -1;
}

}  // namespace x87test

#endif
