# Cross build for Linux on 64-bit ARM with Debian's g++-aarch64-linux-gnu;
# programs and tests run under qemu-aarch64.
set(QUADSOLVE_CROSS_PROCESSOR aarch64)
set(QUADSOLVE_CROSS_TRIPLET aarch64-linux-gnu)
set(QUADSOLVE_CROSS_QEMU qemu-aarch64)
# A processor with every feature that qemu emulates, branch-target
# identification and pointer authentication among them: the kernel (and qemu)
# then enforce BTI on the program's code, as its property note asks.
set(QUADSOLVE_CROSS_QEMU_OPTIONS -cpu max)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
