/* The library's paths over standard input's lines, for bench/library_run.sh:
 *   library_meter text     each line by qs_solve_text, the answers to
 *                          standard output
 *   library_meter values   each line's numbers read into doubles as the
 *                          reader makes them (qs_text_to_extended,
 *                          qs_to_double), then every line's doubles by
 *                          qs_solve_values, the outcomes to standard output
 *   library_meter values-texts   the same, the roots' texts asked for too
 * callgrind counts the instructions of qs_solve_text and qs_solve_values
 * alone (--toggle-collect). */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "quadsolve.h"

enum { lineCapacity = 4096 };

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const int values = strncmp(argv[1], "values", strlen("values")) == 0;
  const unsigned options = strcmp(argv[1], "values-texts") == 0 ? QS_ROOT_TEXTS : 0;
  static char line[lineCapacity];
  char answer[QS_ANSWER_CAPACITY];
  size_t count = 0, capacity = 1024;
  double* coefficients = malloc(3 * capacity * sizeof(double));
  while (coefficients != NULL && fgets(line, sizeof line, stdin) != NULL) {
    const size_t length = strlen(line);
    if (!values) {
      size_t written = 0;
      qs_solve_text(line, length, answer, sizeof answer, &written, 1);
      fwrite(answer, 1, written, stdout);
      continue;
    }
    if (count == capacity)
      coefficients = realloc(coefficients, 3 * (capacity *= 2) * sizeof(double));
    size_t at = 0;
    for (int index = 0; index < 3 && coefficients != NULL; ++index) {
      qs_environment env = {QS_PROGRAM_CONTROL_WORD, 0};
      qs_extended value;
      size_t used = 0;
      qs_text_to_extended(line + at, length - at, &value, &used);
      qs_to_double(&env, value, &coefficients[3 * count + index]);
      at += used;
    }
    ++count;
  }
  if (coefficients == NULL) return 1;
  for (size_t index = 0; index < count; ++index) {
    qs_solution solution;
    const double* abc = coefficients + 3 * index;
    const int code = qs_solve_values(abc[0], abc[1], abc[2], options, &solution);
    printf("%d %d\n", code, solution.outcome);
  }
  free(coefficients);
  return 0;
}
