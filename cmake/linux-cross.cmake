# The common part of the toolchain files for Linux on other processors, with
# Debian's cross compilers (g++-<triplet>); programs and tests run under the
# matching qemu user-mode emulator (package qemu-user). They are linked
# statically, so qemu needs no loader or libraries of the target machine.
#
# The including toolchain file sets, before it includes this one:
#   QUADSOLVE_CROSS_PROCESSOR  CMAKE_SYSTEM_PROCESSOR (aarch64, s390x, ...)
#   QUADSOLVE_CROSS_TRIPLET    the compilers' prefix (aarch64-linux-gnu, ...)
#   QUADSOLVE_CROSS_QEMU       the emulator (qemu-aarch64, ...)
# and may set QUADSOLVE_CROSS_CODE_FLAGS, compiler options of its processor,
# and QUADSOLVE_CROSS_QEMU_OPTIONS, the emulator's options (the processor it
# emulates).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${QUADSOLVE_CROSS_PROCESSOR})

set(CMAKE_C_COMPILER ${QUADSOLVE_CROSS_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${QUADSOLVE_CROSS_TRIPLET}-g++)
set(CMAKE_ASM_COMPILER ${QUADSOLVE_CROSS_TRIPLET}-gcc)
set(CMAKE_LIBRARY_ARCHITECTURE ${QUADSOLVE_CROSS_TRIPLET})

set(CMAKE_FIND_ROOT_PATH /usr/${QUADSOLVE_CROSS_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Native floating-point arithmetic (only tests use it) is never fused into
# multiply-add instructions, so a test's own reference values are the same
# here as on x86.
set(CMAKE_CXX_FLAGS_INIT "-ffp-contract=off ${QUADSOLVE_CROSS_CODE_FLAGS}")
set(CMAKE_C_FLAGS_INIT "-ffp-contract=off ${QUADSOLVE_CROSS_CODE_FLAGS}")

find_program(QUADSOLVE_QEMU ${QUADSOLVE_CROSS_QEMU} REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR "${QUADSOLVE_QEMU}" ${QUADSOLVE_CROSS_QEMU_OPTIONS})

# GoogleTest is compiled from its Debian sources with this toolchain.
set(GTest_DIR "${CMAKE_CURRENT_LIST_DIR}/googletest" CACHE PATH "")
# Tests are listed when ctest runs, not after each link under the emulator.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
