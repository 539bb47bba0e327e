// The Linux kernel's own interface, as the kernel defines it: system-call
// numbers, the structures that system calls and signal delivery read and
// write, and their flag values. The platform layer talks to the kernel
// directly through these, with no C library in between (whose structures,
// such as its 1024-bit signal set, differ from the kernel's). The machine
// context that a signal handler receives is in linux_machine_context.h.
//
// Only what the layer uses is defined. The values are the same on every
// processor the program is built for (x86-64, 64-bit and 32-bit ARM, s390x,
// 64-bit RISC-V, 64-bit POWER) unless a processor is named.
#pragma once

#include <asm/unistd.h>  // the system-call numbers, __NR_*: macros only

#include <cstddef>
#include <cstdint>

namespace platform::kernel {

// ---- System calls ----

enum class Call : long {
  read = __NR_read,
  write = __NR_write,
  openAt = __NR_openat,
  close = __NR_close,
#if defined(__NR_fstat64)
  fileStatus = __NR_fstat64,  // 32-bit processors: the 64-bit structure
#else
  fileStatus = __NR_fstat,
#endif
#if defined(__NR_fcntl64)
  control = __NR_fcntl64,
#else
  control = __NR_fcntl,
#endif
  pollWithMask = __NR_ppoll,  // every processor has it; not all have poll
  signalAction = __NR_rt_sigaction,
  signalMask = __NR_rt_sigprocmask,
  signalStack = __NR_sigaltstack,
  resourceLimit = __NR_prlimit64,
  protectMemory = __NR_mprotect,
  processId = __NR_getpid,
  threadId = __NR_gettid,
  sendSignalToThread = __NR_tgkill,
  queueSignalToThread = __NR_rt_tgsigqueueinfo,
  createTimer = __NR_timer_create,
  setTimer = __NR_timer_settime,  // 32-bit processors: 32-bit seconds, enough here
  exitProcess = __NR_exit_group,
#if defined(__x86_64__)
  architectureControl = __NR_arch_prctl,  // the thread pointer (fs base)
#endif
};

// A system call's result: the value, or an error as -1 to -4095 (the
// negated error number).
inline bool failed(long result) {
  return static_cast<unsigned long>(result) > static_cast<unsigned long>(-4096L);
}
inline std::uint32_t errorOf(long result) {
  return static_cast<std::uint32_t>(-result);
}

// Error numbers: the same values on every processor listed above.
enum Error : std::uint32_t {
  errorInterrupted = 4,        // EINTR
  errorIo = 5,                 // EIO
  errorBadDescriptor = 9,      // EBADF
  errorTryAgain = 11,          // EAGAIN, also EWOULDBLOCK
  errorInvalid = 22,           // EINVAL
  errorBrokenPipe = 32,        // EPIPE
  errorConnectionReset = 104,  // ECONNRESET
};

// ---- Files ----

// The descriptors that a process starts with.
inline constexpr int standardInputDescriptor = 0;
inline constexpr int standardOutputDescriptor = 1;
inline constexpr int standardErrorDescriptor = 2;

inline constexpr int controlGetDescriptorFlags = 1;  // F_GETFD

// openat: a name relative to the current folder, and the flags of a file
// opened for reading only, closed in programs that the process starts.
inline constexpr int currentFolder = -100;        // AT_FDCWD
inline constexpr int openReadOnly = 0;            // O_RDONLY
inline constexpr int openCloseOnExec = 02000000;  // O_CLOEXEC
#if defined(__arm__)
// A file of any size on a 32-bit processor (64-bit ones imply it).
inline constexpr int openLargeFile = 0400000;  // O_LARGEFILE
#else
inline constexpr int openLargeFile = 0;
#endif

// The file type bits of a mode.
inline constexpr std::uint32_t modeTypeMask = 0170000;
enum ModeType : std::uint32_t {
  modeSocket = 0140000,
  modeRegular = 0100000,
  modeBlockDevice = 0060000,
  modeDirectory = 0040000,
  modeCharacterDevice = 0020000,
  modeFifo = 0010000,
};

// The structure that fstat (fstat64 on 32-bit processors) fills. Only the mode
// is read; where it lies depends on the processor, and no layout is larger
// than the space given here.
struct FileStatus {
  alignas(8) unsigned char bytes[256];

#if defined(__x86_64__) || defined(__s390x__) || defined(__powerpc64__)
  // st_dev, st_ino and st_nlink (8 bytes each), then st_mode.
  static constexpr std::size_t modeOffset = 24;
#elif defined(__aarch64__) || defined(__riscv)
  // The generic layout: st_dev and st_ino (8 bytes each), then st_mode.
  static constexpr std::size_t modeOffset = 16;
#elif defined(__arm__)
  // struct stat64: st_dev (8), 4 bytes of padding, __st_ino (4), st_mode.
  static constexpr std::size_t modeOffset = 16;
#else
#error "the position of st_mode is not known for this processor"
#endif

