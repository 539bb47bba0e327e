# Cross build for 32-bit Windows with Debian's g++-mingw-w64-i686-posix (the
# posix thread model: GoogleTest needs std::thread and friends); programs and
# tests run under wine with 32-bit support (packages wine, wine32:i386)
# through cmake/wine-run.sh. They are linked statically, so they need no
# MinGW DLLs beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Native double arithmetic (only tests use it) in SSE2 registers, as on every
# 64-bit target, not in x87 registers with their wider intermediate results,
# and never fused, so a test's own reference values are the same everywhere.
# long double stays the x87 80-bit format. SSE2 is on every processor that
# runs a current 32-bit Windows.
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -ffp-contract=off")
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -ffp-contract=off")

# One wine prefix for the whole build tree. It is made here, when the build
# is configured (by the first program run in it), because making it takes
# longer than the five seconds that GoogleTest's test discovery allows a test
# program.
set(QUADSOLVE_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")
set(CMAKE_CROSSCOMPILING_EMULATOR
    "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh;--prefix;${QUADSOLVE_WINEPREFIX}")
get_property(_quadsolveInTryCompile GLOBAL PROPERTY IN_TRY_COMPILE)
if(NOT _quadsolveInTryCompile)
  # Without 32-bit wine (wine32) a 32-bit program does not run, yet wine may
  # still exit with 0: the check looks for the program's output.
  execute_process(COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} cmd /c echo quadsolve-wine-ok
                  OUTPUT_VARIABLE _quadsolveWineOutput ERROR_QUIET)
  if(NOT _quadsolveWineOutput MATCHES "quadsolve-wine-ok")
    set(_quadsolveWineLevel WARNING)
    if(QUADSOLVE_TESTS)
      set(_quadsolveWineLevel FATAL_ERROR)
    endif()
    message(${_quadsolveWineLevel}
            "wine cannot run 32-bit programs here (are wine and wine32:i386 installed?): "
            "the tests cannot run")
  endif()
endif()

set(GTest_DIR "${CMAKE_CURRENT_LIST_DIR}/googletest" CACHE PATH "")
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)

# No link time in the programs' PE headers (the linker writes the wall clock
# there by default, and the header checksum covers it): the same sources give
# the same bytes, as the release zip must.
string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " -Wl,--no-insert-timestamp")
