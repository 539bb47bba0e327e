/* quadsolve as a library: the batch program's answers, its number
 * conversions and its 80-bit arithmetic, callable from C99 and C++.
 *
 * Every call answers exactly as quadsolve-batch does: the same result and
 * error lines, the same digits, the same flags. Nothing here ends the
 * process, installs a handler, writes to a standard stream or keeps state
 * that another thread sees: each thread has its own, and a stream object is
 * its creator's. Failures come back as the codes of the table below
 * (doc/library.md has it too). */
#ifndef QUADSOLVE_H
#define QUADSOLVE_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32) && !defined(QS_STATIC)
#ifdef QS_BUILDING
#define QS_API __declspec(dllexport)
#else
#define QS_API __declspec(dllimport)
#endif
#else
#define QS_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Codes ----
 * 0 is success. The positive codes are the programs' run-time error codes,
 * as an error line shows them; the negative ones are the library's own. */
enum qs_code {
  QS_OK = 0,
  QS_MALFORMED_NUMBER = 106,  /* a token that is no number */
  QS_DIVISION_BY_ZERO = 200,  /* unmasked division by zero */
  QS_FLOAT_OVERFLOW = 205,    /* unmasked overflow (also a store) */
  QS_FLOAT_UNDERFLOW = 206,   /* unmasked underflow or denormal operand */
  QS_INVALID_OPERATION = 207, /* unmasked invalid operation or precision */
  QS_ERROR_ARGUMENT = -1,     /* a null pointer or a value out of range */
  QS_ERROR_SPACE = -2         /* the output area is too small */
};

/* The longest answer line, CR LF included, and the longest number text
 * (the writer never makes more than 255 characters; one more for the zero). */
#define QS_ANSWER_CAPACITY 128
#define QS_TEXT_CAPACITY 256

/* ---- Version ---- */
#define QS_ABI_VERSION 1
/* The library's version ("1.0.0"); *abi (when not null) gets its ABI number,
 * the number in the shared library's name. */
QS_API const char* qs_version(int* abi);

/* ---- One equation from text ----
 * Answers the record `line` (its first `length` bytes, up to and including
 * its first line feed; bytes after that are not looked at): writes the
 * result line or the run-time error line to `answer`, with its CR LF when
 * `line_end` is nonzero, and its length to *answer_length (no terminating
 * zero is added; `capacity` must be at least QS_ANSWER_CAPACITY). Returns
 * the record's code: 0 for a result line, the error line's code otherwise.
 * The address in an error line is a place in this library's code. An empty
 * line (no byte at all) is answered as a line feed alone is. */
QS_API int qs_solve_text(const char* line, size_t length, char* answer, size_t capacity,
                         size_t* answer_length, int line_end);

/* ---- One equation from values ---- */
enum qs_outcome {
  QS_DEGENERATE = -1, /* a = 0 and b = 0 */
  QS_NO_REAL_ROOTS = 0,
  QS_LINEAR = 1,     /* one root */
  QS_TWO_ROOTS = 2,  /* smaller first */
  QS_DOUBLE_ROOT = 3 /* one root */
};
typedef struct qs_solution {
  int outcome;                     /* an enum qs_outcome */
  int root_count;                  /* 0, 1 or 2 */
  double roots[2];                 /* in the result line's order */
  char texts[2][QS_TEXT_CAPACITY]; /* as the result line writes them, zero-terminated */
} qs_solution;
/* Solves a·x² + b·x + c = 0 for coefficients already stored as doubles (what
 * the reader makes of a line's tokens). With QS_ROOT_TEXTS in `options` the
 * texts are filled too (the writer's work, most of a call's cost); without,
 * they are empty. Returns 0, or the code of the processor exception that the
 * computation raised unmasked; `solution` is then unspecified. */
#define QS_ROOT_TEXTS 1u
QS_API int qs_solve_values(double a, double b, double c, unsigned options, qs_solution* solution);

/* ---- Many lines ----
 * A stream of records in chunks of any size, a line allowed to span chunks,
 * answered as quadsolve-batch answers its input. Its memory is fixed at
 * creation, whatever the lines' lengths. */
