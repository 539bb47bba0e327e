// The system-call table of the program: the kernel's own calls, chosen at
// link time. An archive member of its own, so that a test program that
// defines systemCalls() itself (to stand in for the kernel) leaves it out.
#include "platform/linux_system_calls.h"

namespace platform {

const SystemCalls& systemCalls() {
  return hostSystemCalls();
}

}  // namespace platform