  std::uint32_t mode() const {
    std::uint32_t value;
    __builtin_memcpy(&value, bytes + modeOffset, sizeof value);
    return value;
  }
};

// struct pollfd, and the events asked for.
struct PollEntry {
  int descriptor;
  short events;
  short returnedEvents;
};
inline constexpr short pollIn = 0x001;
inline constexpr short pollOut = 0x004;

// ---- Resource limits ----

inline constexpr int limitStack = 3;  // RLIMIT_STACK
inline constexpr std::uint64_t limitInfinity = ~std::uint64_t{0};
// struct rlimit64, as prlimit64 reads and writes it on every processor.
struct ResourceLimit {
  std::uint64_t current;
  std::uint64_t maximum;
};

// ---- Memory ----

inline constexpr int protectionNone = 0;
inline constexpr int protectionRead = 1;

// ---- Start-up ----

// The auxiliary vector's entries that the start-up reads.
enum AuxiliaryType : std::uintptr_t {
  auxiliaryEnd = 0,       // AT_NULL
  auxiliaryPageSize = 6,  // AT_PAGESZ
  auxiliaryRandom = 25,   // AT_RANDOM: the address of 16 random bytes
};

#if defined(__x86_64__)
inline constexpr int architectureSetFs = 0x1002;  // ARCH_SET_FS
#endif

// ---- Signals ----

enum Signal : int {
  signalHangUp = 1,      // SIGHUP
  signalInterrupt = 2,   // SIGINT
  signalIllegal = 4,     // SIGILL
  signalAbort = 6,       // SIGABRT
  signalBus = 7,         // SIGBUS
  signalFloat = 8,       // SIGFPE
  signalSegment = 11,    // SIGSEGV
  signalPipe = 13,       // SIGPIPE
  signalTerminate = 15,  // SIGTERM
  signalFileSize = 25,   // SIGXFSZ
};

// si_code values: 0 or negative for a signal that a process sent (SI_USER,
// SI_QUEUE, SI_TKILL...), positive for the processor's reports.
inline constexpr int codeSentByUser = 0;  // SI_USER
enum FaultCode : int {
  illegalPrivilegedOpcode = 5,  // ILL_PRVOPC
  integerDivide = 1,            // FPE_INTDIV
  integerOverflow = 2,          // FPE_INTOVF
  floatDivide = 3,              // FPE_FLTDIV
  floatOverflow = 4,            // FPE_FLTOVF
  floatUnderflow = 5,           // FPE_FLTUND
  floatInexact = 6,             // FPE_FLTRES
  floatInvalid = 7,             // FPE_FLTINV
  floatSubscript = 8,           // FPE_FLTSUB: subscript out of range
  segmentBoundCheck = 3,        // SEGV_BNDERR (x86 bound checks)
};

// The kernel's signal set: one bit for each of its 64 signals.
using SignalSet = std::uint64_t;

inline constexpr unsigned long actionSignalInfo = 0x00000004;  // SA_SIGINFO
inline constexpr unsigned long actionRestorer = 0x04000000;    // SA_RESTORER
inline constexpr unsigned long actionOnStack = 0x08000000;     // SA_ONSTACK
inline constexpr unsigned long actionNoDefer = 0x40000000;     // SA_NODEFER

// How rt_sigprocmask changes the mask.
inline constexpr int maskUnblock = 1;  // SIG_UNBLOCK

// The handler values that are no function.
inline constexpr std::uintptr_t handlerDefault = 0;  // SIG_DFL
inline constexpr std::uintptr_t handlerIgnore = 1;   // SIG_IGN

// siginfo_t as far as it is read: the three leading integers and, for a
// fault, the address that the union begins with (after padding to a pointer's
// alignment on 64-bit processors).
struct SignalInfo {
  int number;
  int errorNumber;
  int code;
  void* address;
};
// The whole siginfo_t, as rt_tgsigqueueinfo reads it: SignalInfo, then the
// rest of the union, zero.
struct SignalInfoRecord {
  SignalInfo info;
  unsigned char rest[128 - sizeof(SignalInfo)];
};

// The kernel's struct sigaction for rt_sigaction, with the signal-return
// routine on the processors whose kernel takes one from the program (and
// requires it on x86-64); 64-bit RISC-V has no such field.
struct SignalAction {
  std::uintptr_t handler;
  unsigned long flags;
#if !defined(__riscv)
  void (*restorer)();
#endif
  SignalSet mask;
#if defined(__riscv)
  // Not the kernel's: qemu's user-mode emulation of RISC-V (7.2) reads and
  // writes a restorer field before the mask, 8 bytes more than the kernel's
  // structure. With this word, what it writes of a previous action stays
  // inside the record, and what it reads of an action given is zero (an
  // empty mask) instead of whatever follows the record; the kernel ignores it.
  std::uint64_t emulatorMask;
#endif
};

// stack_t for sigaltstack.
struct SignalStack {
  void* base;
  int flags;
  std::size_t size;
};

// ---- Timers ----

inline constexpr int clockMonotonic = 1;  // CLOCK_MONOTONIC

// struct sigevent for timer_create, as far as it is set: the signal, sent to
// one thread (SIGEV_THREAD_ID, which implies SIGEV_SIGNAL). The value handed
// to a handler, which no handler here reads, is left zero.
inline constexpr int notifyThread = 4;  // SIGEV_THREAD_ID
struct TimerEvent {
  void* value;
  int signal;
  int notify;
  int threadId;
  unsigned char rest[64 - sizeof(void*) - 3 * sizeof(int)];
};

// struct itimerspec of timer_settime: a one-shot timer when the interval is
// zero.
struct TimeSpan {
  long seconds;
  long nanoseconds;
};
struct TimerSetting {
  TimeSpan interval;
  TimeSpan value;
};

}  // namespace platform::kernel
