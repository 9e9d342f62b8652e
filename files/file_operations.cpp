// Whole-file and directory operations. None of them lets an MFC exception out.
#include <LyrUtil.h>

#include <cstring>
#include <string>

#include "file_removal.h"
#include "text_buffer.h"

using lyrutil::CopyCut;
using lyrutil::kPathBufferBytes;

namespace lyrutil {
extern char g_sharedNameBuffer[kPathBufferBytes];
}  // namespace lyrutil

namespace {

constexpr UINT kCopyBufferFlags = GMEM_MOVEABLE | GMEM_ZEROINIT;
constexpr SIZE_T kCopyBufferBytes = 65535;
constexpr UINT kCopySourceFlags = CFile::modeRead | CFile::shareExclusive;
constexpr UINT kCopyDestinationFlags =
    CFile::modeCreate | CFile::modeReadWrite | CFile::shareExclusive;
constexpr unsigned long kMaxNumberedNames = 99999999;
constexpr size_t kMaxUniqueExtension = 7;
char g_noName[1];

void ExclamationMessage(const CString& text, UINT helpId) {
  MessageBeep(MB_ICONEXCLAMATION);
  AfxMessageBox(text, MB_ICONEXCLAMATION, helpId);
}

// The copy buffer, halved after each failed allocation. Frees itself.
class CopyBuffer final {
 public:
  CopyBuffer() {
    for (SIZE_T size = kCopyBufferBytes; size > 0; size /= 2) {
      handle_ = GlobalAlloc(kCopyBufferFlags, size);
      if (handle_ != nullptr) {
        size_ = size;
        break;
      }
      if (GetLastError() == ERROR_NOT_ENOUGH_MEMORY) SetHeapFragmentation(1);
    }
    if (handle_ != nullptr) data_ = static_cast<char*>(GlobalLock(handle_));
  }
  ~CopyBuffer() {
    if (data_ != nullptr) GlobalUnlock(handle_);
    if (handle_ != nullptr) GlobalFree(handle_);
  }
  CopyBuffer(const CopyBuffer&) = delete;
  CopyBuffer& operator=(const CopyBuffer&) = delete;

  char* Data() const { return data_; }
  UINT Size() const { return static_cast<UINT>(size_); }

 private:
  HGLOBAL handle_ = nullptr;
  SIZE_T size_ = 0;
  char* data_ = nullptr;
};

// The numbered names directory\0.ext, directory\1.ext, ... in the shared name buffer; the first
// that does not exist. A directory so long that no numbered name fits the buffer whole gives no
// name: a cut name would be another file's.
char* FirstFreeNumberedName(const char* directory, const std::string& extension) {
  std::string base = directory ? directory : "";
  if (base.empty() || base.back() != '\\') base += '\\';
  if (base.size() + extension.size() + 1 >= kPathBufferBytes) return g_noName;
  for (unsigned long n = 0; n < kMaxNumberedNames; ++n) {
    std::string name = base + std::to_string(n) + extension;
    if (name.size() >= kPathBufferBytes) break;
    CopyCut(name, lyrutil::g_sharedNameBuffer, kPathBufferBytes);
    if (!fExists(lyrutil::g_sharedNameBuffer)) return lyrutil::g_sharedNameBuffer;
  }
  return g_noName;
}

}  // namespace

int fExists(const char* path) {
  if (path == nullptr) return 0;
  try {
    CFileStatus status;
    return CFile::GetStatus(path, status) ? 1 : 0;
  } catch (CException* e) {
    e->Delete();
    return 0;
  }
}

void fExistsErrorMessage(const char* path, const char* typeName) {
  CString text;
  AfxFormatString2(text, IDS_LYR_PATH_MISSING, typeName, path);
  ExclamationMessage(text, IDS_LYR_PATH_MISSING);
}

void fExistsErrorMessage(const char* path) {
  CString text;
  AfxFormatString1(text, IDS_LYR_FILE_MISSING, path);
  ExclamationMessage(text, IDS_LYR_FILE_MISSING);
}

int CopyFileA(char* destination, char* source) {
  if (source == nullptr || destination == nullptr) return 0;
  if (!fExists(source)) return 1;
  CopyBuffer buffer;
  CFile in;
  CFile out;
  try {
    CFileException error;
    if (!in.Open(source, kCopySourceFlags, &error) ||
        !out.Open(destination, kCopyDestinationFlags, &error))
      throw new CFileException(error.m_cause, error.m_lOsError, error.m_strFileName);
    if (buffer.Data() == nullptr) AfxThrowMemoryException();
    for (;;) {
      UINT read = in.Read(buffer.Data(), buffer.Size());
      if (read == 0) break;
      out.Write(buffer.Data(), read);
    }
    in.Close();
    out.Close();
    return 1;
  } catch (CException* e) {
    e->Delete();
    CString text;
    AfxFormatString2(text, IDS_LYR_COPY_FAILED, source, destination);
    ExclamationMessage(text, IDS_LYR_COPY_FAILED);
    in.Abort();
    out.Abort();
    return 0;
  }
}

void DeleteFileA(char* path) {
  lyrutil::DeleteEvenReadOnly(path);
}

void lyrutil::DeleteEvenReadOnly(const char* path) {
  if (path == nullptr) return;
  try {
    CFileStatus status;
    if (!CFile::GetStatus(path, status)) return;
    // Clearing the attributes lifts a read-only attribute; the time stamps stay as they are.
    status.m_attribute = 0;
    status.m_mtime = CTime(0);
    CFile::SetStatus(path, status);
    CFile::Remove(path);
  } catch (CException* e) {
    e->Delete();
  }
}

char* GetUniqueFileName(unsigned short fileType, char* directory) {
  return FirstFreeNumberedName(directory, GetFileExtension(fileType));
}

// An extension longer than 7 characters with its dot gives no name rather than a name of
// another type.
char* GetUniqueFileName(char* extension, char* directory) {
  std::string ext = extension ? extension : "";
  if (ext.empty() || ext[0] != '.') ext = "." + ext;
  if (ext.size() > kMaxUniqueExtension) return g_noName;
  return FirstFreeNumberedName(directory, ext);
}

int GetMaxLengthFileName(char* const extension, char* const directory) {
  if (extension == nullptr || directory == nullptr || !*extension || !*directory) return -1;
  CString pattern;
  pattern.Format(extension[0] == '.' ? "%s\\*%s" : "%s\\*.%s", directory, extension);
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(pattern, &data);
  if (find == INVALID_HANDLE_VALUE) return -1;
  int longest = 0;
  do {
    int length = static_cast<int>(std::strlen(data.cFileName));
    if (length > longest) longest = length;
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return longest;
}
