// The program as the kernel loads it, read from its ELF file: linked without
// the C library, it starts at its own entry with nothing run before it, and it
// keeps the protections that the distributions give their own programs: a
// random load address, read-only relocated data, stack canaries, and branch
// protection where the processor has it.
#include <elf.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "gtest/gtest.h"

namespace {

#if UINTPTR_MAX > 0xFFFFFFFFu
using ElfHeader = Elf64_Ehdr;
using ElfSegment = Elf64_Phdr;
using ElfSection = Elf64_Shdr;
using ElfSymbol = Elf64_Sym;
using ElfDynamic = Elf64_Dyn;
using ElfNote = Elf64_Nhdr;
#else
using ElfHeader = Elf32_Ehdr;
using ElfSegment = Elf32_Phdr;
using ElfSection = Elf32_Shdr;
using ElfSymbol = Elf32_Sym;
using ElfDynamic = Elf32_Dyn;
using ElfNote = Elf32_Nhdr;
#endif

// The program files (quadsolve and quadsolve-batch), for the processor that
// runs this test.
class ProgramImage : public testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    std::ifstream file(GetParam(), std::ios::binary);
    bytes_.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    ASSERT_GE(bytes_.size(), sizeof(ElfHeader)) << GetParam();
    ASSERT_EQ(std::memcmp(bytes_.data(), ELFMAG, SELFMAG), 0);
  }

  const ElfHeader& header() const { return *reinterpret_cast<const ElfHeader*>(bytes_.data()); }

  std::vector<ElfSegment> segments() const {
    return tableAt<ElfSegment>(header().e_phoff, header().e_phnum);
  }

  std::vector<ElfSection> sections() const {
    return tableAt<ElfSection>(header().e_shoff, header().e_shnum);
  }

  std::string sectionName(const ElfSection& section) const {
    const ElfSection names = sections()[header().e_shstrndx];
    return reinterpret_cast<const char*>(bytes_.data() + names.sh_offset + section.sh_name);
  }

  // The entries of the dynamic section; none when there is no such section.
  std::vector<ElfDynamic> dynamicEntries() const {
    std::vector<ElfDynamic> entries;
    for (const ElfSegment& segment : segments()) {
      if (segment.p_type != PT_DYNAMIC) continue;
      const auto* entry = reinterpret_cast<const ElfDynamic*>(bytes_.data() + segment.p_offset);
      for (; entry->d_tag != DT_NULL; ++entry) entries.push_back(*entry);
    }
    return entries;
  }

  // The value of a dynamic entry; 0 when there is none.
  std::uintptr_t dynamicValue(std::intptr_t tag) const {
    for (const ElfDynamic& entry : dynamicEntries()) {
      if (entry.d_tag == tag) return entry.d_un.d_val;
    }
    return 0;
  }

  // Where the relocated data lies (PT_GNU_RELRO): [first, end); both 0 when
  // there is none.
  std::pair<std::uintptr_t, std::uintptr_t> relocatedData() const {
    for (const ElfSegment& segment : segments()) {
      if (segment.p_type == PT_GNU_RELRO) {
        return {segment.p_vaddr, segment.p_vaddr + segment.p_memsz};
      }
    }
    return {0, 0};
  }

  // The feature bits of a GNU program property (`type`) in the property note;
  // 0 when the program has none.
  std::uint32_t programProperty(std::uint32_t type) const {
    for (const ElfSegment& segment : segments()) {
      if (segment.p_type != PT_GNU_PROPERTY) continue;
      const unsigned char* note = bytes_.data() + segment.p_offset;
      const auto& noteHeader = *reinterpret_cast<const ElfNote*>(note);
      if (noteHeader.n_type != NT_GNU_PROPERTY_TYPE_0) continue;
      const unsigned char* property = note + sizeof noteHeader + ((noteHeader.n_namesz + 3) & ~3u);
      const unsigned char* end = property + noteHeader.n_descsz;
      while (property + 8 <= end) {
        std::uint32_t propertyType, size, bits = 0;
        std::memcpy(&propertyType, property, 4);
        std::memcpy(&size, property + 4, 4);
        if (size >= 4) std::memcpy(&bits, property + 8, 4);
        if (propertyType == type) return bits;
        property += 8 + ((size + sizeof(std::uintptr_t) - 1) & ~(sizeof(std::uintptr_t) - 1));
      }
    }
    return 0;
  }

  // The addresses of the functions in the symbol table.
  std::vector<std::uintptr_t> functionAddresses() const {
    std::vector<std::uintptr_t> addresses;
    for (const ElfSection& table : sections()) {
      if (table.sh_type != SHT_SYMTAB) continue;
      const auto* symbols = reinterpret_cast<const ElfSymbol*>(bytes_.data() + table.sh_offset);
      for (std::size_t index = 0; index < table.sh_size / sizeof(ElfSymbol); ++index) {
        if ((symbols[index].st_info & 0xF) == STT_FUNC && symbols[index].st_value != 0) {
          addresses.push_back(symbols[index].st_value);
        }
      }
    }
    return addresses;
  }

  const unsigned char* contents(const ElfSection& section) const {
    return bytes_.data() + section.sh_offset;
  }

  // The value of a symbol of the symbol table; 0 when there is none.
  std::uintptr_t symbol(const std::string& name) const {
    for (const ElfSection& table : sections()) {
      if (table.sh_type != SHT_SYMTAB) continue;
      const ElfSection strings = sections()[table.sh_link];
      const auto* symbols = reinterpret_cast<const ElfSymbol*>(bytes_.data() + table.sh_offset);
      for (std::size_t index = 0; index < table.sh_size / sizeof(ElfSymbol); ++index) {
        const char* symbolName = reinterpret_cast<const char*>(bytes_.data() + strings.sh_offset +
                                                               symbols[index].st_name);
        if (name == symbolName && symbols[index].st_shndx != SHN_UNDEF)
          return symbols[index].st_value;
      }
    }
    return 0;
  }

 private:
  // A copy of `count` entries at `offset` in the file.
  template <typename Entry>
  std::vector<Entry> tableAt(std::size_t offset, std::size_t count) const {
    std::vector<Entry> table(count);
    if (count > 0 && offset + count * sizeof(Entry) <= bytes_.size()) {
      std::memcpy(table.data(), bytes_.data() + offset, count * sizeof(Entry));
    }
    return table;
  }

  std::vector<unsigned char> bytes_;
};

