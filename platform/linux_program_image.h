// The program's own image as it is loaded: its ELF header, which the linker
// places at the start of the first loaded segment, and its program headers.
// Read by the start-up and by the translation of code addresses.
#pragma once

#include <elf.h>  // the ELF file format's structures: types only

#include <cstddef>
#include <cstdint>

namespace platform::image {

#if UINTPTR_MAX > 0xFFFFFFFFu
using Header = Elf64_Ehdr;
using Segment = Elf64_Phdr;
using DynamicEntry = Elf64_Dyn;
using RelocationWithAddend = Elf64_Rela;
using Relocation = Elf64_Rel;
#else
using Header = Elf32_Ehdr;
using Segment = Elf32_Phdr;
using DynamicEntry = Elf32_Dyn;
using RelocationWithAddend = Elf32_Rela;
using Relocation = Elf32_Rel;
#endif

// GNU ld, gold and lld define the symbol for every executable, static or
// dynamic, position independent or not.
extern "C" const Header __ehdr_start [[gnu::visibility("hidden")]];

// These helpers are always inlined: the start-up calls them before the stack
// guard is set and before the program is relocated, when no out-of-line copy
// compiled with the stack protector may run.
[[gnu::always_inline]] inline const Header& header() {
  return __ehdr_start;
}

[[gnu::always_inline]] inline const Segment* segments() {
  return reinterpret_cast<const Segment*>(reinterpret_cast<const unsigned char*>(&header()) +
                                          header().e_phoff);
}

[[gnu::always_inline]] inline std::size_t segmentCount() {
  return header().e_phnum;
}

// The difference between run-time and link-time addresses, from the header's
// own run-time address: the loaded segment that starts at file offset 0 holds
// the header, so the header lies at that segment's link-time address plus the
// bias. Such a segment always exists, as the linker defines __ehdr_start only
// when the header is loaded. (A segment of zeros only, .bss, may also say
// offset 0, but never comes first.)
[[gnu::always_inline]] inline std::uintptr_t loadBias() {
  for (std::size_t index = 0; index < segmentCount(); ++index) {
    if (segments()[index].p_type == PT_LOAD && segments()[index].p_offset == 0) {
      return reinterpret_cast<std::uintptr_t>(&header()) - segments()[index].p_vaddr;
    }
  }
  return 0;
}

// The relocation types that a loader of this program meets: none (to be
// skipped) and relative (the load bias added), the only kind that the build
// lets into the program (cmake/CheckStaticProgram.cmake).
inline constexpr unsigned relocationNone = 0;
#if defined(__x86_64__)
inline constexpr unsigned relocationRelative = R_X86_64_RELATIVE;
#elif defined(__aarch64__)
inline constexpr unsigned relocationRelative = R_AARCH64_RELATIVE;
#elif defined(__arm__)
inline constexpr unsigned relocationRelative = R_ARM_RELATIVE;
#elif defined(__riscv)
inline constexpr unsigned relocationRelative = R_RISCV_RELATIVE;
#elif defined(__powerpc64__)
inline constexpr unsigned relocationRelative = R_PPC64_RELATIVE;
#elif defined(__s390x__)
inline constexpr unsigned relocationRelative = R_390_RELATIVE;
#else
#error "no relative relocation type known for this processor"
#endif

// The type field of a relocation's info word.
[[gnu::always_inline]] inline unsigned relocationType(decltype(Relocation::r_info) info) {
#if UINTPTR_MAX > 0xFFFFFFFFu
  return static_cast<unsigned>(ELF64_R_TYPE(info));
#else
  return static_cast<unsigned>(ELF32_R_TYPE(info));
#endif
}

}  // namespace platform::image
