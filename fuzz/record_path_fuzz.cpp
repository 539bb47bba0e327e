// Fuzz target: quadsolve-batch's record path against the one-shot path. The
// input is a batch input; its first byte chooses how many bytes each read of
// the source delivers (1 to 256), so that lines and tokens cross the
// source's blocks anywhere. The records are read through RecordIn from one
// source over the whole input; each is then read alone, with a line feed, by
// a stream of its own, as quadsolve's standard input would hold it. Both run
// the record's statements; every record must give one line, the same line,
// addresses in error lines aside (they name each path's own calls).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/read_real_oracle.h"
#include "runtime/runtime_internal.h"
#include "solver/batch_record.h"
#include "textio/record_input.h"
#include "textio/text_stream.h"

namespace {

using readrealfuzz::check;

constexpr std::uint8_t lineFeed = 10;
constexpr std::uint32_t maxChunk = 256;

// What ConsoleOut wrote.
std::string written;

std::uint32_t captureOutput(TextStream& stream) {
  written.append(reinterpret_cast<const char*>(stream.bufPtr), stream.bufPos);
  stream.bufPos = 0;
  return 0;
}

// The bytes that a stream's reads deliver, `chunk` at most each.
struct Content {
  const std::uint8_t* bytes;
  std::size_t size;
  std::size_t read;
};
Content content;
std::uint32_t chunk = 1;

std::uint32_t readContent(TextStream& stream) {
  const std::size_t count =
      std::min<std::size_t>({stream.bufSize, chunk, content.size - content.read});
  std::memcpy(stream.bufPtr, content.bytes + content.read, count);
  content.read += count;
  stream.bufPos = 0;
  stream.bufEnd = static_cast<std::uint32_t>(count);
  return 0;
}

// What a stream over `bytes` gives through `answer`, ConsoleOut's output.
template <typename Answer>
std::string answerOver(const std::uint8_t* bytes, std::size_t size, Answer answer) {
  content = {bytes, size, 0};
  readrealfuzz::makeFuzzStream(ConsoleOut, modeOutput, crLfStyle, captureOutput);
  written.clear();
  answer();
  flushStream(ConsoleOut);
  captureOutput(ConsoleOut);
  return written;
}

// Error lines with their address masked.
std::string masked(std::string text) {
  static const std::string prefix = "Runtime error ";
  constexpr std::size_t addressOffset = 21;
  constexpr std::size_t addressLength = 8;
  for (std::size_t at = text.find(prefix); at != std::string::npos;
       at = text.find(prefix, at + 1)) {
    check(at + addressOffset + addressLength <= text.size());
    text.replace(at + addressOffset, addressLength, addressLength, 'X');
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool environment = [] {
    defaultFpuControl = defaultFpuControlAtLoad;
    return true;
  }();
  (void)environment;
  if (size == 0) return 0;
  chunk = 1 + data[0] % maxChunk;
  const std::uint8_t* const input = data + 1;
  const std::size_t inputSize = size - 1;

  // The record path over the whole input.
  static TextStream source;
  const std::string batch = answerOver(input, inputSize, [] {
    readrealfuzz::makeFuzzStream(source, modeInput, crLfStyle, readContent);
    useRecordSource(source);
    while (startInputRecord()) {
      answerRecord(RecordIn);
      check(finishInputRecord() == 0);
    }
  });

  // Each record alone.
  static TextStream alone;
  std::vector<std::uint8_t> record;
  std::size_t position = 0;
  for (std::size_t start = 0; start < inputSize;) {
    const std::uint8_t* const end = std::find(input + start, input + inputSize, lineFeed);
    record.assign(input + start, end);
    record.push_back(lineFeed);
    start = static_cast<std::size_t>(end - input) + 1;
    const std::string expected = answerOver(record.data(), record.size(), [] {
      readrealfuzz::makeFuzzStream(alone, modeInput, crLfStyle, readContent);
      answerRecord(alone);
    });
    check(expected.size() >= 2 && expected.compare(expected.size() - 2, 2, "\r\n") == 0);
    const std::size_t lineEnd = batch.find("\r\n", position);
    check(lineEnd != std::string::npos);
    check(masked(batch.substr(position, lineEnd + 2 - position)) == masked(expected));
    position = lineEnd + 2;
  }
  check(position == batch.size());
  return 0;
}
