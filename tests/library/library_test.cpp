// The library through its C interface: the stream object against one-line
// answers for every cut of the input, the entry points' codes and flags, the
// arithmetic against the x87 unit, and eight threads against one.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "quadsolve.h"

namespace {

std::string answerText(const std::string& line) {
  char answer[QS_ANSWER_CAPACITY];
  size_t length = 0;
  qs_solve_text(line.data(), line.size(), answer, sizeof answer, &length, 1);
  return std::string(answer, length);
}

// Lines longer than the stream's area: long runs of blanks before, between
// and after tokens, over-long tokens, bytes after the third token, byte 26,
// and a last line without its line feed.
std::string longLines() {
  const std::string blanks(300, ' '), tabs(300, '\t'), returns(300, '\r');
  return "1 -3 2\n" + blanks + "1" + tabs + "-3\r" + returns + "2" + blanks + "\n" +
         std::string(65, '1') + " 2 3\n" + std::string(64, '1') + tabs + "-2 3\n" + "1 2 " +
         std::string(400, '9') + "\n" + "1 -3 2 " + std::string(500, 'x') + "\n" + "1 -3" + blanks +
         "\x1a" + std::string(300, '7') + "\n" + std::string(1000, '\0') + "\n" + "1 " +
         std::string(66, '2') + std::string(300, '3') + " 1\n" + "4" + std::string(70, '0') +
         "e-70 -4" + blanks + "1" + std::string(600, '\x1a') + "\n\n" + "2 -4 2" + blanks;
}

TEST(Stream, AnswersEveryCutOfTheInputAsItsLinesAlone) {
  const std::string input = longLines();
  std::string expected;
  for (size_t start = 0; start < input.size();) {
    const size_t end = std::min(input.find('\n', start), input.size() - 1) + 1;
    expected += answerText(input.substr(start, end - start));
    start = end;
  }
  for (size_t chunk = 1; chunk <= 64; ++chunk) {
    qs_stream* stream = qs_stream_create();
    std::string output;
    char area[QS_ANSWER_CAPACITY];
    size_t length = 0;
    for (size_t start = 0; start < input.size(); start += chunk) {
      const size_t size = std::min(chunk, input.size() - start);
      for (size_t used = 0, taken = 0; used < size; used += taken) {
        ASSERT_EQ(qs_stream_feed(stream, input.data() + start + used, size - used, &taken, area,
                                 sizeof area, &length),
                  QS_OK);
        output.append(area, length);
      }
    }
    qs_stream_finish(stream, area, sizeof area, &length);
    output.append(area, length);
    qs_stream_counts counts;
    qs_stream_get_counts(stream, &counts);
    qs_stream_destroy(stream);
    ASSERT_EQ(output, expected) << "chunks of " << chunk;
    EXPECT_EQ(counts.lines, 12u);
    EXPECT_EQ(counts.errors, 4u);
    EXPECT_EQ(counts.first_error, QS_MALFORMED_NUMBER);
  }
}

TEST(Conversions, TakeAndWriteAsTheProgramsDo) {
  struct Row {
    const char* text;
    int code;
    size_t consumed;
    const char* written;  // the value in the writer's exponent form
  } rows[] = {
      {"  1.5e3 x", QS_OK, 7, " 1.50000000000000E+0003"},
      {"1.5", QS_OK, 3, " 1.50000000000000E+0000"},
      {"1.5x 2", QS_MALFORMED_NUMBER, 4, " 1.50000000000000E+0000"},
      {"\x1a 7", QS_OK, 0, " 0.00000000000000E+0000"},
      {"1e5000", QS_FLOAT_OVERFLOW, 6, "                   +Inf"},
  };
  for (const Row& row : rows) {
    qs_extended value;
    size_t consumed = 0;
    EXPECT_EQ(qs_text_to_extended(row.text, std::strlen(row.text), &value, &consumed), row.code);
    EXPECT_EQ(consumed, row.consumed) << row.text;
    char text[QS_TEXT_CAPACITY];
    size_t length = 0;
    if (row.code != QS_MALFORMED_NUMBER) {
      qs_extended_to_text(value, 23, -1, text, sizeof text, &length);
      EXPECT_STREQ(text, row.written) << row.text;
    }
  }
  char text[QS_TEXT_CAPACITY];
  size_t length = 0;
  EXPECT_EQ(qs_double_to_text(-2.675, 8, 2, text, sizeof text, &length), QS_OK);
  EXPECT_STREQ(text, "   -2.67");
  EXPECT_EQ(qs_integer_to_text(-42, 6, text, sizeof text, &length), QS_OK);
  EXPECT_STREQ(text, "   -42");
  EXPECT_EQ(qs_integer_to_text(7, 0, text, 1, &length), QS_ERROR_SPACE);
}

TEST(Arithmetic, UnmaskedExceptionsComeBackAsCodesWithTheirFlags) {
  constexpr std::uint16_t allMasked = 0x037F;
  struct Row {
    std::uint16_t controlWord;
    double a, b;
    int (*operation)(qs_environment*, qs_extended, qs_extended, qs_extended*);
    int code;
    std::uint16_t flags;
  } rows[] = {
      {QS_PROGRAM_CONTROL_WORD, 1, 0, qs_divide, QS_DIVISION_BY_ZERO, 0x04},
      {allMasked, 1, 0, qs_divide, QS_OK, 0x04},
      {QS_PROGRAM_CONTROL_WORD, INFINITY, INFINITY, qs_subtract, QS_INVALID_OPERATION, 0x01},
      {QS_PROGRAM_CONTROL_WORD, 1, 3, qs_divide, QS_OK, 0x20},
      {QS_PROGRAM_CONTROL_WORD, 1e300, 1e300, qs_multiply, QS_OK, 0x20},
      {0x1332 & ~0x20, 1, 3, qs_divide, QS_INVALID_OPERATION, 0x20},
      {0x1372, 1, 3, qs_divide, QS_OK, 0x20},
      {0x1332 | 0x0400, 1, 3, qs_divide, QS_ERROR_ARGUMENT, 0},
  };
  for (const Row& row : rows) {
    qs_environment env = {allMasked, 0};
    qs_extended a, b, result;
    qs_from_double(&env, row.a, &a);
    qs_from_double(&env, row.b, &b);
    env = {row.controlWord, 0};
    EXPECT_EQ(row.operation(&env, a, b, &result), row.code) << row.a << " " << row.b;
    EXPECT_EQ(env.status_flags, row.flags) << row.a << " " << row.b;
  }
  qs_environment env = {QS_PROGRAM_CONTROL_WORD, 0};
  qs_extended big;
  double stored = 0;
  size_t consumed = 0;
  qs_text_to_extended("1e400", 5, &big, &consumed);
  EXPECT_EQ(qs_to_double(&env, big, &stored), QS_FLOAT_OVERFLOW);
  EXPECT_TRUE(std::isinf(stored));
}

#if defined(__x86_64__) || defined(__i386__)
qs_extended fromLongDouble(long double value) {
  qs_extended result;
  std::memcpy(&result.significand, &value, 8);
  std::memcpy(&result.sign_exponent, reinterpret_cast<char*>(&value) + 8, 2);
  return result;
}

TEST(Arithmetic, MatchesTheX87Unit) {
  std::mt19937_64 random(20261208);
  std::uniform_real_distribution<double> magnitude(-40, 40);
  for (int index = 0; index < 20000; ++index) {
    const long double a = std::ldexp(static_cast<long double>(random()), magnitude(random));
    const long double b = -std::ldexp(static_cast<long double>(random()), magnitude(random));
    qs_environment env = {0x037F, 0};
    qs_extended sum, product, quotient, root;
    qs_add(&env, fromLongDouble(a), fromLongDouble(b), &sum);
    qs_multiply(&env, fromLongDouble(a), fromLongDouble(b), &product);
    qs_divide(&env, fromLongDouble(a), fromLongDouble(b), &quotient);
    qs_square_root(&env, fromLongDouble(a), &root);
    const qs_extended expected[] = {fromLongDouble(a + b), fromLongDouble(a * b),
                                    fromLongDouble(a / b), fromLongDouble(std::sqrt(a))};
    const qs_extended got[] = {sum, product, quotient, root};
    for (int op = 0; op < 4; ++op) {
      ASSERT_EQ(got[op].significand, expected[op].significand) << index << " " << op;
      ASSERT_EQ(got[op].sign_exponent, expected[op].sign_exponent) << index << " " << op;
    }
  }
}
#endif

// What one thread computes from its own seed: answers of text lines and of
// values, and quotients with their flags under a control word of its own.
std::string work(unsigned seed) {
  std::mt19937 random(seed);
  const char* tokens[] = {"0", "1", "-3", "2", "1e308", "x", "2.675", "-0", "1e-320", "1e5000"};
  std::string result;
  for (int index = 0; index < 2000; ++index) {
    std::string line;
    for (int token = 0; token < 3; ++token) line += std::string(tokens[random() % 10]) + " ";
    result += answerText(line);
    qs_solution solution{};
    const int code = qs_solve_values(random() % 7 - 3.5, random() % 9 - 4.0, random() % 5 - 2.5,
                                     QS_ROOT_TEXTS, &solution);
    result += std::to_string(code) + " " + solution.texts[0] + " " + solution.texts[1] + "\n";
    qs_environment env = {static_cast<std::uint16_t>(0x1300 | (random() & 0x3F)), 0};
    qs_extended a, b, quotient;
    qs_from_double(&env, random() % 3, &a);
    qs_from_double(&env, random() % 3 * 1e-310, &b);
    result += std::to_string(qs_divide(&env, a, b, &quotient)) + " " +
              std::to_string(env.status_flags) + "\n";
  }
  return result;
}

TEST(Threads, EightAtOnceAnswerAsOneDoes) {
  constexpr unsigned threadCount = 8;
  std::vector<std::string> alone(threadCount), together(threadCount);
  for (unsigned seed = 0; seed < threadCount; ++seed) alone[seed] = work(seed);
  std::vector<std::thread> threads;
  for (unsigned seed = 0; seed < threadCount; ++seed) {
    threads.emplace_back([&together, seed] { together[seed] = work(seed); });
  }
  for (std::thread& thread : threads) thread.join();
  for (unsigned seed = 0; seed < threadCount; ++seed) EXPECT_EQ(together[seed], alone[seed]);
}

}  // namespace
