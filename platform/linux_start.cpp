// The start-up of the program linked without the C library, between the
// entry (_start in linux_<processor>.S) and main: what the C library's
// start-up would otherwise do for this program, and nothing more.
#include <cstddef>
#include <cstdint>

#include "platform/linux_kernel.h"
#include "platform/linux_program_image.h"
#include "platform/linux_system_calls.h"
#include "platform/platform.h"

namespace {

constexpr std::uintptr_t auxiliaryEnd = 0;       // AT_NULL
constexpr std::uintptr_t auxiliaryPageSize = 6;  // AT_PAGESZ
constexpr std::uintptr_t assumedPageSize = 4096;

// The page size from the auxiliary vector, which follows the arguments and
// the environment on the initial stack.
std::uintptr_t pageSizeOf(const std::uintptr_t* initialStack) {
  const std::uintptr_t argumentCount = initialStack[0];
  const std::uintptr_t* entry = initialStack + 1 + argumentCount + 1;
  while (*entry != 0) ++entry;  // the environment
  for (++entry; entry[0] != auxiliaryEnd; entry += 2) {
    if (entry[0] == auxiliaryPageSize) return entry[1];
  }
  return assumedPageSize;
}

// Makes the data that is constant once the program is loaded (the segment
// that the linker marks PT_GNU_RELRO: tables of function addresses among it)
// read-only, as a dynamic loader would: whole pages from its start up to the
// last page that it fills to the end. The page size is looked up only for
// such a segment: position-dependent code leaves none.
void protectRelocatedData(const std::uintptr_t* initialStack) {
  using namespace platform::image;
  for (std::size_t index = 0; index < segmentCount(); ++index) {
    if (segments()[index].p_type != PT_GNU_RELRO) continue;
    const std::uintptr_t pageSize = pageSizeOf(initialStack);
    const std::uintptr_t start = segments()[index].p_vaddr + loadBias();
    const std::uintptr_t first = start & ~(pageSize - 1);
    const std::uintptr_t end = (start + segments()[index].p_memsz) & ~(pageSize - 1);
    if (end > first) {
      platform::kernel::call(platform::kernel::Call::protectMemory, first, end - first,
                             platform::kernel::protectionRead);
    }
  }
}

}  // namespace

// main under its symbol name (calling it by its C++ name is not allowed).
extern "C" int programMain() __asm__("main");

// Called by _start with the initial stack; ends the process with main's
// result should main return.
extern "C" [[noreturn]] void platformStart(const std::uintptr_t* initialStack) {
  protectRelocatedData(initialStack);
  platform::exitProcess(static_cast<std::uint32_t>(programMain()));
}
