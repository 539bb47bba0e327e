/* Measures whole runs of programs, each started as a shell would start it:
 * fork, standard input from a file, standard output to /dev/null, exec,
 * wait. x86-64 Linux only.
 *
 *   run_meter time ROUNDS RUNS INPUT PROGRAM...
 *     ROUNDS rounds of RUNS runs of each program, alternating between the
 *     programs run by run (the order turned round every other round); prints
 *     for each program the median of the rounds' median wall times, in
 *     microseconds, one line each: "PROGRAM MICROSECONDS".
 *   run_meter trace INPUT PROGRAM
 *     one run, single-stepped from its first instruction after execve to its
 *     exit; prints "instructions N cpuid N syscalls N": the user-space
 *     instructions executed, the CPUID instructions among them, and the
 *     system calls made after execve (SYSCALL instructions).
 *   run_meter peak PROGRAM
 *     one run with this process's standard input and standard output to
 *     /dev/null; prints "peak N": the program's peak resident size in KiB.
 *     The kernel counts the size of the process before its execve too, so
 *     run_meter is to be linked statically: it is smaller than the program.
 *
 * A benchmark tool, not part of the product: it uses the C library freely. */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/user.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static pid_t start(const char* input, const char* program, int traced) {
  pid_t child = fork();
  if (child < 0) {
    perror("fork");
    exit(2);
  }
  if (child == 0) {
    int in = open(input, O_RDONLY);
    int out = open("/dev/null", O_WRONLY);
    if (in < 0 || out < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0) _exit(126);
    close(in);
    close(out);
    if (traced) {
      ptrace(PTRACE_TRACEME, 0, NULL, NULL);
      raise(SIGSTOP);
    }
    char* const arguments[] = {(char*)program, NULL};
    char* const environment[] = {NULL};
    execve(program, arguments, environment);
    _exit(127);
  }
  return child;
}

static double now(void) {
  struct timespec time;
  clock_gettime(CLOCK_MONOTONIC, &time);
  return time.tv_sec * 1e6 + time.tv_nsec / 1e3;
}

static int compare(const void* left, const void* right) {
  double a = *(const double*)left, b = *(const double*)right;
  return (a > b) - (a < b);
}

static double median(double* values, int count) {
  qsort(values, count, sizeof *values, compare);
  return count % 2 ? values[count / 2] : (values[count / 2 - 1] + values[count / 2]) / 2;
}

static int timeRuns(int rounds, int runs, const char* input, int programs, char** names) {
  double* roundMedians = calloc((size_t)programs * rounds, sizeof(double));
  double* times = calloc((size_t)programs * runs, sizeof(double));
  for (int round = 0; round < rounds; ++round) {
    for (int run = 0; run < runs; ++run) {
      for (int step = 0; step < programs; ++step) {
        int index = round % 2 ? programs - 1 - step : step;
        double begin = now();
        pid_t child = start(input, names[index], 0);
        int status;
        waitpid(child, &status, 0);
        times[index * runs + run] = now() - begin;
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
          fprintf(stderr, "%s: wait status %d\n", names[index], status);
          return 1;
        }
      }
    }
    for (int index = 0; index < programs; ++index) {
      roundMedians[index * rounds + round] = median(times + index * runs, runs);
    }
  }
  for (int index = 0; index < programs; ++index) {
    printf("%s %.1f\n", names[index], median(roundMedians + index * rounds, rounds));
  }
  return 0;
}

static int trace(const char* input, const char* program) {
  pid_t child = start(input, program, 1);
  int status;
  waitpid(child, &status, 0); /* the SIGSTOP before execve */
  ptrace(PTRACE_SETOPTIONS, child, NULL, (void*)PTRACE_O_TRACEEXEC);
  ptrace(PTRACE_CONT, child, NULL, NULL);
  waitpid(child, &status, 0); /* the stop at execve */
  if (!WIFSTOPPED(status) || status >> 8 != (SIGTRAP | (PTRACE_EVENT_EXEC << 8))) {
    fprintf(stderr, "%s: no exec stop (status %d)\n", program, status);
    return 1;
  }
  unsigned long instructions = 0, cpuid = 0, syscalls = 0;
  for (;;) {
    struct user_regs_struct registers;
    ptrace(PTRACE_GETREGS, child, NULL, &registers);
    errno = 0;
    long word = ptrace(PTRACE_PEEKTEXT, child, (void*)registers.rip, NULL);
    if (errno == 0) {
      unsigned opcode = (unsigned)word & 0xFFFF;
      cpuid += opcode == 0xA20F;    /* 0F A2 */
      syscalls += opcode == 0x050F; /* 0F 05 */
    }
    ++instructions;
    ptrace(PTRACE_SINGLESTEP, child, NULL, NULL);
    waitpid(child, &status, 0);
    if (WIFEXITED(status) || WIFSIGNALED(status)) break;
  }
  printf("instructions %lu cpuid %lu syscalls %lu\n", instructions, cpuid, syscalls);
  return 0;
}

static int peak(const char* program) {
  pid_t child = fork();
  if (child < 0) {
    perror("fork");
    return 2;
  }
  if (child == 0) {
    int out = open("/dev/null", O_WRONLY);
    if (out < 0 || dup2(out, 1) < 0) _exit(126);
    execl(program, program, (char*)NULL);
    _exit(127);
  }
  int status;
  struct rusage usage;
  if (wait4(child, &status, 0, &usage) != child) {
    perror("wait4");
    return 2;
  }
  printf("peak %ld\n", usage.ru_maxrss);
  return 0;
}

int main(int argc, char** argv) {
  if (argc >= 7 && strcmp(argv[1], "time") == 0) {
    return timeRuns(atoi(argv[2]), atoi(argv[3]), argv[4], argc - 5, argv + 5);
  }
  if (argc == 4 && strcmp(argv[1], "trace") == 0) return trace(argv[2], argv[3]);
  if (argc == 3 && strcmp(argv[1], "peak") == 0) return peak(argv[2]);
  fprintf(stderr,
          "usage: run_meter time ROUNDS RUNS INPUT PROGRAM...\n"
          "       run_meter trace INPUT PROGRAM\n"
          "       run_meter peak PROGRAM\n");
  return 2;
}
