// The entry points for one equation, and the version.
#include <cstring>

#include "extended/extended.h"
#include "library/quadsolve.h"
#include "library/record_call.h"
#include "runtime/runtime.h"
#include "solver/equation.h"
#include "textio/number_conversions.h"

namespace {

constexpr std::uint32_t lineEndLength = 2;  // CR LF
constexpr std::int32_t rootWidth = 0;
constexpr std::int32_t rootDecimals = 2;

}  // namespace

const char* qs_version(int* abi) {
  if (abi != nullptr) *abi = QS_ABI_VERSION;
  return QUADSOLVE_VERSION;
}

int qs_solve_text(const char* line, size_t length, char* answer, size_t capacity,
                  size_t* answer_length, int line_end) {
  if ((line == nullptr && length != 0) || answer == nullptr || answer_length == nullptr) {
    return QS_ERROR_ARGUMENT;
  }
  if (capacity < QS_ANSWER_CAPACITY) return QS_ERROR_SPACE;
  // Only the first line counts: what follows its line feed is never read, so
  // a longer text is cut where the line cannot have ended yet.
  const void* lineFeed = length == 0 ? nullptr : std::memchr(line, '\n', length);
  const size_t lineLength = lineFeed != nullptr
                                ? static_cast<size_t>(static_cast<const char*>(lineFeed) - line) + 1
                                : length;
  if (lineLength > UINT32_MAX) return QS_ERROR_ARGUMENT;
  library::AnswerLine line_answer;
  const std::uint8_t code =
      library::answerLine(reinterpret_cast<const std::uint8_t*>(line),
                          static_cast<std::uint32_t>(lineLength), line_answer);
  const std::uint32_t shown =
      line_end != 0 ? line_answer.length : line_answer.length - lineEndLength;
  std::memcpy(answer, line_answer.bytes, shown);
  *answer_length = shown;
  return code;
}

int qs_solve_values(double a, double b, double c, unsigned options, qs_solution* solution) {
  if (solution == nullptr) return QS_ERROR_ARGUMENT;
  library::beginCall();
  setCoefficients(a, b, c);
  const ResultLine line = solveEquation();
  if (const std::uint8_t code = recordErrorCode(); code != 0) return code;
  solution->outcome = line.outcome;
  solution->root_count = line.rootCount;
  for (std::int32_t index = 0; index < 2; ++index) {
    const bool shown = index < line.rootCount;
    solution->roots[index] = shown ? line.roots[index] : 0;
    CountedText text;
    text.length = 0;
    if (shown && (options & QS_ROOT_TEXTS) != 0)
      realToText(extended::fromDouble(line.roots[index]), rootWidth, rootDecimals, text);
    std::memcpy(solution->texts[index], text.chars, text.length);
    solution->texts[index][text.length] = '\0';
  }
  return recordErrorCode();
}
