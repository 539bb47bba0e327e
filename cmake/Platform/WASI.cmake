# The WebAssembly System Interface as a CMake system (cmake/toolchain-wasi.cmake):
# programs are WebAssembly modules named *.wasm, linked statically; there are
# no shared libraries.
set(WASI 1)
set(CMAKE_EXECUTABLE_SUFFIX .wasm)
set(CMAKE_STATIC_LIBRARY_PREFIX lib)
set(CMAKE_STATIC_LIBRARY_SUFFIX .a)
set_property(GLOBAL PROPERTY TARGET_SUPPORTS_SHARED_LIBS FALSE)
# The archiver of the toolchain file. A build folder keeps the one that its
# first configuration found (GNU ar, where llvm was missing then) in its
# record of the compiler, which is read before this file: this one replaces
# it, so that such a folder needs no removal.
set(CMAKE_AR "${QUADSOLVE_LLVM_AR}")
set(CMAKE_RANLIB "${QUADSOLVE_LLVM_RANLIB}")
