# The common part of the toolchain files for Windows, with Debian's MinGW-w64
# cross compilers of the posix thread model (GoogleTest needs std::thread and
# friends; packages g++-mingw-w64-<processor>-posix); programs and tests run
# under wine through cmake/wine-run.sh. They are linked statically, so they
# need no MinGW DLLs beside them.
#
# The including toolchain file sets, before it includes this one:
#   QUADSOLVE_MINGW_PROCESSOR       CMAKE_SYSTEM_PROCESSOR (i686, x86_64)
#   QUADSOLVE_MINGW_TRIPLET         the compilers' prefix (i686-w64-mingw32, ...)
#   QUADSOLVE_MINGW_BITS            32 or 64
#   QUADSOLVE_MINGW_WINE_PACKAGES   the Debian packages of that wine, for messages
# and may set QUADSOLVE_MINGW_CODE_FLAGS, compiler options of its processor.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${QUADSOLVE_MINGW_PROCESSOR})

set(CMAKE_C_COMPILER ${QUADSOLVE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUADSOLVE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${QUADSOLVE_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUADSOLVE_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Native arithmetic (only tests use it) is never fused, so a test's own
# reference values are the same everywhere.
set(CMAKE_CXX_FLAGS_INIT "-ffp-contract=off ${QUADSOLVE_MINGW_CODE_FLAGS}")
set(CMAKE_C_FLAGS_INIT "-ffp-contract=off ${QUADSOLVE_MINGW_CODE_FLAGS}")

# One wine prefix for the whole build tree. It is made here, when the build
# is configured (by the first program run in it), because making it takes
# longer than the five seconds that GoogleTest's test discovery allows a test
# program.
set(QUADSOLVE_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")
set(CMAKE_CROSSCOMPILING_EMULATOR
    "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh;--prefix;${QUADSOLVE_WINEPREFIX}")
get_property(_quadsolveInTryCompile GLOBAL PROPERTY IN_TRY_COMPILE)
if(NOT _quadsolveInTryCompile)
  # Without the wine of the program's width (wine32 for a 32-bit program,
  # wine64 for a 64-bit one) it does not run, yet wine may still exit with 0:
  # the check looks for a program's output.
  execute_process(COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} cmd /c echo quadsolve-wine-ok
                  OUTPUT_VARIABLE _quadsolveWineOutput ERROR_QUIET)
  if(NOT _quadsolveWineOutput MATCHES "quadsolve-wine-ok")
    set(_quadsolveWineLevel WARNING)
    if(QUADSOLVE_TESTS)
      set(_quadsolveWineLevel FATAL_ERROR)
    endif()
    message(${_quadsolveWineLevel}
            "wine cannot run ${QUADSOLVE_MINGW_BITS}-bit programs here "
            "(are ${QUADSOLVE_MINGW_WINE_PACKAGES} installed?): "
            "the tests cannot run")
  endif()
endif()

set(GTest_DIR "${CMAKE_CURRENT_LIST_DIR}/googletest" CACHE PATH "")
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)

# No link time in the programs' PE headers (the linker writes the wall clock
# there by default, and the header checksum covers it): the same sources give
# the same bytes, as the release zip must.
string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " -Wl,--no-insert-timestamp")
