/* The floor for one run of quadsolve: a static program without any C library
 * that makes the same four system calls as quadsolve for the input
 * "1 -3 2\n\n" with standard output a character device (/dev/null, as
 * bench/whole_run.sh runs it), where each line goes out as it ends: the write
 * of the empty line, reads of up to 128 bytes until two lines have ended, the
 * write of the result line, the exit. It does nothing else. x86-64 Linux only.
 * Built by bench/whole_run.sh with gcc -O2 -static -nostdlib. */
enum { requestSize = 128, linesRead = 2 };

static const char emptyLine[] = "\r\n";
static const char resultLine[] = "2 1.00 2.00\r\n";

static long systemCall(long number, long a0, long a1, long a2) {
  long result;
  __asm__ volatile("syscall"
                   : "=a"(result)
                   : "a"(number), "D"(a0), "S"(a1), "d"(a2)
                   : "rcx", "r11", "memory");
  return result;
}

enum { callRead = 0, callWrite = 1, callExitGroup = 231 };

void floorMain(void) {
  char buffer[requestSize];
  int lineEnds = 0;
  long count;
  long status = systemCall(callWrite, 1, (long)emptyLine, sizeof emptyLine - 1) < 0;
  while (lineEnds < linesRead &&
         (count = systemCall(callRead, 0, (long)buffer, sizeof buffer)) > 0) {
    for (long i = 0; i < count; ++i) lineEnds += buffer[i] == '\n';
  }
  status |= systemCall(callWrite, 1, (long)resultLine, sizeof resultLine - 1) < 0;
  for (;;) systemCall(callExitGroup, status, 0, 0);
}

/* The entry: the stack aligned for the call. */
__asm__(
    ".globl _start\n"
    "_start:\n"
    "  and $-16, %rsp\n"
    "  call floorMain\n"
    "  hlt\n"
    ".section .note.GNU-stack,\"\",@progbits\n"
    ".text\n");
