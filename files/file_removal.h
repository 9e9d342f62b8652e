// Deleting a file whatever its attributes, as the suite's DeleteFileA does. The library's own
// callers use this name: a call to DeleteFileA with a const argument would silently reach Win32's
// function of that name, which refuses a read-only file.
#ifndef LYRUTIL_FILES_FILE_REMOVAL_H
#define LYRUTIL_FILES_FILE_REMOVAL_H

namespace lyrutil {

// Clears the file's attributes (lifting read-only) and removes it; nothing when `path` is null or
// names no file, and no exception whatever fails.
void DeleteEvenReadOnly(const char* path);

}  // namespace lyrutil

#endif  // LYRUTIL_FILES_FILE_REMOVAL_H
