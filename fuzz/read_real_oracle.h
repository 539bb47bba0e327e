// Shared by the real-number reader's fuzz targets: the run-time's
// floating-point environment, and an independent expectation, the number
// grammar as a table-driven automaton, which tells where the first byte that
// cannot continue a number stands.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "extended/fpu_environment.h"
#include "runtime/runtime_internal.h"
#include "textio/text_stream.h"
#include "textio/text_stream_internal.h"

namespace readrealfuzz {

// Loads the control word the run-time loads at start-up, once; overflow traps
// are ignored and let the operation finish with infinity.
inline void useProgramEnvironmentOnce() {
  static const bool loaded = [] {
    extended::resetEnvironment();
    extended::loadControlWord(defaultFpuControlAtLoad);
    static constexpr extended::TrapHook ignoreTraps = {[](std::uint32_t, std::uintptr_t) {}};
    extended::setTrapHook(&ignoreTraps);
    return true;
  }();
  (void)loaded;
}

// A stream of a fuzz target in `mode`, with `flags`, over its own buffer and
// `transfer`; its other slots do nothing. The slots of a stream reading a
// file serve a writing one too: its transfer takes the buffer.
inline void makeFuzzStream(TextStream& stream, std::uint16_t mode, std::uint16_t flags,
                           StreamOperation transfer) {
  stream = TextStream{};
  setInputSlots(stream, transfer, noOperation);
  stream.mode = mode;
  stream.flags = flags;
}

inline void check(bool condition) {
  if (!condition) std::abort();
}

// States of the automaton over the bytes of a text (the terminating zero
// included).
enum State : std::uint8_t {
  leadingSpaces,
  afterSign,
  integerDigits,
  fractionDigits,  // after the point
  exponentLetter,
  exponentSign,
  exponentDigits,
  accepted,
  rejected,
};

enum ByteClass : std::uint8_t { space, sign, digit, point, letterE, terminator, other };

inline ByteClass classOf(std::uint8_t byte) {
  if (byte == ' ') return space;
  if (byte == '+' || byte == '-') return sign;
  if (byte >= '0' && byte <= '9') return digit;
  if (byte == '.') return point;
  if (byte == 'e' || byte == 'E') return letterE;
  if (byte == 0) return terminator;
  return other;
}

// transitions[state][class]
inline constexpr State transitions[7][7] = {
    // space        sign          digit           point           letterE         terminator other
    {leadingSpaces, afterSign, integerDigits, fractionDigits, exponentLetter, rejected, rejected},
    {rejected, rejected, integerDigits, fractionDigits, exponentLetter, rejected, rejected},
    {rejected, rejected, integerDigits, fractionDigits, exponentLetter, accepted, rejected},
    {rejected, rejected, fractionDigits, rejected, exponentLetter, accepted, rejected},
    {rejected, exponentSign, exponentDigits, rejected, rejected, rejected, rejected},
    {rejected, rejected, exponentDigits, rejected, rejected, rejected, rejected},
    {rejected, rejected, exponentDigits, rejected, rejected, accepted, rejected},
};

// The result code textToReal must give for the zero-terminated `text`: 0 when
// it is a number, else the 1-based position of the byte that cannot continue.
inline std::int32_t expectedCode(const std::uint8_t* text) {
  State state = leadingSpaces;
  for (std::size_t i = 0;; ++i) {
    state = transitions[state][classOf(text[i])];
    if (state == accepted) return 0;
    if (state == rejected) return static_cast<std::int32_t>(i + 1);
  }
}

}  // namespace readrealfuzz
