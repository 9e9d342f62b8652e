// Taking the records that pass the masks out of a log: as text lines, or as a new audit log.
#include <LyrUtil.h>

#include <cstring>

#include "audit_files.h"
#include "records/moment_texts.h"

using namespace lyrutil;

namespace {

constexpr unsigned short kLastErrorExport = 2;
constexpr unsigned short kLastErrorExtract = 3;
constexpr UINT kExportFlags = CFile::modeCreate | CFile::modeWrite | CFile::typeText;  // 20481
constexpr size_t kUserMessageColumn = 256;
constexpr size_t kLineBytes = 1028;
const char kSeparator[] = " | ";
const char kLineFormat[] = "%s%s%s%s%s%s%s%s%s%s%s%s%s%s%s%s%s%s%c%s%s%s%s%s%s%s%s\n";

// Identifies a file by its volume and index; false when it cannot be opened.
bool FileIdentity(const char* path, BY_HANDLE_FILE_INFORMATION* info) {
  HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BOOL ok = GetFileInformationByHandle(file, info);
  CloseHandle(file);
  return ok != FALSE;
}

// Whether two names are one file: spelt alike once made full (case, "/" or "\\", relative or
// absolute), or, when both exist, the same file on the same volume (links, other drives).
bool SameFile(const char* a, const char* b) {
  char fullA[MAX_PATH];
  char fullB[MAX_PATH];
  DWORD nA = GetFullPathNameA(a, MAX_PATH, fullA, nullptr);
  DWORD nB = GetFullPathNameA(b, MAX_PATH, fullB, nullptr);
  if (nA > 0 && nA < MAX_PATH && nB > 0 && nB < MAX_PATH && lstrcmpiA(fullA, fullB) == 0)
    return true;
  BY_HANDLE_FILE_INFORMATION infoA;
  BY_HANDLE_FILE_INFORMATION infoB;
  return FileIdentity(a, &infoA) && FileIdentity(b, &infoB) &&
         infoA.dwVolumeSerialNumber == infoB.dwVolumeSerialNumber &&
         infoA.nFileIndexHigh == infoB.nFileIndexHigh && infoA.nFileIndexLow == infoB.nFileIndexLow;
}

}  // namespace

// The export replaces any file of its name but one: the log it reads, which the replacement
// would empty after the first load of records. That is refused before anything is read or
// written, with a sharing violation: the log is in use as the source.
void CLyrLog::ExportASCIILog(char* path) {
  CStdioFile* file = nullptr;
  try {
    if (path != nullptr && SameFile(path, m_szLogFile)) {
      AfxThrowFileException(CFileException::sharingViolation, ERROR_SHARING_VIOLATION, path);
    }
    if (!SetMask()) return;
    file = new CStdioFile(path, kExportFlags);
    WriteExportLine(*file);
    while (GetNext()) WriteExportLine(*file);
    file->Flush();
    file->Close();
    delete file;
  } catch (CFileException*) {
    m_nLastError = kLastErrorExport;
    if (file) {
      file->Abort();
      delete file;
    }
    throw;
  }
}

// One line of fourteen columns. A time before 1970 has no date or time text; a channel that is
// the zero character shows as a space, so that it does not end the line early.
void CLyrLog::WriteExportLine(CStdioFile& file) {
  LOG_ENTRY_STRUCT* e = LockEntry();
  try {
    char date[kMomentTextBytes], time[kMomentTextBytes];
    MomentTexts(e->Time, date, time);
    char userMessage[kUserMessageColumn + 1];
    size_t n = 0;
    for (; n < kUserMessageColumn && e->UsrMess[n]; ++n)
      userMessage[n] = (e->UsrMess[n] == '\r' || e->UsrMess[n] == '\n') ? ' ' : e->UsrMess[n];
    userMessage[n] = '\0';
    char line[kLineBytes];
    wsprintfA(line, kLineFormat, date, kSeparator, time, kSeparator, e->UsrId, kSeparator,
              e->AuthId, kSeparator, e->SysId, kSeparator, e->PrjId, kSeparator, e->SmpId,
              kSeparator, e->SmpName, kSeparator, e->ARName, kSeparator,
              e->Channel ? e->Channel : ' ', kSeparator, e->MethName, kSeparator, e->MethType,
              kSeparator, e->SysMess, kSeparator, userMessage);
    file.SeekToEnd();
    file.WriteString(line);
  } catch (CFileException*) {
    m_nLastError = kLastErrorExport;
    UnlockEntry();
    throw;
  }
  UnlockEntry();
}

ULONG CLyrLog::CreateTempLog(char* path) {
  LockEntry();
  struct Unpin {
    CLyrLog* log;
    ~Unpin() { log->UnlockEntry(); }
  } unpin{this};
  if (path == nullptr || fExists(path)) return 0;
  CFile out;
  if (!out.Open(path, kOpenCreate)) return 0;
  ULONG count = 0;
  try {
    // A file that another party made since the test is theirs: leave it alone.
    if (out.GetLength() != 0) {
      out.Close();
      return 0;
    }
    if (!SetMask()) {
      out.Close();
      CFile::Remove(path);
      return 0;
    }
    do {
      out.Write(m_pFixedEntry, kEntryBytes);
      ++count;
    } while (GetNext());
    out.Flush();
    out.Close();
    return count;
  } catch (CException* e) {
    e->Delete();
    m_nLastError = kLastErrorExtract;
    CutBack(out, count * kEntryBytes);  // whole records only
    out.Abort();
    return 0;
  }
}
