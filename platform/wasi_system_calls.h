// The functions of the WebAssembly System Interface (preview 1) that the
// platform layer calls, as imports of the module "wasi_snapshot_preview1",
// with the numbers and records of the interface that it uses. Nothing else of
// the interface is imported: a module imports exactly the functions that its
// code calls.
#pragma once

#include <cstdint>

namespace platform::wasi {

// The interface's result of every call: 0 for success, else an error number of
// its own numbering.
using Errno = std::uint16_t;
using Size = std::uint32_t;
using Descriptor = std::uint32_t;

inline constexpr Errno success = 0;
inline constexpr Errno errorAgain = 6;
inline constexpr Errno errorBadDescriptor = 8;
inline constexpr Errno errorInterrupted = 27;
inline constexpr Errno errorIo = 29;
// The last error number of the interface (ENOTCAPABLE: the descriptor lacks
// the right for the operation).
inline constexpr Errno errorNotCapable = 76;

// The same errors in Linux's numbering, index = the interface's number less
// one: so that a failure gives the run-time error code that it gives the
// program on Linux. The interface's own last error (no rights for the
// operation) has no Linux counterpart and reads as EACCES.
inline constexpr std::uint8_t linuxErrorNumbers[errorNotCapable] = {
    7 /* 2BIG */,
    13 /* ACCES */,
    98 /* ADDRINUSE */,
    99 /* ADDRNOTAVAIL */,
    97 /* AFNOSUPPORT */,
    11 /* AGAIN */,
    114 /* ALREADY */,
    9 /* BADF */,
    74 /* BADMSG */,
    16 /* BUSY */,
    125 /* CANCELED */,
    10 /* CHILD */,
    103 /* CONNABORTED */,
    111 /* CONNREFUSED */,
    104 /* CONNRESET */,
    35 /* DEADLK */,
    89 /* DESTADDRREQ */,
    33 /* DOM */,
    122 /* DQUOT */,
    17 /* EXIST */,
    14 /* FAULT */,
    27 /* FBIG */,
    113 /* HOSTUNREACH */,
    43 /* IDRM */,
    84 /* ILSEQ */,
    115 /* INPROGRESS */,
    4 /* INTR */,
    22 /* INVAL */,
    5 /* IO */,
    106 /* ISCONN */,
    21 /* ISDIR */,
    40 /* LOOP */,
    24 /* MFILE */,
    31 /* MLINK */,
    90 /* MSGSIZE */,
    72 /* MULTIHOP */,
    36 /* NAMETOOLONG */,
    100 /* NETDOWN */,
    102 /* NETRESET */,
    101 /* NETUNREACH */,
    23 /* NFILE */,
    105 /* NOBUFS */,
    19 /* NODEV */,
    2 /* NOENT */,
    8 /* NOEXEC */,
    37 /* NOLCK */,
    67 /* NOLINK */,
    12 /* NOMEM */,
    42 /* NOMSG */,
    92 /* NOPROTOOPT */,
    28 /* NOSPC */,
    38 /* NOSYS */,
    107 /* NOTCONN */,
    20 /* NOTDIR */,
    39 /* NOTEMPTY */,
    131 /* NOTRECOVERABLE */,
    88 /* NOTSOCK */,
    95 /* NOTSUP */,
    25 /* NOTTY */,
    6 /* NXIO */,
    75 /* OVERFLOW */,
    130 /* OWNERDEAD */,
    1 /* PERM */,
    32 /* PIPE */,
    71 /* PROTO */,
    93 /* PROTONOSUPPORT */,
    91 /* PROTOTYPE */,
    34 /* RANGE */,
    30 /* ROFS */,
    29 /* SPIPE */,
    3 /* SRCH */,
    116 /* STALE */,
    110 /* TIMEDOUT */,
    26 /* TXTBSY */,
    18 /* XDEV */,
    13 /* NOTCAPABLE: EACCES */,
};

inline constexpr std::uint32_t linuxErrorIo = 5;
inline constexpr std::uint32_t linuxErrorBrokenPipe = 32;

// The standard descriptors, as on POSIX systems.
inline constexpr Descriptor standardInput = 0;
inline constexpr Descriptor standardOutput = 1;
inline constexpr Descriptor standardError = 2;

enum class FileType : std::uint8_t {
  unknown = 0,
  blockDevice = 1,
  characterDevice = 2,
  directory = 3,
  regularFile = 4,
  socketDatagram = 5,
  socketStream = 6,
  symbolicLink = 7,
};

// What fd_fdstat_get reports of a descriptor (24 bytes, aligned to 8).
struct DescriptorStatus {
  FileType fileType;
  std::uint16_t flags;
  std::uint64_t rightsBase;
  std::uint64_t rightsInheriting;
};
static_assert(sizeof(DescriptorStatus) == 24 && alignof(DescriptorStatus) == 8);

// What fd_prestat_get reports of a folder that the runtime gives the module:
// its kind (0, a folder) and the length of its name.
struct PreopenedStatus {
  std::uint8_t kind;
  Size nameLength;
};
inline constexpr std::uint8_t preopenedFolder = 0;
inline constexpr Descriptor firstPreopened = 3;
// path_open's flags and rights: symbolic links followed, reading only.
inline constexpr std::uint32_t lookupFollowLinks = 1;
inline constexpr std::uint64_t rightRead = 1u << 1;

// One buffer of a scattered read or a gathered write.
struct InputVector {
  std::uint8_t* buffer;
  Size length;
};
struct OutputVector {
  const std::uint8_t* buffer;
  Size length;
};

// What poll_oneoff waits for: a descriptor that is ready for reading or
// writing (48 bytes, aligned to 8).
enum class EventType : std::uint8_t { clock = 0, descriptorRead = 1, descriptorWrite = 2 };
struct Subscription {
  std::uint64_t userData = 0;
  EventType type = EventType::clock;
  std::uint8_t padding[7] = {};
  Descriptor descriptor = 0;
  std::uint8_t rest[28] = {};
};
static_assert(sizeof(Subscription) == 48 && alignof(Subscription) == 8);
// What it reports of one (32 bytes, aligned to 8).
struct Event {
  std::uint64_t userData;
  Errno error;
  EventType type;
  std::uint8_t padding[5];
  std::uint64_t bytesAvailable;
  std::uint16_t flags;
  std::uint8_t rest[6];
};
static_assert(sizeof(Event) == 32 && alignof(Event) == 8);

// In the module, imports; elsewhere plain declarations, which a test program
// on the build machine defines as a runtime's stand-ins.
#if defined(__wasm__)
#define QUADSOLVE_WASI_IMPORT(name) \
  __attribute__((import_module("wasi_snapshot_preview1"), import_name(#name)))
#else
#define QUADSOLVE_WASI_IMPORT(name)
#endif

extern "C" {
QUADSOLVE_WASI_IMPORT(fd_read)
Errno wasiReadVectors(Descriptor descriptor, const InputVector* vectors, Size count, Size* read);
QUADSOLVE_WASI_IMPORT(fd_write)
Errno wasiWriteVectors(Descriptor descriptor, const OutputVector* vectors, Size count,
                       Size* written);
QUADSOLVE_WASI_IMPORT(poll_oneoff)
Errno wasiPoll(const Subscription* subscriptions, Event* events, Size count, Size* reported);
QUADSOLVE_WASI_IMPORT(fd_fdstat_get)
Errno wasiDescriptorStatus(Descriptor descriptor, DescriptorStatus* status);
[[noreturn]] QUADSOLVE_WASI_IMPORT(proc_exit) void wasiExit(std::uint32_t code);
// The count of the program's arguments and the bytes that they take, each
// with its terminating zero; then the arguments' addresses and the bytes.
QUADSOLVE_WASI_IMPORT(args_sizes_get)
Errno wasiArgumentSizes(Size* count, Size* bytes);
QUADSOLVE_WASI_IMPORT(args_get)
Errno wasiArguments(char** addresses, char* bytes);

// The folders that the runtime gives the module (descriptors from 3 on): a
// folder's record, then its name (not zero-terminated).
QUADSOLVE_WASI_IMPORT(fd_prestat_get)
Errno wasiPreopenedStatus(Descriptor descriptor, PreopenedStatus* status);
QUADSOLVE_WASI_IMPORT(fd_prestat_dir_name)
Errno wasiPreopenedName(Descriptor descriptor, char* name, Size length);
// Opens `path` (`length` bytes) relative to the folder `folder`.
QUADSOLVE_WASI_IMPORT(path_open)
Errno wasiOpenPath(Descriptor folder, std::uint32_t lookupFlags, const char* path, Size length,
                   std::uint16_t openFlags, std::uint64_t rightsBase,
                   std::uint64_t rightsInheriting, std::uint16_t descriptorFlags,
                   Descriptor* opened);
QUADSOLVE_WASI_IMPORT(fd_close)
Errno wasiClose(Descriptor descriptor);
}

#undef QUADSOLVE_WASI_IMPORT

}  // namespace platform::wasi
