// The start-up of the program linked without the C library, between the
// entry (_start in linux_<processor>.S) and main: what the C library's
// start-up and a dynamic loader would otherwise do for this program, and
// nothing more. In this order:
//   1. relocate: the program is position independent and loaded wherever the
//      kernel chooses; its tables of addresses (the global offset table, the
//      constant tables of function addresses) hold link-time addresses until
//      the start-up adds the load bias to them;
//   2. the stack guard: the value that protected functions keep below their
//      return address and check before they return (-fstack-protector-strong),
//      from the kernel's random bytes, where the compiler reads it;
//   3. the relocated data made read-only;
//   4. the alternate signal stack and the handlers of processor exceptions
//      (linux_traps.cpp), so that a fault, a stack overflow too, finds them
//      from main's first instruction on;
//   5. main, with the arguments from the initial stack.
// Until 2 is done no protected function may run (on processors where the
// compiler reads the guard through the thread pointer, there is none yet),
// and until 1 is done nothing may read an address from a table (the guard's
// variable too may be reached through the global offset table). So this file
// is compiled without the stack protector (platform/CMakeLists.txt), the
// helpers it shares are always inlined (linux_program_image.h), it reaches the
// kernel through platformSystemCall itself, and it reads only the program's
// own headers, whose address the code computes from its own.
#include "platform/linux_start.h"

#include <cstddef>
#include <cstdint>

#include "platform/linux_kernel.h"
#include "platform/linux_program_image.h"
#include "platform/linux_system_calls.h"
#include "platform/platform.h"

#if defined(__aarch64__) || defined(__arm__) || defined(__riscv)
// Where the compiler reads the guard on these processors: a variable of the
// program (c_library_calls.cpp, or the C library's in a test program).
extern "C" std::uintptr_t __stack_chk_guard;
#endif

