# Cross build for Linux on 64-bit RISC-V with Debian's g++-riscv64-linux-gnu;
# programs and tests run under qemu-riscv64.
set(QUADSOLVE_CROSS_PROCESSOR riscv64)
set(QUADSOLVE_CROSS_TRIPLET riscv64-linux-gnu)
set(QUADSOLVE_CROSS_QEMU qemu-riscv64)
# No small-data sections: the linker would put small constants (tables of a
# single function address among them) into the writable small-data section.
set(QUADSOLVE_CROSS_CODE_FLAGS "-msmall-data-limit=0")
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
