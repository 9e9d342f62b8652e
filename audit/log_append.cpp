// Appending the entry to its log file, parking it in the backlog when that fails, and moving
// parked entries into their log at the next append there.
#include <LyrUtil.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "audit_files.h"
#include "backlog_seal.h"
#include "log_seal.h"

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
  char backlog[kBacklogPathBytes];
  BacklogPath(backlog);
  LockEntry();
  struct Unpin {
    CLyrLog* log;
    ~Unpin() { log->UnlockEntry(); }
  } unpin{this};

  try {
    WriteEntryToLog(backlog);
  } catch (CFileException* e) {
    e->Delete();
    ParkEntry(backlog);  // a failure here reaches the caller: the entry is lost
  }
}

namespace {

// Whether the file ends with one whole record from `end` on, as after a write that reached the
// file but whose flush failed.
bool EndsWithWholeRecord(CFile& file, ULONGLONG end) {
  try {
    return file.GetLength() == end + kEntryBytes;
  } catch (CException* e) {
    e->Delete();
    return false;
  }
}

// Whether a failure on a log on a network share means that its server could not be reached. The
// log may well be there then: the entry is parked, as after any failed append, not dropped as it
// is for a log whose folder cannot be made.
bool ServerOutOfReach(DWORD error) {
  switch (error) {
    case ERROR_BAD_NETPATH:
    case ERROR_UNEXP_NET_ERR:
    case ERROR_NETNAME_DELETED:
    case ERROR_BAD_NET_NAME:
    case ERROR_SEM_TIMEOUT:
    case ERROR_LOGON_FAILURE:
      return true;
    default:
      return false;
  }
}

}  // namespace

// Writes the entry at the log's end, on disk before this returns; a failure leaves the log as it
// was and throws CFileException*. One exception: when the record reached the file whole, its
// flush failed and the file cannot be cut back, the record stays and counts as written. Throwing
// would have it parked as well, and moved in a second time later. A new log's folder is made
// first, one level under a parent that must exist; where it cannot be, the entry is dropped
// (neither written nor parked) and this returns, unless the log's server is out of reach.
void CLyrLog::WriteEntryToLog(const char* backlogPath) {
  CFile& log = *m_pFile;
  const bool exists = fExists(m_szLogFile) != 0;
  if (!exists) {
    char folder[MAX_PATH];
    GetDirecFromFile(m_szLogFile, folder);
    if (!CreateDirectoryA(folder, nullptr)) {
      const DWORD error = GetLastError();
      if (ServerOutOfReach(error))
        AfxThrowFileException(CFileException::generic, static_cast<LONG>(error), m_szLogFile);
      if (error != ERROR_ALREADY_EXISTS) return;
    }
  }
  // The key state lives beside the backlog, in the working directory the caller read once for
  // both: each read of it costs the registry's and the INI file's checks.
  char keyPath[kBacklogPathBytes];
  const char* folderEnd = std::strrchr(backlogPath, '\\');
  std::snprintf(keyPath, sizeof keyPath, "%.*s\\%s",
                static_cast<int>(folderEnd ? folderEnd - backlogPath : std::strlen(backlogPath)),
                backlogPath, kSealKeyName);
  // An installation that seals reads the records back while it holds the log.
  const bool seals = SealingEnabled(keyPath);
  const unsigned short flags =
      exists ? (seals ? kOpenReadWrite : kOpenWrite) : (seals ? kOpenCreateReadWrite : kOpenCreate);
  if (LyrOpenFile(&log, m_szLogFile, flags) != 0)
    AfxThrowFileException(CFileException::accessDenied, -1, m_szLogFile);
  ULONGLONG end = 0;
  try {
    // After a torn tail (a crash, another program) the record goes to the record boundary, so
    // that the tail does not shift this and every later record out of place.
    ULONGLONG length = log.GetLength();
    end = length - length % kEntryBytes;
    log.Seek(static_cast<LONGLONG>(end), CFile::begin);
    log.Write(m_pEntry, kEntryBytes);
    log.Flush();
  } catch (CFileException* e) {
    if (CutBack(log, end) || !EndsWithWholeRecord(log, end)) {
      log.Abort();
      throw;
    }
    e->Delete();
  }
  FlushBacklog(backlogPath);
  if (seals) SealNewRecords(log, m_szLogFile, end / kEntryBytes, *m_pEntry, keyPath);
  try {
    log.Close();
  } catch (CFileException* e) {
    e->Delete();  // the entry is written and on disk; only the handle's release failed
    log.Abort();
  }
}

