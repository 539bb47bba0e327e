// Aborts: under WASI the module traps, and its runtime ends the run.
#include "platform/platform.h"

int main() {
  platform::abortProcess();
}
