# Cross build for 64-bit Windows with Debian's g++-mingw-w64-x86-64-posix;
# programs and tests run under 64-bit wine (packages wine, wine64).
set(QUADSOLVE_MINGW_PROCESSOR x86_64)
set(QUADSOLVE_MINGW_TRIPLET x86_64-w64-mingw32)
set(QUADSOLVE_MINGW_BITS 64)
set(QUADSOLVE_MINGW_WINE_PACKAGES "wine and wine64")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-cross.cmake)
