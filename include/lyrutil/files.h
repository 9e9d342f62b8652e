// File names and file operations.
#ifndef LYRUTIL_FILES_H
#define LYRUTIL_FILES_H

#include <afx.h>

#include <lyrutil/export.h>

// The library's own function beside the Win32 one of the same name: removes a file, read-only or
// not; a path that does not exist, and every failure, are ignored.
LYRUTIL_API void DeleteFileA(char* path);

#endif  // LYRUTIL_FILES_H
