/* The floor for one run of quadsolve: a static C program that makes the same
 * reads and writes with raw read and write calls and does nothing else. For
 * the input "1 -3 2\n\n" with standard output a character device (/dev/null,
 * as bench/whole_run.sh runs it) quadsolve writes each line as it ends: the
 * empty line, then reads the input in requests of up to 128 bytes until its
 * two lines have ended, then writes the result line. Built by
 * bench/whole_run.sh with gcc -O2 -static. */
#include <unistd.h>

enum { requestSize = 128, linesRead = 2 };

static const char emptyLine[] = "\r\n";
static const char resultLine[] = "2 1.00 2.00\r\n";

int main(void) {
  char buffer[requestSize];
  int lineEnds = 0;
  ssize_t count;
  if (write(STDOUT_FILENO, emptyLine, sizeof emptyLine - 1) < 0) return 1;
  while (lineEnds < linesRead && (count = read(STDIN_FILENO, buffer, sizeof buffer)) > 0) {
    for (ssize_t i = 0; i < count; ++i) lineEnds += buffer[i] == '\n';
  }
  if (write(STDOUT_FILENO, resultLine, sizeof resultLine - 1) < 0) return 1;
  return 0;
}
