# Cross build for Linux on IBM Z (s390x: 64-bit, big-endian) with Debian's
# g++-s390x-linux-gnu; programs and tests run under qemu-s390x.
set(QUADSOLVE_CROSS_PROCESSOR s390x)
set(QUADSOLVE_CROSS_TRIPLET s390x-linux-gnu)
set(QUADSOLVE_CROSS_QEMU qemu-s390x)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
