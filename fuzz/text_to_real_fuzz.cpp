// Fuzz target: textToReal over arbitrary bytes (cut at the first zero byte).
// Checks, besides the sanitizers: the result code against the grammar
// automaton; the sign rules (only an accepted '-' text gives a negative
// value, never a NaN); the value on failure equals the conversion of the
// digits read so far; and an accepted short integer is exact.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "extended/extended.h"
#include "fuzz/read_real_oracle.h"
#include "textio/number_conversions.h"

using readrealfuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  readrealfuzz::useProgramEnvironmentOnce();

  // A zero-terminated copy, up to the first zero byte of the input.
  std::string text(reinterpret_cast<const char*>(data), size);
  text.resize(std::strlen(text.c_str()));
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.c_str());
  std::int32_t code = -1;
  const Extended value = textToReal(text.c_str(), code);

  check(code == readrealfuzz::expectedCode(bytes));
  check(extended::classify(value) != extended::ValueClass::nan);
  check(extended::classify(value) != extended::ValueClass::unsupported);

  // The digits the scan has taken in before it stopped (all of them on
  // success), and whether the text starts with a minus sign.
  const std::size_t stop = code == 0 ? text.size() : static_cast<std::size_t>(code - 1);
  std::string digits;
  bool hasPoint = false;
  bool hasExponent = false;
  bool minus = false;
  for (std::size_t i = 0; i < stop; ++i) {
    const char c = text[i];
    if (c == 'e' || c == 'E') hasExponent = true;
    if (c == '.') hasPoint = true;
    if (c == '-' && !hasExponent && digits.empty() && !hasPoint) minus = true;
    if (c >= '0' && c <= '9' && !hasExponent) digits += c;
  }

  if (code != 0) {
    // The unsigned, unscaled accumulator of the digits so far.
    check(!value.sign());
    std::int32_t digitsCode = -1;
    const Extended accumulator = textToReal(digits.empty() ? "0" : digits.c_str(), digitsCode);
    check(digitsCode == 0 && accumulator == value);
    return 0;
  }
  check(value.sign() == minus);
  if (digits.find_first_not_of('0') == std::string::npos) {
    check(extended::classify(value) == extended::ValueClass::zero);
  }
  if (!hasPoint && !hasExponent && digits.size() <= 18) {
    const Extended exact = extended::fromInt64(std::strtoll(digits.c_str(), nullptr, 10));
    check(value == (minus ? extended::negate(exact) : exact));
  }
  return 0;
}
