# Cross-compiles the 64-bit Windows DLLs with MinGW-w64.
set(LYRUTIL_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
