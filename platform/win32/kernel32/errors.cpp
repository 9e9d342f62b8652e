// The last-error value and the one translation from errno to Win32 error codes.
#include "internal.h"

#include <cerrno>

namespace {
thread_local DWORD t_lastError = 0;
}  // namespace

extern "C" DWORD WINAPI GetLastError(void) {
  return t_lastError;
}
extern "C" void WINAPI SetLastError(DWORD dwErrCode) {
  t_lastError = dwErrCode;
}

namespace lyrwin {

DWORD Win32ErrorFromErrno(int err) {
  switch (err) {
    case 0:
      return ERROR_SUCCESS;
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return ERROR_ACCESS_DENIED;
    case EMFILE:
    case ENFILE:
      return ERROR_TOO_MANY_OPEN_FILES;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case EEXIST:
      return ERROR_ALREADY_EXISTS;
    case ENOSPC:
    case EFBIG:
    case EDQUOT:
      return ERROR_DISK_FULL;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case ENOTEMPTY:
      return ERROR_DIR_NOT_EMPTY;
    case EBUSY:
    case ETXTBSY:
      return ERROR_SHARING_VIOLATION;
    case EXDEV:
      return ERROR_NOT_SAME_DEVICE;
    case EINVAL:
      return ERROR_INVALID_PARAMETER;
    case EAGAIN:
      return ERROR_LOCK_VIOLATION;
    case EIO:
      return ERROR_GEN_FAILURE;
    case ELOOP:
      return ERROR_CANTOPEN;
    default:
      return ERROR_GEN_FAILURE;
  }
}

DWORD SetLastErrorFromErrno() {
  DWORD code = Win32ErrorFromErrno(errno);
  SetLastError(code);
  return code;
}

}  // namespace lyrwin
