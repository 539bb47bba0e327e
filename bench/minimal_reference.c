/* The floor for one run of quadsolve: a static C program that makes the same
 * reads and writes with raw read and write calls and does nothing else. For
 * the input "1 -3 2\n\n" with standard output redirected to a file, quadsolve
 * reads the input in requests of up to 128 bytes until its two lines have
 * ended and writes its two output lines in one request when it ends. Built by
 * bench/whole_run.sh with gcc -O2 -static. */
#include <unistd.h>

enum { requestSize = 128, linesRead = 2 };

static const char output[] = "\r\n2 1.00 2.00\r\n";

int main(void) {
  char buffer[requestSize];
  int lineEnds = 0;
  ssize_t count;
  while (lineEnds < linesRead && (count = read(STDIN_FILENO, buffer, sizeof buffer)) > 0) {
    for (ssize_t i = 0; i < count; ++i) lineEnds += buffer[i] == '\n';
  }
  if (write(STDOUT_FILENO, output, sizeof output - 1) < 0) return 1;
  return 0;
}
