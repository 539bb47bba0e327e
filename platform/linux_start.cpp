// The start-up of the program linked without the C library, between the
// entry (_start in linux_<processor>.S) and main: what the C library's
// start-up would otherwise do for this program, and nothing more.
#include <elf.h>  // the ELF file format's structures: types only

#include <cstddef>
#include <cstdint>

#include "platform/linux_kernel.h"
#include "platform/linux_system_calls.h"

namespace {

#if UINTPTR_MAX > 0xFFFFFFFFu
using ElfHeader = Elf64_Ehdr;
using ElfSegment = Elf64_Phdr;
#else
using ElfHeader = Elf32_Ehdr;
using ElfSegment = Elf32_Phdr;
#endif

// The executable's ELF header, which the linker places at the start of its
// first loaded segment.
extern "C" const ElfHeader __ehdr_start [[gnu::visibility("hidden")]];

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

// The difference between run-time and link-time addresses: the loaded
// segment that starts at file offset 0 holds the header.
std::uintptr_t loadBias(const ElfHeader* header, const ElfSegment* segments) {
  for (std::size_t index = 0; index < header->e_phnum; ++index) {
    if (segments[index].p_type == PT_LOAD && segments[index].p_offset == 0) {
      return reinterpret_cast<std::uintptr_t>(header) - segments[index].p_vaddr;
    }
  }
  return 0;
}

// Makes the data that is constant once the program is loaded (the segment
// that the linker marks PT_GNU_RELRO: tables of function addresses among it)
// read-only, as a dynamic loader would: whole pages from its start up to the
// last page that it fills to the end.
void protectRelocatedData(std::uintptr_t pageSize) {
  const ElfHeader* header = &__ehdr_start;
  const auto* segments = reinterpret_cast<const ElfSegment*>(
      reinterpret_cast<const unsigned char*>(header) + header->e_phoff);
  for (std::size_t index = 0; index < header->e_phnum; ++index) {
    if (segments[index].p_type != PT_GNU_RELRO) continue;
    const std::uintptr_t start = segments[index].p_vaddr + loadBias(header, segments);
    const std::uintptr_t first = start & ~(pageSize - 1);
    const std::uintptr_t end = (start + segments[index].p_memsz) & ~(pageSize - 1);
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
  protectRelocatedData(pageSizeOf(initialStack));
  const int status = programMain();
  for (;;) platform::kernel::call(platform::kernel::Call::exitProcess, status & 0xFF);
}
