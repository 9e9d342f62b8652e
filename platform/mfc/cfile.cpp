// CFile over the Win32 file functions, with MFC's open flags and exceptions.
#include <afx.h>

#include <cstring>

IMPLEMENT_DYNAMIC(CFile, CObject)

const HANDLE CFile::hFileNull = INVALID_HANDLE_VALUE;

namespace {

CString FullPath(LPCSTR name) {
  char full[_MAX_PATH];
  DWORD n = GetFullPathNameA(name, _MAX_PATH, full, nullptr);
  return (n == 0 || n >= _MAX_PATH) ? CString(name) : CString(full);
}

}  // namespace

CFile::CFile() : m_hFile(hFileNull), m_bCloseOnDelete(FALSE) {}
CFile::CFile(HANDLE hFile) : m_hFile(hFile), m_bCloseOnDelete(FALSE) {}

CFile::CFile(LPCSTR lpszFileName, UINT nOpenFlags) : m_hFile(hFileNull), m_bCloseOnDelete(FALSE) {
  CFileException e;
  if (!Open(lpszFileName, nOpenFlags, &e))
    AfxThrowFileException(e.m_cause, e.m_lOsError, e.m_strFileName);
}

CFile::~CFile() {
  if (m_hFile != hFileNull && m_bCloseOnDelete) Abort();
}

BOOL CFile::Open(LPCSTR lpszFileName, UINT nOpenFlags, CFileException* pError) {
  m_bCloseOnDelete = FALSE;
  m_hFile = hFileNull;
  m_strFileName.Empty();
  m_strFileName = FullPath(lpszFileName);

  DWORD access;
  switch (nOpenFlags & 3) {
    case modeRead:
      access = GENERIC_READ;
      break;
    case modeWrite:
      access = GENERIC_WRITE;
      break;
    default:
      access = GENERIC_READ | GENERIC_WRITE;
      break;
  }
  DWORD share;
  switch (nOpenFlags & 0x70) {
    case shareDenyWrite:
      share = FILE_SHARE_READ;
      break;
    case shareDenyRead:
      share = FILE_SHARE_WRITE;
      break;
    case shareDenyNone:
      share = FILE_SHARE_READ | FILE_SHARE_WRITE;
      break;
    default:  // shareCompat and shareExclusive
      share = 0;
      break;
  }
  DWORD disposition = OPEN_EXISTING;
  if (nOpenFlags & modeCreate)
    disposition = (nOpenFlags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;

  HANDLE handle = CreateFileA(lpszFileName, access, share, nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    if (pError != nullptr) {
      pError->m_lOsError = static_cast<LONG>(GetLastError());
      pError->m_cause = CFileException::OsErrorToException(pError->m_lOsError);
      pError->m_strFileName = lpszFileName;
    }
    return FALSE;
  }
  m_hFile = handle;
  m_bCloseOnDelete = TRUE;
  return TRUE;
}

UINT CFile::Read(void* lpBuf, UINT nCount) {
  if (nCount == 0) return 0;
  DWORD read = 0;
  if (!ReadFile(m_hFile, lpBuf, nCount, &read, nullptr))
    CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), m_strFileName);
  return read;
}

void CFile::Write(const void* lpBuf, UINT nCount) {
  if (nCount == 0) return;
  DWORD written = 0;
  BOOL ok = WriteFile(m_hFile, lpBuf, nCount, &written, nullptr);
  LONG error = static_cast<LONG>(GetLastError());
  // A write that stops short means the disk is full, whatever the system said.
  if (written != nCount && (ok || error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL))
    AfxThrowFileException(CFileException::diskFull, -1, m_strFileName);
  if (!ok) CFileException::ThrowOsError(error, m_strFileName);
}

ULONGLONG CFile::Seek(LONGLONG lOff, UINT nFrom) {
  LONG high = static_cast<LONG>(static_cast<ULONGLONG>(lOff) >> 32);
  DWORD low = SetFilePointer(m_hFile, static_cast<LONG>(lOff), &high, nFrom);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR)
    CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), m_strFileName);
  return (static_cast<ULONGLONG>(static_cast<DWORD>(high)) << 32) | low;
}

ULONGLONG CFile::GetPosition() const {
  LONG high = 0;
  DWORD low = SetFilePointer(m_hFile, 0, &high, FILE_CURRENT);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR)
    CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), m_strFileName);
  return (static_cast<ULONGLONG>(static_cast<DWORD>(high)) << 32) | low;
}