namespace {

// Reads exactly `count` bytes from the file's current position; CFile::Read may return fewer.
void ReadFully(CFile& file, unsigned char* bytes, size_t count) {
  size_t done = 0;
  while (done < count) {
    UINT n = file.Read(bytes + done, static_cast<UINT>(std::min<size_t>(count - done, 1u << 30)));
    if (n == 0) AfxThrowFileException(CFileException::endOfFile, -1, nullptr);
    done += n;
  }
}

// Puts a region of the file back to `original` after a rewrite of it failed part way. Only the
// bytes that differ now are written again: they were written a moment ago, so the space, the
// quota and the size limit that stopped the rewrite further on allow them; every byte after the
// last difference is already as it was. A cut that went through is undone first.
void RestoreRegion(CFile& file, ULONGLONG offset, const unsigned char* original, size_t count) {
  if (file.GetLength() < offset + count) file.SetLength(offset + count);
  std::vector<unsigned char> now(count);
  file.Seek(static_cast<LONGLONG>(offset), CFile::begin);
  ReadFully(file, now.data(), count);
  size_t first = 0;
  while (first < count && now[first] == original[first]) ++first;
  if (first < count) {
    size_t last = count - 1;
    while (now[last] == original[last]) --last;
    file.Seek(static_cast<LONGLONG>(offset + first), CFile::begin);
    file.Write(original + first, static_cast<UINT>(last + 1 - first));
  }
  file.Flush();
}

// Replaces the file's bytes from `offset` to its end (`original`, `count` bytes) by `replacement`,
// which is never longer, all or nothing. True when replaced; false when a failure was undone and
// the file is as it was. Throws CFileException* only when the undoing failed as well.
bool RewriteRegion(CFile& file, ULONGLONG offset, const unsigned char* original, size_t count,
                   const std::vector<unsigned char>& replacement) {
  try {
    file.Seek(static_cast<LONGLONG>(offset), CFile::begin);
    if (!replacement.empty()) file.Write(replacement.data(), static_cast<UINT>(replacement.size()));
    file.SetLength(offset + replacement.size());
    file.Flush();
    return true;
  } catch (CFileException* e) {
    e->Delete();
  }
  RestoreRegion(file, offset, original, count);
  return false;
}

bool SameLog(const LOG_BACKLOG_STRUCT& record, const char* logPath) {
  return lstrcmpiA(record.LogFile, logPath) == 0;
}

}  // namespace

// Moves the parked entries of this log from the backlog behind the entry just written, in the
// order they were parked. Any file error ends the flush quietly with every entry where it was
// before the flush, and the next append tries again:
// - the moved entries reach the log and its disk first; a failure there cuts the log back;
// - then the backlog loses them in one rewrite of its changed part, which undoes itself when it
//   fails (RewriteRegion), after which the log is cut back to where the flush began.
// Only a second failure while undoing can leave an entry in both places, never in neither; a
// crash between the two steps likewise.
void CLyrLog::FlushBacklog(const char* backlogPath) {
  if (!fExists(backlogPath)) return;
  CFile backlog;
  char path[MAX_PATH * 2];
  lstrcpynA(path, backlogPath, sizeof path);
  if (LyrOpenFile(&backlog, path, kOpenReadWrite) != 0) return;
  CFile& log = *m_pFile;
  try {
    const ULONGLONG length = backlog.GetLength();
    std::vector<unsigned char> bytes(static_cast<size_t>(length));
    ReadFully(backlog, bytes.data(), bytes.size());
    const size_t records = bytes.size() / kBacklogRecordBytes;
    auto recordAt = [&](size_t i) {
      LOG_BACKLOG_STRUCT record;
      std::memcpy(&record, bytes.data() + i * kBacklogRecordBytes, kBacklogRecordBytes);
      return record;
    };

    std::vector<LOG_ENTRY_STRUCT> ours;
    std::vector<unsigned char> keptTail;  // the records kept from the first change on
    size_t firstChange = records;
    for (size_t i = 0; i < records; ++i) {
      LOG_BACKLOG_STRUCT record = recordAt(i);
      const bool intact = BacklogRecordIntact(record);  // a record torn by a crash is dropped
      const bool mine = intact && SameLog(record, m_szLogFile);
      if (intact && !mine) {
        if (firstChange < records) {
          const unsigned char* at = bytes.data() + i * kBacklogRecordBytes;
          keptTail.insert(keptTail.end(), at, at + kBacklogRecordBytes);
        }
        continue;
      }
      if (firstChange == records) firstChange = i;
      if (mine) {
        TerminateFields(&record.Entry);
        ours.push_back(record.Entry);
      }
    }
    if (firstChange == records) {
      backlog.Close();
      return;
    }

    const ULONGLONG logEnd = log.GetPosition();
    if (!ours.empty()) {
      try {
        for (const LOG_ENTRY_STRUCT& entry : ours) log.Write(&entry, kEntryBytes);
        log.Flush();
      } catch (CFileException*) {
        CutBack(log, logEnd);  // all or none: none of them leaves the backlog
        throw;
      }
    }

    const size_t offset = firstChange * kBacklogRecordBytes;
    if (!RewriteRegion(backlog, offset, bytes.data() + offset, bytes.size() - offset, keptTail) &&
        !ours.empty()) {
      // The backlog is as it was, so the moved entries leave the log again.
      CutBack(log, logEnd);
      log.Flush();
    }
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
  ULONGLONG end = 0;
  try {
    ULONGLONG length = backlog.GetLength();
    end = length - length % kBacklogRecordBytes;
    backlog.Seek(static_cast<LONGLONG>(end), CFile::begin);
    backlog.Write(&record, kBacklogRecordBytes);
    backlog.Flush();
    backlog.Close();
  } catch (CFileException*) {
    CutBack(backlog, end);
    backlog.Abort();
    throw;
  }
}
