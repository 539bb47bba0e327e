// The program as the kernel loads it, read from its ELF file: linked without
// the C library, it starts at its own entry with nothing run before it, and it
// keeps the protections that a C library's start-up would have given it.
#include <elf.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "gtest/gtest.h"

namespace {

#if UINTPTR_MAX > 0xFFFFFFFFu
using ElfHeader = Elf64_Ehdr;
using ElfSegment = Elf64_Phdr;
using ElfSection = Elf64_Shdr;
using ElfSymbol = Elf64_Sym;
#else
using ElfHeader = Elf32_Ehdr;
using ElfSegment = Elf32_Phdr;
using ElfSection = Elf32_Shdr;
using ElfSymbol = Elf32_Sym;
#endif

// The program file, for the processor that runs this test.
class ProgramImage : public testing::Test {
 protected:
  void SetUp() override {
    std::ifstream file(QUADSOLVE_PROGRAM_FILE, std::ios::binary);
    bytes_.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    ASSERT_GE(bytes_.size(), sizeof(ElfHeader)) << QUADSOLVE_PROGRAM_FILE;
    ASSERT_EQ(std::memcmp(bytes_.data(), ELFMAG, SELFMAG), 0);
  }

  const ElfHeader& header() const { return *reinterpret_cast<const ElfHeader*>(bytes_.data()); }

  std::vector<ElfSegment> segments() const {
    const auto* first = reinterpret_cast<const ElfSegment*>(bytes_.data() + header().e_phoff);
    return {first, first + header().e_phnum};
  }

  std::vector<ElfSection> sections() const {
    const auto* first = reinterpret_cast<const ElfSection*>(bytes_.data() + header().e_shoff);
    return {first, first + header().e_shnum};
  }

  std::string sectionName(const ElfSection& section) const {
    const ElfSection& names = sections()[header().e_shstrndx];
    return reinterpret_cast<const char*>(bytes_.data() + names.sh_offset + section.sh_name);
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
      const ElfSection& strings = sections()[table.sh_link];
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
  std::vector<unsigned char> bytes_;
};

TEST_F(ProgramImage, StartsAtItsOwnEntryWithNoLoaderAndNoCLibrary) {
  for (const ElfSegment& segment : segments()) {
    EXPECT_NE(segment.p_type, PT_INTERP) << "a dynamic loader is named";
    EXPECT_NE(segment.p_type, PT_DYNAMIC) << "the program is linked dynamically";
    EXPECT_NE(segment.p_type, PT_TLS) << "thread-local data that no start-up sets up";
  }
  ASSERT_NE(symbol("platformStart"), 0u);
  EXPECT_EQ(header().e_entry, symbol("_start"));
  EXPECT_EQ(symbol("__libc_start_main"), 0u);
}

TEST_F(ProgramImage, RunsNoConstructorsBeforeItsEntry) {
  for (const ElfSection& section : sections()) {
    const std::string name = sectionName(section);
    if (name == ".init_array" || name == ".preinit_array" || name == ".ctors" || name == ".init") {
      EXPECT_EQ(section.sh_size, 0u) << name;
    }
  }
}

TEST_F(ProgramImage, KeepsItsStackAndCodeProtected) {
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
TEST_F(ProgramImage, KeepsNoFunctionAddressInWritableData) {
  std::uintptr_t relroFirst = 0;
  std::uintptr_t relroEnd = 0;
  for (const ElfSegment& segment : segments()) {
    if (segment.p_type == PT_GNU_RELRO) {
      relroFirst = segment.p_vaddr;
      relroEnd = segment.p_vaddr + segment.p_memsz;
    }
  }
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

}  // namespace
