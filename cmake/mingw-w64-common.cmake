# What both MinGW-w64 toolchain files share; each sets LYRUTIL_MINGW_ARCH first. The posix thread
# model gives the C++ runtime std::thread and std::mutex; the runtimes are linked statically so
# that the DLLs and test programs need nothing beside themselves but Windows' own DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${LYRUTIL_MINGW_ARCH})
set(LYRUTIL_MINGW_TRIPLET ${LYRUTIL_MINGW_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${LYRUTIL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LYRUTIL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${LYRUTIL_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${LYRUTIL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
