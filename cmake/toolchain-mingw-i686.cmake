# Cross build for 32-bit Windows with Debian's g++-mingw-w64-i686-posix;
# programs and tests run under wine with 32-bit support (packages wine,
# wine32:i386).
set(QUADSOLVE_MINGW_PROCESSOR i686)
set(QUADSOLVE_MINGW_TRIPLET i686-w64-mingw32)
set(QUADSOLVE_MINGW_BITS 32)
set(QUADSOLVE_MINGW_WINE_PACKAGES "wine and wine32:i386")
# Native double arithmetic (only tests use it) in SSE2 registers, as on every
# 64-bit target, not in x87 registers with their wider intermediate results.
# long double stays the x87 80-bit format. SSE2 is on every processor that
# runs a current 32-bit Windows.
set(QUADSOLVE_MINGW_CODE_FLAGS "-msse2 -mfpmath=sse")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-cross.cmake)
