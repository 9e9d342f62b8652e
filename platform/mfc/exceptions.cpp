// The exceptions MFC throws by pointer, and the mapping of Win32 errors to file-exception causes.
#include <afx.h>

#include <cerrno>
#include <cstdio>

IMPLEMENT_DYNAMIC(CException, CObject)
IMPLEMENT_DYNAMIC(CMemoryException, CException)
IMPLEMENT_DYNAMIC(CResourceException, CException)
IMPLEMENT_DYNAMIC(CFileException, CException)

CException::CException(BOOL bAutoDelete) : m_bAutoDelete(bAutoDelete) {}
CException::~CException() = default;

void CException::Delete() {
  if (m_bAutoDelete > 0) delete this;
}

BOOL CException::GetErrorMessage(LPSTR lpszError, UINT nMaxError, PUINT pnHelpContext) {
  if (pnHelpContext) *pnHelpContext = 0;
  if (lpszError && nMaxError) *lpszError = '\0';
  return FALSE;
}

int CException::ReportError(UINT nType, UINT nMessageID) {
  char message[512];
  if (GetErrorMessage(message, sizeof message)) return AfxMessageBox(message, nType);
  if (nMessageID == 0) return AfxMessageBox("An unsupported operation was attempted.", nType);
  return AfxMessageBox(nMessageID, nType);
}

CMemoryException::CMemoryException() : CException(TRUE) {}

BOOL CMemoryException::GetErrorMessage(LPSTR lpszError, UINT nMaxError, PUINT pnHelpContext) {
  if (pnHelpContext) *pnHelpContext = 0;
  lstrcpynA(lpszError, "Out of memory.", static_cast<int>(nMaxError));
  return TRUE;
}

CFileException::CFileException(int cause, LONG lOsError, LPCSTR lpszArchiveName)
    : m_cause(cause), m_lOsError(lOsError), m_strFileName(lpszArchiveName) {}

BOOL CFileException::GetErrorMessage(LPSTR lpszError, UINT nMaxError, PUINT pnHelpContext) {
  static const char* const kCauses[] = {
      "No error occurred.",
      "An unspecified error occurred.",
      "was not found.",
      "contains an invalid path.",
      "could not be opened because there are too many open files.",
      "could not be accessed.",
      "Invalid file handle.",
      "The current working directory cannot be removed.",
      "There are no more directory entries.",
      "An error occurred while seeking.",
      "A hardware I/O error was reported.",
      "was accessed during a sharing violation.",
      "was accessed during a lock violation.",
      "The disk is full.",
      "An attempt was made to access beyond the end of the file."};
  if (pnHelpContext) *pnHelpContext = static_cast<UINT>(m_cause);
  const char* cause = (m_cause >= 0 && m_cause <= endOfFile) ? kCauses[m_cause] : kCauses[1];
  char text[600];
  std::snprintf(text, sizeof text, "%s %s",
                m_strFileName.IsEmpty() ? "A file" : (LPCSTR)m_strFileName, cause);
  lstrcpynA(lpszError, text, static_cast<int>(nMaxError));
  return TRUE;
}

int CFileException::OsErrorToException(LONG lOsError) {
  switch (lOsError) {
    case NO_ERROR:
      return none;
    case ERROR_FILE_NOT_FOUND:
      return fileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
      return badPath;
    case ERROR_TOO_MANY_OPEN_FILES:
      return tooManyOpenFiles;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return accessDenied;
    case ERROR_INVALID_HANDLE:
      return invalidFile;
    case ERROR_CURRENT_DIRECTORY:
      return removeCurrentDir;
    case ERROR_NO_MORE_FILES:
      return directoryFull;
    case ERROR_SEEK:
    case ERROR_NEGATIVE_SEEK:
    case ERROR_SEEK_ON_DEVICE:
      return badSeek;
    case ERROR_WRITE_FAULT:
    case ERROR_READ_FAULT:
    case ERROR_GEN_FAILURE:
      return hardIO;
    case ERROR_SHARING_VIOLATION:
      return sharingViolation;
    case ERROR_LOCK_VIOLATION:
      return lockViolation;
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL:
      return diskFull;
    case ERROR_HANDLE_EOF:
      return endOfFile;
    default:
      return generic;
  }
}

int CFileException::ErrnoToException(int nErrno) {
  switch (nErrno) {
    case EPERM:
    case EACCES:
      return accessDenied;
    case EBADF:
      return invalidFile;
    case EDEADLK:
      return sharingViolation;
    case EMFILE:
      return tooManyOpenFiles;
    case ENOENT:
    case ENFILE:
      return fileNotFound;
    case ENOSPC:
      return diskFull;
    case EINVAL:
    case EIO:
      return hardIO;
    default:
      return generic;
  }
}

void CFileException::ThrowOsError(LONG lOsError, LPCSTR lpszFileName) {
  if (lOsError != 0) AfxThrowFileException(OsErrorToException(lOsError), lOsError, lpszFileName);
  AfxThrowFileException(generic, lOsError, lpszFileName);
}

void CFileException::ThrowErrno(int nErrno, LPCSTR lpszFileName) {
  if (nErrno != 0) AfxThrowFileException(ErrnoToException(nErrno), errno, lpszFileName);
  AfxThrowFileException(generic, errno, lpszFileName);
}

void AfxThrowFileException(int cause, LONG lOsError, LPCSTR lpszFileName) {
  throw new CFileException(cause, lOsError, lpszFileName);
}

void AfxThrowMemoryException() {
  throw new CMemoryException();
}

CResourceException::CResourceException() : CException(TRUE) {}

BOOL CResourceException::GetErrorMessage(LPSTR lpszError, UINT nMaxError, PUINT pnHelpContext) {
  if (pnHelpContext != nullptr) *pnHelpContext = 0;
  if (lpszError == nullptr || nMaxError == 0) return FALSE;
  lstrcpynA(lpszError, "A system resource could not be made.", static_cast<int>(nMaxError));
  return TRUE;
}

void AfxThrowResourceException() {
  throw new CResourceException();
}
