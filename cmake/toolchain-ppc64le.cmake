# Cross build for Linux on 64-bit POWER, little-endian, with Debian's
# g++-powerpc64le-linux-gnu; programs and tests run under qemu-ppc64le.
set(QUADSOLVE_CROSS_PROCESSOR ppc64le)
set(QUADSOLVE_CROSS_TRIPLET powerpc64le-linux-gnu)
set(QUADSOLVE_CROSS_QEMU qemu-ppc64le)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