TEST_P(ProgramImage, StartsAtItsOwnEntryWithNoLoaderAndNoCLibrary) {
  for (const ElfSegment& segment : segments()) {
    EXPECT_NE(segment.p_type, PT_INTERP) << "a dynamic loader is named";
    EXPECT_NE(segment.p_type, PT_TLS) << "thread-local data that no start-up sets up";
  }
  // The dynamic section holds the program's own relocations and flags only.
  for (const ElfDynamic& entry : dynamicEntries()) {
    EXPECT_NE(entry.d_tag, DT_NEEDED) << "a library is needed";
    EXPECT_NE(entry.d_tag, DT_TEXTREL) << "relocations in the code";
    EXPECT_NE(entry.d_tag, DT_JMPREL) << "relocations left to a loader";
  }
  ASSERT_NE(symbol("platformStart"), 0u);
  EXPECT_EQ(header().e_entry, symbol("_start"));
  EXPECT_EQ(symbol("__libc_start_main"), 0u);
}

// Position independent, so that the kernel loads it at a random address: an
// ELF file of type DYN marked as a program (DF_1_PIE), with relocations bound
// at load (BIND_NOW), whose relocated data lies in the segment that the
// start-up makes read-only (PT_GNU_RELRO).
TEST_P(ProgramImage, LoadsAnywhereWithItsRelocatedDataReadOnly) {
  EXPECT_EQ(header().e_type, ET_DYN) << "linked at a fixed address";
  EXPECT_NE(dynamicValue(DT_FLAGS_1) & DF_1_PIE, 0u) << "not marked as a program";
  EXPECT_TRUE((dynamicValue(DT_FLAGS) & DF_BIND_NOW) != 0 || (dynamicValue(DT_FLAGS_1) & DF_1_NOW))
      << "no immediate binding";
  const auto [relroFirst, relroEnd] = relocatedData();
  ASSERT_LT(relroFirst, relroEnd) << "no PT_GNU_RELRO segment";
  // Every place that the start-up relocates becomes read-only after it.
  const std::uintptr_t relocations = dynamicValue(DT_RELA) + dynamicValue(DT_REL);
  const std::uintptr_t size = dynamicValue(DT_RELASZ) + dynamicValue(DT_RELSZ);
  const std::uintptr_t entrySize = dynamicValue(DT_RELAENT) + dynamicValue(DT_RELENT);
  ASSERT_GT(entrySize, 0u);
  for (const ElfSection& section : sections()) {
    if (section.sh_addr != relocations || section.sh_type == SHT_NOBITS) continue;
    for (std::uintptr_t offset = 0; offset + entrySize <= size; offset += entrySize) {
      std::uintptr_t place;
      std::memcpy(&place, contents(section) + offset, sizeof place);
      EXPECT_TRUE(place >= relroFirst && place < relroEnd)
          << "a relocated place outside the read-only segment: " << std::hex << place;
    }
  }
}

