/* A C program of libquadsolve: answers standard input's lines as
 * quadsolve-batch does, through a stream object, and tells on standard error
 * how many lines it answered and which error came first. Its exit status is
 * that code (0 when every line got a result). */
#include <quadsolve.h>
#include <stdio.h>

int main(void) {
  static char input[1 << 16], output[1 << 16];
  qs_stream* stream = qs_stream_create();
  if (stream == NULL) return 1;
  size_t length, used, written;
  while ((length = fread(input, 1, sizeof input, stdin)) > 0) {
    for (size_t at = 0; at < length; at += used) {
      qs_stream_feed(stream, input + at, length - at, &used, output, sizeof output, &written);
      fwrite(output, 1, written, stdout);
    }
  }
  qs_stream_finish(stream, output, sizeof output, &written);
  fwrite(output, 1, written, stdout);
  qs_stream_counts counts;
  qs_stream_get_counts(stream, &counts);
  qs_stream_destroy(stream);
  int abi = 0;
  const char* version = qs_version(&abi);
  fprintf(stderr, "libquadsolve %s (ABI %d): %llu lines, %llu errors, first %d\n", version, abi,
          (unsigned long long)counts.lines, (unsigned long long)counts.errors, counts.first_error);
  return counts.first_error;
}
