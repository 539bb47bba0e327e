# Cross build for Linux on 64-bit ARM with Debian's g++-aarch64-linux-gnu; the
# programs and tests run under qemu-aarch64 (package qemu-user). They are
# linked statically, so qemu needs no aarch64 loader or libraries.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Native floating-point arithmetic (only tests use it) is never fused into
# multiply-add instructions, so a test's own reference values are the same
# here as on x86.
set(CMAKE_CXX_FLAGS_INIT "-ffp-contract=off")
set(CMAKE_C_FLAGS_INIT "-ffp-contract=off")

find_program(QUADSOLVE_QEMU_AARCH64 qemu-aarch64 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR "${QUADSOLVE_QEMU_AARCH64}")

# GoogleTest is compiled from its Debian sources with this toolchain.
set(GTest_DIR "${CMAKE_CURRENT_LIST_DIR}/googletest" CACHE PATH "")
# Tests are listed when ctest runs, not after each link under the emulator.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
