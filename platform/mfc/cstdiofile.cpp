// CStdioFile over CFile: text translation and line reading with a read-ahead buffer. The buffer
// is given back (the file position moved back over what was not consumed) before any other
// operation, so reads, writes and seeks may be mixed freely.
#include <afx.h>

#include <cstring>

IMPLEMENT_DYNAMIC(CStdioFile, CFile)

namespace {
constexpr UINT kReadAheadBytes = 4096;
constexpr int kCtrlZ = 0x1A;
}  // namespace

CStdioFile::CStdioFile() = default;

CStdioFile::CStdioFile(LPCSTR lpszFileName, UINT nOpenFlags) {
  CFileException e;
  if (!Open(lpszFileName, nOpenFlags, &e))
    AfxThrowFileException(e.m_cause, e.m_lOsError, e.m_strFileName);
}

CStdioFile::~CStdioFile() = default;

BOOL CStdioFile::Open(LPCSTR lpszFileName, UINT nOpenFlags, CFileException* pError) {
  text_ = (nOpenFlags & typeBinary) == 0;
  atEnd_ = false;
  readAhead_.clear();
  readPos_ = 0;
  return CFile::Open(lpszFileName, nOpenFlags & ~static_cast<UINT>(typeText | typeBinary), pError);
}

void CStdioFile::DropReadAhead() {
  size_t unread = readAhead_.size() - readPos_;
  readAhead_.clear();
  readPos_ = 0;
  atEnd_ = false;
  if (unread > 0) CFile::Seek(-static_cast<LONG>(unread), current);
}

int CStdioFile::NextByte() {
  if (readPos_ == readAhead_.size()) {
    readAhead_.resize(kReadAheadBytes);
    UINT n = CFile::Read(&readAhead_[0], kReadAheadBytes);
    readAhead_.resize(n);
    readPos_ = 0;
    if (n == 0) return -1;
  }
  return static_cast<unsigned char>(readAhead_[readPos_++]);
}

int CStdioFile::NextChar() {
  if (atEnd_) return -1;
  int c = NextByte();
  if (!text_) return c;
  if (c == kCtrlZ) {
    atEnd_ = true;  // ^Z ends a text file for the Windows C runtime
    return -1;
  }
  if (c == '\r') {
    int next = NextByte();
    if (next == '\n') return '\n';
    if (next >= 0) --readPos_;
  }
  return c;
}

LPSTR CStdioFile::ReadString(LPSTR lpsz, UINT nMax) {
  if (lpsz == nullptr || nMax == 0) return nullptr;
  UINT n = 0;
  while (n + 1 < nMax) {
    int c = NextChar();
    if (c < 0) break;
    lpsz[n++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  lpsz[n] = '\0';
  return n == 0 ? nullptr : lpsz;
}

BOOL CStdioFile::ReadString(CString& rString) {
  std::string line;
  int c = NextChar();
  if (c < 0) {
    rString.Empty();
    return FALSE;
  }
  while (c >= 0 && c != '\n') {
    line += static_cast<char>(c);
    c = NextChar();
  }
  rString = CString(line.data(), static_cast<int>(line.size()));
  return TRUE;
}

void CStdioFile::WriteString(LPCSTR lpsz) {
  if (lpsz == nullptr) AfxThrowFileException(CFileException::generic, -1, m_strFileName);
  Write(lpsz, static_cast<UINT>(std::strlen(lpsz)));
}

UINT CStdioFile::Read(void* lpBuf, UINT nCount) {
  char* out = static_cast<char*>(lpBuf);
  UINT n = 0;
  while (n < nCount) {
    int c = NextChar();
    if (c < 0) break;
    out[n++] = static_cast<char>(c);
  }
  return n;
}

void CStdioFile::Write(const void* lpBuf, UINT nCount) {
  DropReadAhead();
  if (!text_) {
    CFile::Write(lpBuf, nCount);
    return;
  }
  const char* in = static_cast<const char*>(lpBuf);
  std::string out;
  out.reserve(nCount + nCount / 16);
  for (UINT i = 0; i < nCount; ++i) {
    if (in[i] == '\n') out += '\r';
    out += in[i];
  }
  CFile::Write(out.data(), static_cast<UINT>(out.size()));
}

DWORD CStdioFile::GetPosition() const {
  return CFile::GetPosition() - static_cast<DWORD>(readAhead_.size() - readPos_);
}

LONG CStdioFile::Seek(LONG lOff, UINT nFrom) {
  DropReadAhead();
  return CFile::Seek(lOff, nFrom);
}

DWORD CStdioFile::GetLength() const {
  return CFile::GetLength();
}

void CStdioFile::Close() {
  readAhead_.clear();
  readPos_ = 0;
  atEnd_ = false;
  CFile::Close();
}

void CStdioFile::Abort() {
  readAhead_.clear();
  readPos_ = 0;
  atEnd_ = false;
  CFile::Abort();
}
