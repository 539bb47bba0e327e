# The WebAssembly build: WASI command modules (quadsolve.wasm,
# quadsolve-batch.wasm) made with Debian's clang and its wasm32 target, wasm-ld
# (package lld), llvm-ar (package llvm), the C++ headers of libc++-14-dev-wasm32 over the C headers of
# wasi-libc, and the compiler's own builtins (libclang-rt-14-dev-wasm32). No
# C or C++ library is linked into the programs. They run under Node's WASI
# through tools/wasi_run.mjs (package nodejs), which is also the emulator that
# runs them in tests.
set(CMAKE_SYSTEM_NAME WASI)
set(CMAKE_SYSTEM_PROCESSOR wasm32)
# The platform file of this system (cmake/Platform/WASI.cmake).
list(APPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR})

set(QUADSOLVE_WASI_TARGET wasm32-wasi)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${QUADSOLVE_WASI_TARGET})
set(CMAKE_CXX_COMPILER_TARGET ${QUADSOLVE_WASI_TARGET})

# No C library to link the compilers' test programs with: the checks of
# project() compile a static library instead of linking a program.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The libraries' archiver and its index, which wasm-ld requires: GNU ar (the
# one found otherwise) writes no index of WebAssembly objects. A build folder
# configured with another archiver takes this one (cmake/Platform/WASI.cmake).
find_program(QUADSOLVE_LLVM_AR NAMES llvm-ar llvm-ar-14)
find_program(QUADSOLVE_LLVM_RANLIB NAMES llvm-ranlib llvm-ranlib-14)
if(NOT QUADSOLVE_LLVM_AR OR NOT QUADSOLVE_LLVM_RANLIB)
  message(FATAL_ERROR "llvm-ar and llvm-ranlib not found: the WebAssembly libraries need them "
                      "(Debian package llvm)")
endif()
set(CMAKE_AR "${QUADSOLVE_LLVM_AR}" CACHE FILEPATH "The archiver" FORCE)
set(CMAKE_RANLIB "${QUADSOLVE_LLVM_RANLIB}" CACHE FILEPATH "The archive indexer" FORCE)

# The programs run under Node (which only the tests need).
find_program(QUADSOLVE_NODE NAMES node nodejs)
if(QUADSOLVE_NODE)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${QUADSOLVE_NODE};${CMAKE_CURRENT_LIST_DIR}/../tools/wasi_run.mjs")
endif()
