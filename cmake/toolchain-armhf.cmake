# Cross build for Linux on 32-bit ARM (ARMv7, hard-float: 32-bit long and
# pointers) with Debian's g++-arm-linux-gnueabihf; programs and tests run
# under qemu-arm.
set(QUADSOLVE_CROSS_PROCESSOR arm)
set(QUADSOLVE_CROSS_TRIPLET arm-linux-gnueabihf)
set(QUADSOLVE_CROSS_QEMU qemu-arm)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
