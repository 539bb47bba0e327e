// The stream object: records in chunks of any size, in constant memory.
//
// A line's bytes gather in a bounded area. Its answer depends only on its
// bytes up to the end of its third token and the byte after it (or up to a
// byte 26, which ends the input); blanks (bytes 0 to 32 but the line feed
// and byte 26) are interchangeable and a run of them reads as one; and a
// token longer than the reader's limit is malformed whatever follows its
// first limit + 1 bytes. So when the area fills, it is compacted by those
// rules, and once the answer is settled the rest of the line is skipped up
// to its line feed: the answer stays exactly the one of the whole line.
#include <cstdlib>
#include <cstring>
#include <new>

#include "library/quadsolve.h"
#include "library/record_call.h"
#include "textio/number_conversions.h"

namespace {

constexpr std::uint8_t lineFeed = 10;
constexpr std::uint8_t endOfInputByte = 26;
constexpr std::uint8_t lastBlankByte = 32;
constexpr int coefficientCount = 3;
// A compacted line holds at most a blank, then three tokens of the limit + 1
// bytes each with a blank after each: room enough, with more to spare.
constexpr std::uint32_t lineCapacity = 256;
static_assert(lineCapacity > 1 + coefficientCount * (maxTokenLength + 2));

}  // namespace

struct qs_stream {
  std::uint8_t line[lineCapacity];
  std::uint32_t length;
  bool settled;  // the line's answer no longer depends on its bytes to come
  qs_stream_counts counts;
};

namespace {

bool isBlank(std::uint8_t byte) {
  return byte <= lastBlankByte && byte != lineFeed && byte != endOfInputByte;
}

// Compacts the line in place by the rules above; marks it settled when its
// answer is.
void compact(qs_stream& stream) {
  std::uint32_t kept = 0;
  std::uint32_t tokenLength = 0;
  int tokens = 0;
  bool afterBlank = false;
  for (std::uint32_t index = 0; index < stream.length && !stream.settled; ++index) {
    const std::uint8_t byte = stream.line[index];
    if (byte == endOfInputByte) {
      stream.line[kept++] = byte;
      stream.settled = true;
    } else if (isBlank(byte)) {
      if (tokenLength > 0 && ++tokens == coefficientCount) stream.settled = true;
      tokenLength = 0;
      if (!afterBlank) stream.line[kept++] = byte;
      afterBlank = true;
    } else {
      afterBlank = false;
      if (tokenLength++ <= static_cast<std::uint32_t>(maxTokenLength)) stream.line[kept++] = byte;
    }
  }
  stream.length = kept;
}

// Answers the gathered line into `output` and counts it; the line is empty
// again afterwards.
size_t answerGathered(qs_stream& stream, char* output) {
  library::AnswerLine answer;
  const std::uint8_t code = library::answerLine(stream.line, stream.length, answer);
  std::memcpy(output, answer.bytes, answer.length);
  qs_stream_counts& counts = stream.counts;
  ++counts.lines;
  if (code != 0) {
    ++counts.errors;
    if (counts.first_error == 0) counts.first_error = code;
  } else {
    // The result line starts with its outcome, -1 to 3.
    ++counts.outcomes[answer.bytes[0] == '-' ? 0 : answer.bytes[0] - '0' + 1];
  }
  stream.length = 0;
  stream.settled = false;
  return answer.length;
}

// Adds bytes of a line that has not ended yet.
void gather(qs_stream& stream, const std::uint8_t* bytes, size_t count) {
  while (count > 0 && !stream.settled) {
    if (stream.length == lineCapacity) {
      compact(stream);
      continue;
    }
    const size_t room = lineCapacity - stream.length;
    const size_t taken = count < room ? count : room;
    std::memcpy(stream.line + stream.length, bytes, taken);
    stream.length += static_cast<std::uint32_t>(taken);
    bytes += taken;
    count -= taken;
  }
}

}  // namespace

qs_stream* qs_stream_create(void) {
  void* storage = std::malloc(sizeof(qs_stream));
  if (storage == nullptr) return nullptr;
  return new (storage) qs_stream{};
}

void qs_stream_destroy(qs_stream* stream) {
  std::free(stream);
}

int qs_stream_feed(qs_stream* stream, const void* input, size_t input_length, size_t* input_used,
                   char* output, size_t output_capacity, size_t* output_length) {
  if (stream == nullptr || (input == nullptr && input_length != 0) || input_used == nullptr ||
      output == nullptr || output_length == nullptr) {
    return QS_ERROR_ARGUMENT;
  }
  if (output_capacity < QS_ANSWER_CAPACITY) return QS_ERROR_SPACE;
  const auto* bytes = static_cast<const std::uint8_t*>(input);
  size_t used = 0;
  size_t written = 0;
  while (used < input_length) {
    const void* found = std::memchr(bytes + used, lineFeed, input_length - used);
    const size_t end = found != nullptr
                           ? static_cast<size_t>(static_cast<const std::uint8_t*>(found) - bytes)
                           : input_length;
    gather(*stream, bytes + used, end - used);
    used = end;
    if (found == nullptr) break;
    if (output_capacity - written < QS_ANSWER_CAPACITY) break;
    // The line feed ends the record as it would in the batch program's input.
    gather(*stream, &lineFeed, 1);
    ++used;
    written += answerGathered(*stream, output + written);
  }
  *input_used = used;
  *output_length = written;
  return QS_OK;
}

int qs_stream_finish(qs_stream* stream, char* output, size_t output_capacity,
                     size_t* output_length) {
  if (stream == nullptr || output == nullptr || output_length == nullptr) {
    return QS_ERROR_ARGUMENT;
  }
  if (output_capacity < QS_ANSWER_CAPACITY) return QS_ERROR_SPACE;
  // A last line without its line feed is a record of its own.
  const bool pending = stream->length > 0 || stream->settled;
  *output_length = pending ? answerGathered(*stream, output) : 0;
  return QS_OK;
}

void qs_stream_get_counts(const qs_stream* stream, qs_stream_counts* counts) {
  if (stream != nullptr && counts != nullptr) *counts = stream->counts;
}