typedef struct qs_stream qs_stream;
typedef struct qs_stream_counts {
  uint64_t lines;       /* records answered */
  uint64_t outcomes[5]; /* result lines per outcome, index outcome + 1 */
  uint64_t errors;      /* error lines */
  int first_error;      /* the code of the first error line, 0 while none */
} qs_stream_counts;
/* A new stream (one allocation); null when memory runs out. */
QS_API qs_stream* qs_stream_create(void);
QS_API void qs_stream_destroy(qs_stream* stream);
/* Takes input bytes and gives the answers of the lines they complete. Stops
 * early, with *input_used < input_length, when fewer than QS_ANSWER_CAPACITY
 * bytes of `output` are left: call again with the rest. */
QS_API int qs_stream_feed(qs_stream* stream, const void* input, size_t input_length,
                          size_t* input_used, char* output, size_t output_capacity,
                          size_t* output_length);
/* The end of the input: answers a last line that has no line feed (at most
 * one answer, so QS_ANSWER_CAPACITY bytes are enough). */
QS_API int qs_stream_finish(qs_stream* stream, char* output, size_t output_capacity,
                            size_t* output_length);
QS_API void qs_stream_get_counts(const qs_stream* stream, qs_stream_counts* counts);

/* ---- The 80-bit format and its environment ---- */
/* The processor's layout: 64-bit significand with its explicit integer bit,
 * then the sign bit and the 15-bit biased exponent. */
typedef struct qs_extended {
  uint64_t significand;
  uint16_t sign_exponent;
} qs_extended;
/* The control word (the six exception masks may vary; precision control must
 * be 64 bits and rounding to nearest) and the sticky status flags (the low
 * six bits of the status word), updated by every operation. */
typedef struct qs_environment {
  uint16_t control_word;
  uint16_t status_flags;
} qs_environment;
/* The programs' word: invalid operation, division by zero and overflow
 * unmasked. */
#define QS_PROGRAM_CONTROL_WORD 0x1332
enum qs_comparison { QS_LESS = 0, QS_EQUAL = 1, QS_GREATER = 2, QS_UNORDERED = 3 };

/* Each returns 0, or the code of an exception that the control word does not
 * mask: the result is then the masked one, as an operation that did not trap
 * would give it, and the flags are raised all the same. */
QS_API int qs_add(qs_environment* env, qs_extended a, qs_extended b, qs_extended* result);
QS_API int qs_subtract(qs_environment* env, qs_extended a, qs_extended b, qs_extended* result);
QS_API int qs_multiply(qs_environment* env, qs_extended a, qs_extended b, qs_extended* result);
QS_API int qs_divide(qs_environment* env, qs_extended a, qs_extended b, qs_extended* result);
QS_API int qs_square_root(qs_environment* env, qs_extended x, qs_extended* result);
/* *result gets an enum qs_comparison. */
QS_API int qs_compare(qs_environment* env, qs_extended a, qs_extended b, int* result);
QS_API int qs_from_double(qs_environment* env, double x, qs_extended* result);
/* Rounds to the nearest double; beyond the double range the overflow. */
QS_API int qs_to_double(qs_environment* env, qs_extended x, double* result);

/* ---- Conversions, by the programs' reader and writers ----
 * They run under the programs' control word. */
/* Skips blanks (bytes 0 to 32) and converts the one token that follows, as
 * the reader takes a coefficient: *consumed gets the bytes it took (the
 * token's end is the blank after it, or the end of the text). Returns 0,
 * QS_MALFORMED_NUMBER (*value is then what the reader gives) or an unmasked
 * exception of the conversion. No token at all gives +0 and 0. */
QS_API int qs_text_to_extended(const char* text, size_t length, qs_extended* value,
                               size_t* consumed);
/* The writer's text of a real, right-justified in `width`: fixed form with
 * `decimals` digits (decimals >= 0, magnitudes below 2^120), else the
 * exponent form. Zero-terminated; capacity at least QS_TEXT_CAPACITY. */
QS_API int qs_extended_to_text(qs_extended value, int width, int decimals, char* text,
                               size_t capacity, size_t* length);
QS_API int qs_double_to_text(double value, int width, int decimals, char* text, size_t capacity,
                             size_t* length);
QS_API int qs_integer_to_text(int32_t value, int width, char* text, size_t capacity,
                              size_t* length);

#ifdef __cplusplus
}
#endif

#endif /* QUADSOLVE_H */
