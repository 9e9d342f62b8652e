// The C runtime's directory functions over the stand-in's DOS paths, with errno as the Microsoft
// C runtime sets it.
#include "internal.h"

#include <direct.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {
int ErrnoFromWin32(DWORD err) {
  switch (err) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DIRECTORY:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
      return ENOENT;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
      return EEXIST;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      return EACCES;
    default:
      return EINVAL;
  }
}
}  // namespace

extern "C" char* _getcwd(char* buffer, int maxlen) {
  std::string dos = lyrwin::CurrentDosDirectory();
  if (buffer == nullptr) {
    size_t size = std::max(static_cast<size_t>(maxlen > 0 ? maxlen : 0), dos.size() + 1);
    buffer = static_cast<char*>(std::malloc(size));
    if (buffer == nullptr) {
      errno = ENOMEM;
      return nullptr;
    }
  } else if (maxlen <= 0 || dos.size() + 1 > static_cast<size_t>(maxlen)) {
    errno = ERANGE;
    return nullptr;
  }
  std::memcpy(buffer, dos.c_str(), dos.size() + 1);
  return buffer;
}

extern "C" int _chdir(const char* dirname) {
  if (SetCurrentDirectoryA(dirname)) return 0;
  errno = ErrnoFromWin32(GetLastError());
  return -1;
}

extern "C" int _mkdir(const char* dirname) {
  if (CreateDirectoryA(dirname, nullptr)) return 0;
  errno = ErrnoFromWin32(GetLastError());
  return -1;
}