namespace {

using namespace platform::image;

constexpr std::uintptr_t assumedPageSize = 4096;
// The exit status of a program that its loader could not start.
constexpr long loaderFailureStatus = 127;

// What the start-up reads of the program's own headers.
struct LoadedImage {
  std::uintptr_t bias = 0;  // run-time less link-time address
  const Segment* dynamic = nullptr;
  const Segment* relocatedData = nullptr;  // PT_GNU_RELRO
};

LoadedImage loadedImage() {
  LoadedImage image;
  image.bias = loadBias();
  const Segment* segment = segments();
  for (std::size_t count = segmentCount(); count > 0; --count, ++segment) {
    if (segment->p_type == PT_DYNAMIC) image.dynamic = segment;
    if (segment->p_type == PT_GNU_RELRO) image.relocatedData = segment;
  }
  return image;
}

// What the start-up reads of the auxiliary vector, which follows the
// arguments and the environment on the initial stack.
struct AuxiliaryValues {
  std::uintptr_t pageSize = assumedPageSize;
  const unsigned char* randomBytes = nullptr;  // 16 of them
};

AuxiliaryValues auxiliaryValues(const std::uintptr_t* initialStack) {
  AuxiliaryValues values;
  const std::uintptr_t argumentCount = initialStack[0];
  const std::uintptr_t* entry = initialStack + 1 + argumentCount + 1;
  while (*entry != 0) ++entry;  // the environment
  for (++entry; entry[0] != platform::kernel::auxiliaryEnd; entry += 2) {
    if (entry[0] == platform::kernel::auxiliaryPageSize) {
      values.pageSize = entry[1];
    } else if (entry[0] == platform::kernel::auxiliaryRandom) {
      values.randomBytes = reinterpret_cast<const unsigned char*>(entry[1]);
    }
  }
  return values;
}

// A dynamic loader's answer to a program that it cannot relocate: a line on
// standard error and exit status 127, before any of the program runs.
[[noreturn]] void refuseToLoad() {
  static constexpr char message[] = "cannot start: a relocation of an unexpected type\n";
  platformSystemCall(platform::kernel::standardErrorDescriptor,
                     static_cast<long>(reinterpret_cast<std::uintptr_t>(message)),
                     sizeof message - 1, 0, 0, static_cast<long>(platform::kernel::Call::write));
  for (;;) {
    platformSystemCall(loaderFailureStatus, 0, 0, 0, 0,
                       static_cast<long>(platform::kernel::Call::exitProcess));
  }
}

// True for a relocation that the start-up applies, false for an empty one to
// skip; refuses to go on with any other type.
bool applies(decltype(Relocation::r_info) info) {
  const unsigned type = relocationType(info);
  if (type == relocationRelative) return true;
  if (type != relocationNone) refuseToLoad();
  return false;
}

// Adds the load bias to every address that the linker left for a loader to
// fix: the relative relocations of the dynamic section, with their addend in
// the entry (RELA) or at the place itself (REL, 32-bit ARM). As a loader
// does, it skips empty entries (type none) and refuses every other type (the
// build lets none into the program: cmake/CheckStaticProgram.cmake), also
// when the program is loaded at its link-time address (bias 0). A program
// without a dynamic section has nothing to fix.
void relocate(const LoadedImage& image) {
  const std::uintptr_t bias = image.bias;
  if (image.dynamic == nullptr) return;
  std::uintptr_t withAddend = 0, withAddendSize = 0, plain = 0, plainSize = 0;
  for (auto* entry = reinterpret_cast<const DynamicEntry*>(image.dynamic->p_vaddr + bias);
       entry->d_tag != DT_NULL; ++entry) {
    switch (entry->d_tag) {
      case DT_RELA:
        withAddend = entry->d_un.d_ptr + bias;
        break;
      case DT_RELASZ:
        withAddendSize = entry->d_un.d_val;
        break;
      case DT_REL:
        plain = entry->d_un.d_ptr + bias;
        break;
      case DT_RELSZ:
        plainSize = entry->d_un.d_val;
        break;
      default:
        break;
    }
  }
  const auto* relocation = reinterpret_cast<const RelocationWithAddend*>(withAddend);
  for (std::size_t count = withAddendSize / sizeof *relocation; count > 0; --count, ++relocation) {
    if (!applies(relocation->r_info)) continue;
    *reinterpret_cast<std::uintptr_t*>(relocation->r_offset + bias) =
        static_cast<std::uintptr_t>(relocation->r_addend) + bias;
  }
  const auto* place = reinterpret_cast<const Relocation*>(plain);
  for (std::size_t count = plainSize / sizeof *place; count > 0; --count, ++place) {
    if (!applies(place->r_info)) continue;
    *reinterpret_cast<std::uintptr_t*>(place->r_offset + bias) += bias;
  }
}

#if defined(__x86_64__) || defined(__s390x__) || defined(__powerpc64__)
// On these processors the compiler reads the guard at a fixed offset from the
// thread pointer, where the C library's thread block keeps it: 0x28 above it
// on x86-64 (%fs) and s390x (access registers 0 and 1), 0x7010 below it on
// 64-bit POWER (r13). The program has no threads and no thread-local data,
// so the thread pointer is set to point at this one word accordingly. In
// relocated data, so that the start-up makes it read-only with the rest.
[[gnu::section(".data.rel.ro.stack_guard")]] std::uintptr_t stackGuardWord = 0;
#endif

// Puts `value` where protected functions read the guard.
void setStackGuard(std::uintptr_t value) {
#if defined(__x86_64__)
  stackGuardWord = value;
  platformSystemCall(platform::kernel::architectureSetFs,
                     static_cast<long>(reinterpret_cast<std::uintptr_t>(&stackGuardWord) - 0x28), 0,
                     0, 0, static_cast<long>(platform::kernel::Call::architectureControl));
#elif defined(__s390x__)
  stackGuardWord = value;
  std::uintptr_t threadPointer = reinterpret_cast<std::uintptr_t>(&stackGuardWord) - 0x28;
  __asm__ volatile("sar %%a1, %0\n\tsrlg %0, %0, 32\n\tsar %%a0, %0" : "+d"(threadPointer));
#elif defined(__powerpc64__)
  stackGuardWord = value;
  const std::uintptr_t threadPointer = reinterpret_cast<std::uintptr_t>(&stackGuardWord) + 0x7010;
  __asm__ volatile("mr 13, %0" : : "r"(threadPointer));
#else
  __stack_chk_guard = value;
#endif
}

// The guard from the kernel's random bytes, with the byte at its lowest
// address zero (its low byte on a little-endian processor), as the C
// library's guard has it: a string read or copied past the end of a buffer
// stops at the guard instead of revealing or rewriting it.
std::uintptr_t stackGuardFrom(const unsigned char* random) {
  unsigned char bytes[sizeof(std::uintptr_t)] = {};
  if (random != nullptr) {
    for (std::size_t index = 1; index < sizeof bytes; ++index) bytes[index] = random[index];
  }
  std::uintptr_t value;
  __builtin_memcpy(&value, bytes, sizeof value);
  return value;
}

// Makes the data that is constant once the program is relocated (the
// segment that the linker marks PT_GNU_RELRO: the global offset table, the
// tables of function addresses, the stack guard) read-only, as a dynamic
// loader would: whole pages from its start up to the last page that it fills
// to the end. Returns the end of those pages; 0 when there are none.
std::uintptr_t protectRelocatedData(const LoadedImage& image, std::uintptr_t pageSize) {
  if (image.relocatedData == nullptr) return 0;
  const std::uintptr_t start = image.relocatedData->p_vaddr + image.bias;
  const std::uintptr_t first = start & ~(pageSize - 1);
  const std::uintptr_t end = (start + image.relocatedData->p_memsz) & ~(pageSize - 1);
  if (end <= first || platform::kernel::failed(platformSystemCall(
                          static_cast<long>(first), static_cast<long>(end - first),
                          platform::kernel::protectionRead, 0, 0,
                          static_cast<long>(platform::kernel::Call::protectMemory)))) {
    return 0;
  }
  return end;
}

}  // namespace