// No segment asks more alignment than the code's pages, which the whole
// program's load address would take from the randomness of the kernel's choice.
TEST_P(ProgramImage, AsksNoAlignmentBeyondItsCodesPages) {
  std::uint64_t code = 0;
  for (const ElfSegment& segment : segments()) {
    if (segment.p_type == PT_LOAD && (segment.p_flags & PF_X) != 0) code = segment.p_align;
  }
  for (const ElfSegment& segment : segments()) {
    if (segment.p_type != PT_LOAD) continue;
    EXPECT_LE(segment.p_align, code) << "segment at " << std::hex << segment.p_vaddr;
  }
}

// Compiled with stack canaries: the check's failure is there, and its own.
TEST_P(ProgramImage, ChecksItsStackCanaries) {
  EXPECT_NE(symbol("__stack_chk_fail"), 0u) << "no function is protected";
}

// The processor's branch protection, as the program's property note states
// it to the kernel: on x86-64 indirect-branch tracking and shadow stacks, on
// 64-bit ARM branch-target identification and pointer authentication. Every
// file of the program must carry the property for the program to have it.
TEST_P(ProgramImage, CarriesTheBranchProtectionOfItsProcessor) {
#if defined(__x86_64__)
  constexpr std::uint32_t x86Features = 0xc0000002;  // GNU_PROPERTY_X86_FEATURE_1_AND
  EXPECT_EQ(programProperty(x86Features), 3u) << "IBT and SHSTK";
#elif defined(__aarch64__)
  constexpr std::uint32_t armFeatures = 0xc0000000;  // GNU_PROPERTY_AARCH64_FEATURE_1_AND
  EXPECT_EQ(programProperty(armFeatures), 3u) << "BTI and PAC";
#else
  GTEST_SKIP() << "no branch protection on this processor";
#endif
}

TEST_P(ProgramImage, RunsNoConstructorsBeforeItsEntry) {
  for (const ElfSection& section : sections()) {
    const std::string name = sectionName(section);
    if (name == ".init_array" || name == ".preinit_array" || name == ".ctors" || name == ".init") {
      EXPECT_EQ(section.sh_size, 0u) << name;
    }
  }
}

TEST_P(ProgramImage, KeepsItsStackAndCodeProtected) {
  bool stackNoted = false;
  for (const ElfSegment& segment : segments()) {
    if (segment.p_type == PT_GNU_STACK) {
      stackNoted = true;
      EXPECT_EQ(segment.p_flags & PF_X, 0u) << "executable stack";
    }
    if (segment.p_type == PT_LOAD) {
      EXPECT_NE(segment.p_flags & (PF_W | PF_X), PF_W | PF_X)
          << "writable and executable segment at " << std::hex << segment.p_vaddr;
    }
  }
  EXPECT_TRUE(stackNoted) << "no PT_GNU_STACK: the kernel would make the stack executable";
}

// Constant data is read-only from the start, or in the PT_GNU_RELRO segment
// that the start-up makes read-only (position-independent code puts tables
// of addresses there). What the program is loaded with in writable data holds
// no function's address: the system-call table and the trap hook are
// constant, and the exit is a system call of its own. (The stream records'
// operation slots are filled when a stream is bound; a fault while the road
// out of an error calls through one ends the process at once.)
TEST_P(ProgramImage, KeepsNoFunctionAddressInWritableData) {
  const auto [relroFirst, relroEnd] = relocatedData();
  const std::vector<std::uintptr_t> functions = functionAddresses();
  ASSERT_FALSE(functions.empty()) << "no symbol table";
  for (const ElfSection& section : sections()) {
    if ((section.sh_flags & SHF_WRITE) == 0 || section.sh_type == SHT_NOBITS) continue;
    if (section.sh_addr >= relroFirst && section.sh_addr + section.sh_size <= relroEnd) continue;
    for (std::size_t offset = 0; offset + sizeof(std::uintptr_t) <= section.sh_size;
         offset += alignof(std::uintptr_t)) {
      std::uintptr_t word;
      std::memcpy(&word, contents(section) + offset, sizeof word);
      for (const std::uintptr_t function : functions) {
        EXPECT_NE(word, function) << sectionName(section) << " + " << offset
                                  << " holds a function's address";
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Programs, ProgramImage,
                         testing::Values(QUADSOLVE_PROGRAM_FILE, QUADSOLVE_BATCH_PROGRAM_FILE),
                         [](const testing::TestParamInfo<const char*>& parameter) {
                           return parameter.index == 0 ? "quadsolve" : "batch";
                         });

}  // namespace
