# Cross-compiles the 32-bit Windows DLLs (the suite's own target) with MinGW-w64.
set(LYRUTIL_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
