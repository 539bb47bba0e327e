/* Answers standard input's lines through one of the library's paths:
 *   answer_lines text     each line by qs_solve_text
 *   answer_lines values   each line's three numbers read by qs_text_to_extended
 *                         and stored by qs_to_double, then qs_solve_values;
 *                         "error ccc" for a line that the reader or the
 *                         solver fails
 *   answer_lines stream   all of it through a stream object, in chunks of
 *                         sizes that vary from 1 to 4096 bytes */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "quadsolve.h"

static char* readAll(size_t* length) {
  size_t capacity = 1 << 20;
  char* bytes = malloc(capacity);
  *length = 0;
  for (size_t got; bytes && (got = fread(bytes + *length, 1, capacity - *length, stdin)) > 0;) {
    *length += got;
    if (*length == capacity) bytes = realloc(bytes, capacity *= 2);
  }
  return bytes;
}

/* A reader's failure of a line: a trap (the store's overflow) ends the record
 * at once, a malformed number only at the statement's end. */
static int valuesAnswer(const char* line, size_t length, char* out) {
  double coefficients[3];
  int trap = 0, malformed = 0;
  size_t at = 0;
  for (int index = 0; index < 3; ++index) {
    qs_environment env = {QS_PROGRAM_CONTROL_WORD, 0};
    qs_extended value;
    size_t used = 0;
    int code = qs_text_to_extended(line + at, length - at, &value, &used);
    at += used;
    if (code == QS_MALFORMED_NUMBER)
      malformed = code;
    else if (code != 0 && trap == 0)
      trap = code;
    code = qs_to_double(&env, value, &coefficients[index]);
    if (code != 0 && trap == 0) trap = code;
  }
  qs_solution solution;
  int code = trap ? trap : malformed;
  if (code == 0)
    code = qs_solve_values(coefficients[0], coefficients[1], coefficients[2], QS_ROOT_TEXTS,
                           &solution);
  if (code != 0) return sprintf(out, "error %d\r\n", code);
  int written = sprintf(out, "%d", solution.outcome);
  for (int index = 0; index < solution.root_count; ++index) {
    written += sprintf(out + written, " %s", solution.texts[index]);
  }
  return written + sprintf(out + written, "\r\n");
}

static void answerStream(const char* input, size_t length) {
  qs_stream* stream = qs_stream_create();
  static char output[1 << 16];
  size_t chunk = 1, written = 0;
  for (size_t at = 0; at < length;) {
    size_t size = chunk < length - at ? chunk : length - at, used = 0;
    qs_stream_feed(stream, input + at, size, &used, output, sizeof output, &written);
    fwrite(output, 1, written, stdout);
    at += used;
    chunk = chunk * 7 % 4096 + 1;
  }
  qs_stream_finish(stream, output, sizeof output, &written);
  fwrite(output, 1, written, stdout);
  qs_stream_destroy(stream);
}

int main(int argc, char** argv) {
  size_t length = 0;
  char* input = readAll(&length);
  if (input == NULL || argc != 2) return 2;
  if (strcmp(argv[1], "stream") == 0) {
    answerStream(input, length);
    free(input);
    return 0;
  }
  const int values = strcmp(argv[1], "values") == 0;
  for (size_t at = 0; at < length;) {
    const char* end = memchr(input + at, '\n', length - at);
    const size_t size = end ? (size_t)(end - input) + 1 - at : length - at;
    char answer[2 * QS_TEXT_CAPACITY];
    size_t written = 0;
    if (values) {
      written = (size_t)valuesAnswer(input + at, size, answer);
    } else {
      qs_solve_text(input + at, size, answer, sizeof answer, &written, 1);
    }
    fwrite(answer, 1, written, stdout);
    at += size;
  }
  free(input);
  return 0;
}
