// Taking the records that pass the masks out of a log: as text lines, or as a new audit log.
#include <LyrUtil.h>

#include <cstring>

#include "audit_files.h"

using namespace lyrutil;

namespace {

constexpr unsigned short kLastErrorExport = 2;
constexpr unsigned short kLastErrorExtract = 3;
constexpr UINT kExportFlags = CFile::modeCreate | CFile::modeWrite | CFile::typeText;  // 20481
constexpr size_t kUserMessageColumn = 256;
constexpr size_t kLineBytes = 1028;
const char kSeparator[] = " | ";
const char kLineFormat[] = "%s%s%s%s%s%s%s%s%s%s%s%s%s%s%s%s%s%s%c%s%s%s%s%s%s%s%s\n";

}  // namespace

void CLyrLog::ExportASCIILog(char* path) {
  CStdioFile* file = nullptr;
  try {
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
    CString date, time;
    if (e->Time >= 0) {
      LYR_TIME_STRUCT stamp = {};
      SetTimeStruct(&stamp, e->Time);
      date = GetShortDateString(&stamp);
      time = GetShortTimeString(&stamp);
    }
    char userMessage[kUserMessageColumn + 1];
    size_t n = 0;
    for (; n < kUserMessageColumn && e->UsrMess[n]; ++n)
      userMessage[n] = (e->UsrMess[n] == '\r' || e->UsrMess[n] == '\n') ? ' ' : e->UsrMess[n];
    userMessage[n] = '\0';
    char line[kLineBytes];
    wsprintfA(line, kLineFormat, static_cast<const char*>(date), kSeparator,
              static_cast<const char*>(time), kSeparator, e->UsrId, kSeparator, e->AuthId,
              kSeparator, e->SysId, kSeparator, e->PrjId, kSeparator, e->SmpId, kSeparator,
              e->SmpName, kSeparator, e->ARName, kSeparator, e->Channel ? e->Channel : ' ',
              kSeparator, e->MethName, kSeparator, e->MethType, kSeparator, e->SysMess, kSeparator,
              userMessage);
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
