# Cross build for Linux on 64-bit ARM with Debian's g++-aarch64-linux-gnu;
# programs and tests run under qemu-aarch64.
set(QUADSOLVE_CROSS_PROCESSOR aarch64)
set(QUADSOLVE_CROSS_TRIPLET aarch64-linux-gnu)
set(QUADSOLVE_CROSS_QEMU qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