ULONGLONG CFile::GetLength() const {
  DWORD high = 0;
  DWORD low = GetFileSize(m_hFile, &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
    CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), m_strFileName);
  return (static_cast<ULONGLONG>(high) << 32) | low;
}

void CFile::SetLength(ULONGLONG dwNewLen) {
  Seek(static_cast<LONGLONG>(dwNewLen), begin);
  if (!SetEndOfFile(m_hFile))
    CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), m_strFileName);
}

void CFile::Flush() {
  if (m_hFile == hFileNull) return;
  if (!FlushFileBuffers(m_hFile))
    CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), m_strFileName);
}

void CFile::Close() {
  BOOL error = FALSE;
  if (m_hFile != hFileNull) error = !CloseHandle(m_hFile);
  m_hFile = hFileNull;
  m_bCloseOnDelete = FALSE;
  CString name = m_strFileName;
  m_strFileName.Empty();
  if (error) CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), name);
}

void CFile::Abort() {
  if (m_hFile != hFileNull) CloseHandle(m_hFile);
  m_hFile = hFileNull;
  m_bCloseOnDelete = FALSE;
  m_strFileName.Empty();
}

ULONGLONG CFile::SeekToEnd() {
  return Seek(0, end);
}
void CFile::SeekToBegin() {
  Seek(0, begin);
}

BOOL CFile::GetStatus(CFileStatus& rStatus) const {
  rStatus = CFileStatus();
  lstrcpynA(rStatus.m_szFullName, m_strFileName, _MAX_PATH);
  if (m_hFile == hFileNull) return FALSE;
  FILETIME created, accessed, written;
  if (!GetFileTime(m_hFile, &created, &accessed, &written)) return FALSE;
  rStatus.m_ctime = CTime(created);
  rStatus.m_atime = CTime(accessed);
  rStatus.m_mtime = CTime(written);
  DWORD high = 0;
  DWORD low = GetFileSize(m_hFile, &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return FALSE;
  rStatus.m_size = (static_cast<ULONGLONG>(high) << 32) | low;
  DWORD attributes = m_strFileName.IsEmpty() ? 0 : GetFileAttributesA(m_strFileName);
  rStatus.m_attribute = attributes == INVALID_FILE_ATTRIBUTES
                            ? 0
                            : static_cast<BYTE>(attributes & ~FILE_ATTRIBUTE_NORMAL);
  return TRUE;
}

BOOL CFile::GetStatus(LPCSTR lpszFileName, CFileStatus& rStatus) {
  rStatus = CFileStatus();
  if (GetFullPathNameA(lpszFileName, _MAX_PATH, rStatus.m_szFullName, nullptr) == 0) {
    rStatus.m_szFullName[0] = '\0';
    return FALSE;
  }
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(lpszFileName, &data);
  if (find == INVALID_HANDLE_VALUE) return FALSE;
  FindClose(find);
  rStatus.m_attribute = static_cast<BYTE>(data.dwFileAttributes & ~FILE_ATTRIBUTE_NORMAL);
  rStatus.m_size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  rStatus.m_ctime = CTime(data.ftCreationTime);
  rStatus.m_atime = CTime(data.ftLastAccessTime);
  rStatus.m_mtime = CTime(data.ftLastWriteTime);
  return TRUE;
}

void CFile::SetStatus(LPCSTR lpszFileName, const CFileStatus& status) {
  DWORD attributes = GetFileAttributesA(lpszFileName);
  if (attributes == INVALID_FILE_ATTRIBUTES)
    CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), lpszFileName);
  if (static_cast<BYTE>(attributes) != status.m_attribute &&
      !SetFileAttributesA(lpszFileName, status.m_attribute))
    CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), lpszFileName);
}

void CFile::Rename(LPCSTR lpszOldName, LPCSTR lpszNewName) {
  if (!MoveFileA(lpszOldName, lpszNewName))
    CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), lpszOldName);
}

void CFile::Remove(LPCSTR lpszFileName) {
  if (!DeleteFileA(lpszFileName))
    CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), lpszFileName);
}

CString CFile::GetFileName() const {
  int slash = m_strFileName.ReverseFind('\\');
  return slash < 0 ? m_strFileName : m_strFileName.Mid(slash + 1);
}

CString CFile::GetFileTitle() const {
  CString name = GetFileName();
  int dot = name.ReverseFind('.');
  return dot < 0 ? name : name.Left(dot);
}

CString CFile::GetFilePath() const {
  return m_strFileName;
}
void CFile::SetFilePath(LPCSTR lpszNewName) {
  m_strFileName = lpszNewName;
}
