// Appending the entry to its log file, parking it in the backlog when that fails, and moving
// parked entries into their log at the next append there.
#include <LyrUtil.h>

#include <cstring>
#include <string>
#include <vector>

#include "audit_files.h"
#include "backlog_seal.h"

using namespace lyrutil;

void CLyrLog::FixLogMess(int ask) {
  if (ask) {
    LOG_ENTRY_STRUCT* entry = LockEntry();
    try {
      CUserLogDlg dialog(entry->UsrMess, entry->SysMess);
      dialog.DoModal();  // OK or Cancel, the entry is written all the same
    } catch (CException* e) {
      e->Delete();
    }
    UnlockEntry();
  }
  if (m_szLogFile[0] == '\0') return;
  AppendEntry();
}

void CLyrLog::AppendEntry() {
  const std::string backlog = BacklogPath();
  LockEntry();
  struct Unpin {
    CLyrLog* log;
    ~Unpin() { log->UnlockEntry(); }
  } unpin{this};

  if (!fExists(m_szLogFile)) {
    char folder[MAX_PATH];
    GetDirecFromFile(m_szLogFile, folder);
    // One level is made, under a parent that must exist; otherwise the entry is dropped.
    if (!CreateDirectoryA(folder, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return;
  }
  try {
    WriteEntryToLog(backlog.c_str());
  } catch (CFileException* e) {
    e->Delete();
    ParkEntry(backlog.c_str());  // a failure here reaches the caller: the entry is lost
  }
}

// Writes the entry at the log's end, on disk before this returns; a failure leaves the log as it
// was and throws CFileException*.
void CLyrLog::WriteEntryToLog(const char* backlogPath) {
  CFile& log = *m_pFile;
  const unsigned short flags = fExists(m_szLogFile) ? kOpenWrite : kOpenCreate;
  if (LyrOpenFile(&log, m_szLogFile, flags) != 0)
    AfxThrowFileException(CFileException::accessDenied, -1, m_szLogFile);
  DWORD end = 0;
  try {
    // After a torn tail (a crash, another program) the record goes to the record boundary, so
    // that the tail does not shift this and every later record out of place.
    DWORD length = log.GetLength();
    end = length - length % kEntryBytes;
    log.Seek(static_cast<LONG>(end), CFile::begin);
    log.Write(m_pEntry, kEntryBytes);
    log.Flush();
  } catch (CFileException*) {
    CutBack(log, end);
    log.Abort();
    throw;
  }
  FlushBacklog(backlogPath);
  try {
    log.Close();
  } catch (CFileException* e) {
    e->Delete();  // the entry is written and on disk; only the handle's release failed
    log.Abort();
  }
}

// Moves the parked entries of this log from the backlog behind the entry just written, in the
// order they were parked. The log is flushed to disk before the entries leave the backlog, so a
// crash in between can only leave an entry in both places, never in neither. Any file error
// ends the flush quietly with the parked entries still parked; the next append tries again.
void CLyrLog::FlushBacklog(const char* backlogPath) {
  if (!fExists(backlogPath)) return;
  CFile backlog;
  char path[MAX_PATH * 2];
  lstrcpynA(path, backlogPath, sizeof path);
  if (LyrOpenFile(&backlog, path, kOpenReadWrite) != 0) return;
  CFile& log = *m_pFile;
  try {
    const DWORD records = backlog.GetLength() / kBacklogRecordBytes;
    std::vector<LOG_BACKLOG_STRUCT> all(records);
    if (records > 0) backlog.Read(all.data(), records * kBacklogRecordBytes);

    std::vector<const LOG_BACKLOG_STRUCT*> ours;
    std::vector<const LOG_BACKLOG_STRUCT*> kept;
    size_t firstChange = records;
    for (size_t i = 0; i < records; ++i) {
      const LOG_BACKLOG_STRUCT& record = all[i];
      bool intact = BacklogRecordIntact(record);  // a record torn by a crash is dropped
      bool mine = intact && lstrcmpiA(record.LogFile, m_szLogFile) == 0;
      if (intact && !mine) {
        kept.push_back(&record);
      } else if (firstChange == records) {
        firstChange = i;
      }
      if (mine) ours.push_back(&record);
    }
    if (firstChange == records) {
      backlog.Close();
      return;
    }

    if (!ours.empty()) {
      const DWORD logEnd = log.GetPosition();
      try {
        for (const LOG_BACKLOG_STRUCT* record : ours) {
          LOG_ENTRY_STRUCT entry = record->Entry;
          TerminateFields(&entry);
          log.Write(&entry, kEntryBytes);
        }
        log.Flush();
      } catch (CFileException*) {
        CutBack(log, logEnd);  // all or none: none of them leaves the backlog
        throw;
      }
    }

    // The records before the first change stay where they are; the rest are written down over
    // it in one pass and the file is cut behind them.
    std::vector<unsigned char> tail;
    for (size_t i = 0; i < kept.size(); ++i) {
      if (kept[i] < &all[firstChange]) continue;
      const unsigned char* bytes = reinterpret_cast<const unsigned char*>(kept[i]);
      tail.insert(tail.end(), bytes, bytes + kBacklogRecordBytes);
    }
    backlog.Seek(static_cast<LONG>(firstChange * kBacklogRecordBytes), CFile::begin);
    if (!tail.empty()) backlog.Write(tail.data(), static_cast<UINT>(tail.size()));
    backlog.SetLength(static_cast<DWORD>(kept.size() * kBacklogRecordBytes));
    backlog.Flush();
    backlog.Close();
  } catch (CException* e) {
    e->Delete();
    backlog.Abort();
  }
}

// Parks the entry at the end of the backlog, on disk before this returns. A failure leaves no
// partial record and throws CFileException* to the caller.
void CLyrLog::ParkEntry(const char* backlogPath) {
  m_pFile->Abort();
  LOG_BACKLOG_STRUCT record;
  std::memset(&record, 0, sizeof record);
  lstrcpynA(record.LogFile, m_szLogFile, sizeof record.LogFile);
  record.Entry = *m_pEntry;
  SealBacklogRecord(&record);

  CFile backlog;
  char path[MAX_PATH * 2];
  lstrcpynA(path, backlogPath, sizeof path);
  const unsigned short flags = fExists(path) ? kOpenWrite : kOpenCreate;
  if (LyrOpenFile(&backlog, path, flags) != 0)
    AfxThrowFileException(CFileException::accessDenied, -1, path);
  DWORD end = 0;
  try {
    DWORD length = backlog.GetLength();
    end = length - length % kBacklogRecordBytes;
    backlog.Seek(static_cast<LONG>(end), CFile::begin);
    backlog.Write(&record, kBacklogRecordBytes);
    backlog.Flush();
    backlog.Close();
  } catch (CFileException*) {
    CutBack(backlog, end);
    backlog.Abort();
    throw;
  }
}
