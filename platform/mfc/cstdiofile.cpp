// CStdioFile over CFile: text translation and line reading with a read-ahead buffer. The buffer
// is given back (the file position moved back over what was not consumed) before any other
// operation, so reads, writes and seeks may be mixed freely.
#include <afx.h>

#include <cstring>

IMPLEMENT_DYNAMIC(CStdioFile, CFile)

namespace {
constexpr UINT kReadAheadBytes = 4096;
constexpr size_t kWriteBufferBytes = 65536;
constexpr int kCtrlZ = 0x1A;
}  // namespace

CStdioFile::CStdioFile() = default;

CStdioFile::CStdioFile(LPCSTR lpszFileName, UINT nOpenFlags) {
  CFileException e;
  if (!Open(lpszFileName, nOpenFlags, &e))
    AfxThrowFileException(e.m_cause, e.m_lOsError, e.m_strFileName);
}

// The base destructor would close the file without the pending bytes; they are written first.
CStdioFile::~CStdioFile() {
  if (m_hFile != hFileNull && m_bCloseOnDelete) Abort();
}

BOOL CStdioFile::Open(LPCSTR lpszFileName, UINT nOpenFlags, CFileException* pError) {
  text_ = (nOpenFlags & typeBinary) == 0;
  atEnd_ = false;
  pending_.clear();
  const UINT share = nOpenFlags & 0x70;
  onlyWriter_ = (nOpenFlags & (modeWrite | modeReadWrite)) != 0 &&
                (share == shareCompat || share == shareExclusive || share == shareDenyWrite);
  readAhead_.clear();
  readPos_ = 0;
  return CFile::Open(lpszFileName, nOpenFlags & ~static_cast<UINT>(typeText | typeBinary), pError);
}

void CStdioFile::FlushWrites() {
  if (pending_.empty()) return;
  std::string bytes;
  bytes.swap(pending_);
  if (pendingAtEnd_) CFile::Seek(0, end);
  CFile::Write(bytes.data(), static_cast<UINT>(bytes.size()));
}

void CStdioFile::DropReadAhead() {
  FlushWrites();
  size_t unread = readAhead_.size() - readPos_;
  readAhead_.clear();
  readPos_ = 0;
  atEnd_ = false;
  if (unread > 0) CFile::Seek(-static_cast<LONG>(unread), current);
}

int CStdioFile::NextByte() {
  if (readPos_ == readAhead_.size()) {
    FlushWrites();  // a read sees what was written before it
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
  if (!readAhead_.empty()) DropReadAhead();
  if (pending_.empty()) {
    // Bytes that start at the end may stay pending across a seek to the end.
    pendingBase_ = onlyWriter_ ? CFile::GetLength() : 0;
    pendingAtEnd_ = onlyWriter_ && CFile::GetPosition() == pendingBase_;
  }
  const char* in = static_cast<const char*>(lpBuf);
  const char* end = in + nCount;
  while (in < end) {  // runs between line ends are appended whole
    const char* newline =
        text_ ? static_cast<const char*>(std::memchr(in, '\n', static_cast<size_t>(end - in)))
              : nullptr;
    const char* stop = newline != nullptr ? newline : end;
    pending_.append(in, static_cast<size_t>(stop - in));
    if (newline == nullptr) break;
    pending_ += "\r\n";
    in = newline + 1;
  }
  if (pending_.size() >= kWriteBufferBytes) FlushWrites();
}

void CStdioFile::Flush() {
  FlushWrites();
  CFile::Flush();
}

ULONGLONG CStdioFile::GetPosition() const {
  if (!pending_.empty()) {
    ULONGLONG base = pendingAtEnd_ ? pendingBase_ : CFile::GetPosition();
    return base + pending_.size();
  }
  return CFile::GetPosition() - (readAhead_.size() - readPos_);
}

ULONGLONG CStdioFile::Seek(LONGLONG lOff, UINT nFrom) {
  // A seek to the end while appending at the end moves nothing: the pending bytes stay.
  if (lOff == 0 && nFrom == end && pendingAtEnd_ && !pending_.empty()) return GetPosition();
  DropReadAhead();
  return CFile::Seek(lOff, nFrom);
}

void CStdioFile::SetLength(ULONGLONG dwNewLen) {
  DropReadAhead();
  CFile::SetLength(dwNewLen);
}

ULONGLONG CStdioFile::GetLength() const {
  ULONGLONG length = CFile::GetLength();
  if (pending_.empty()) return length;
  ULONGLONG position = pendingAtEnd_ ? length : CFile::GetPosition();
  ULONGLONG reach = position + pending_.size();
  return reach > length ? reach : length;
}

void CStdioFile::Close() {
  try {
    FlushWrites();
  } catch (CException*) {
    Abort();
    throw;
  }
  readAhead_.clear();
  readPos_ = 0;
  atEnd_ = false;
  CFile::Close();
}

// Closes without throwing; pending bytes are still written if they can be.
void CStdioFile::Abort() {
  try {
    FlushWrites();
  } catch (CException* e) {
    e->Delete();
  }
  pending_.clear();
  readAhead_.clear();
  readPos_ = 0;
  atEnd_ = false;
  CFile::Abort();
}
