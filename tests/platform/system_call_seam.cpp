// The system-call table of a test program: the kernel's calls until a test
// puts a stand-in in use. Compiled into each test program that links
// descriptor_support, so that the linker takes this systemCalls() and leaves
// the platform library's own (linux_system_call_table.cpp) out.
#include "platform/linux_system_calls.h"

namespace platform {

namespace {
// Null: the kernel's calls.
const SystemCalls* callsInUse = nullptr;
}  // namespace

const SystemCalls& systemCalls() {
  return callsInUse != nullptr ? *callsInUse : hostSystemCalls();
}

const SystemCalls& setSystemCalls(const SystemCalls& calls) {
  const SystemCalls& previous = systemCalls();
  callsInUse = &calls;
  return previous;
}

}  // namespace platform