namespace platform {

std::uintptr_t stackGuard() {
#if defined(__powerpc64__)
  register const unsigned char* threadPointer __asm__("r13");
  return *reinterpret_cast<const std::uintptr_t*>(threadPointer - 0x7010);
#elif defined(__x86_64__) || defined(__s390x__)
  return *reinterpret_cast<const std::uintptr_t*>(
      static_cast<const unsigned char*>(__builtin_thread_pointer()) + 0x28);
#else
  return __stack_chk_guard;
#endif
}

}  // namespace platform

// main under its symbol name (calling it by its C++ name is not allowed).
extern "C" int programMain(int argumentCount, char** arguments) __asm__("main");

// Called by _start with the initial stack; ends the process with main's
// result should main return.
extern "C" [[noreturn]] void platformStart(const std::uintptr_t* initialStack) {
  const LoadedImage image = loadedImage();
  relocate(image);
  const AuxiliaryValues auxiliary = auxiliaryValues(initialStack);
  setStackGuard(stackGuardFrom(auxiliary.randomBytes));
  const std::uintptr_t readOnlyEnd = protectRelocatedData(image, auxiliary.pageSize);
  platform::setUpTrapHandling(auxiliary.pageSize, readOnlyEnd);
  // The initial stack begins with the argument count, then the arguments'
  // addresses, null-terminated.
  const auto argumentCount = static_cast<int>(initialStack[0]);
  char** const arguments = reinterpret_cast<char**>(const_cast<std::uintptr_t*>(initialStack + 1));
  platform::exitProcess(static_cast<std::uint32_t>(programMain(argumentCount, arguments)));
}
