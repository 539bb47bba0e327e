// A program on the run-time layer, one scenario per run:
//
//   box CODE     outside console mode: writes a line to ConsoleOut (held, as
//                standard output is a file or pipe), leaves the I/O code CODE
//                pending and ends the statement with ioCheck. The run-time
//                error shows a message box; a hook on this thread watches for
//                it, writes its caption and text to standard error as
//                  box "Error" "Runtime error   5 at 0040128C"
//                and presses its OK button, so the run ends by itself.
//   fault EVENT  in console mode: writes the held line, then causes a real
//                processor exception (access, divide, stack, or outside: a
//                call into a page outside the image that holds no code),
//                which the trap hook turns into a run-time error; or (smash)
//                overruns a buffer of a function with a stack canary (this
//                file is compiled with the product's stack protector).
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "runtime/runtime.h"
#include "textio/text_stream.h"

namespace {

HHOOK hook = nullptr;
// The message box already reported: wine may activate one dialog more than
// once (when another probe's window takes the focus for a moment and gives
// it back before the posted OK arrives), and each box is one line.
HWND reported = nullptr;

// The static text of a message box has the control identifier 0xFFFF.
constexpr int messageTextControl = 0xFFFF;

LRESULT CALLBACK onWindowEvent(int code, WPARAM wParam, LPARAM lParam) {
  // A message box is a dialog: a window of the class "#32770". Other windows
  // (the system's own helpers) are let be, and so are the dialogs of other
  // probes running at the same time, which wine may show to this hook too.
  char className[16] = {};
  DWORD owner = 0;
  if (code == HCBT_ACTIVATE &&
      GetWindowThreadProcessId(reinterpret_cast<HWND>(wParam), &owner) != 0 &&
      owner == GetCurrentProcessId() && reinterpret_cast<HWND>(wParam) != reported &&
      GetClassNameA(reinterpret_cast<HWND>(wParam), className, sizeof className) > 0 &&
      std::strcmp(className, "#32770") == 0) {
    const auto window = reinterpret_cast<HWND>(wParam);
    reported = window;
    char caption[64] = {};
    char text[128] = {};
    GetWindowTextA(window, caption, sizeof caption);
    GetDlgItemTextA(window, messageTextControl, text, sizeof text);
    char line[256];
    const int length = std::snprintf(line, sizeof line, "box \"%s\" \"%s\"\n", caption, text);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), line, static_cast<DWORD>(length), &written, nullptr);
    PostMessageA(window, WM_COMMAND, IDOK, 0);
  }
  return CallNextHookEx(hook, code, wParam, lParam);
}

[[gnu::noinline, gnu::naked]] void accessViolation() {
  asm volatile("xorl %eax, %eax\n\tmovl $1, (%eax)\n\tret");
}
[[gnu::noinline, gnu::naked]] void integerDivideByZero() {
  asm volatile("xorl %ecx, %ecx\n\tmovl $1, %eax\n\tcltd\n\tidivl %ecx\n\tret");
}
volatile int recursionLimit = 1 << 30;  // never reached: the stack runs out long before
[[gnu::noinline]] int recurse(int depth) {
  volatile char frame[4096];
  frame[0] = static_cast<char>(depth);
  if (depth == recursionLimit) return 0;
  return recurse(depth + 1) + frame[0];
}

volatile std::size_t overrunLength = 64;
[[gnu::noinline]] void overrun() {
  char buffer[16];
  for (std::size_t index = 0; index < overrunLength; ++index) buffer[index] = 'x';
  asm volatile("" : : "r"(buffer) : "memory");
}

void writeHeldLine() {
  static const char held[] = "held";
  writeLine(writeBytes(ConsoleOut, held, sizeof held - 1));
  ioCheck();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const std::string_view scenario = argv[1];
  const std::string_view argument = argv[2];
  if (scenario == "box") {
    hook = SetWindowsHookExA(WH_CBT, onWindowEvent, nullptr, GetCurrentThreadId());
    if (hook == nullptr) return 3;
    initRuntime(startupTable);
    writeHeldLine();
    setPendingIoError(static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 10)));
    ioCheck();
    terminateProgram();
  }
  if (scenario == "fault") {
    consoleMode = true;
    initRuntime(startupTable);
    writeHeldLine();
    if (argument == "access") accessViolation();
    if (argument == "divide") integerDivideByZero();
    if (argument == "stack") recurse(0);
    if (argument == "outside") {
      void* const page = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READONLY);
      if (page != nullptr) reinterpret_cast<void (*)()>(page)();
    }
    if (argument == "smash") overrun();
    terminateProgram();
  }
  return 2;
}
