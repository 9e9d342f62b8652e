// Reading a log back through masks and a time window: the start found by binary search on the
// begin time, one record read per probe; then records in loads of up to 53, one open, seek and
// read per load, the file open only for the load.
#include <LyrUtil.h>

#include <cstring>

#include "audit_files.h"

using namespace lyrutil;

namespace {

// Unpins the mask and the entry on every way out.
class Pins final {
 public:
  explicit Pins(CLyrLog* log, void (CLyrLog::*unlockMask)(), void (CLyrLog::*unlockEntry)())
      : log_(log), unlockMask_(unlockMask), unlockEntry_(unlockEntry) {}
  ~Pins() {
    (log_->*unlockEntry_)();
    (log_->*unlockMask_)();
  }
  Pins(const Pins&) = delete;
  Pins& operator=(const Pins&) = delete;

 private:
  CLyrLog* log_;
  void (CLyrLog::*unlockMask_)();
  void (CLyrLog::*unlockEntry_)();
};

bool Equal(const char* field, const char* mask) {
  return lstrcmpiA(field, mask) == 0;
}

// The field ended within itself, as every text of a record read from the log must be.
template <size_t N>
const char* Terminated(char (&field)[N]) {
  field[N - 1] = '\0';
  return field;
}

}  // namespace

void CLyrLog::SetMaskText(char* field, size_t fieldBytes, const char* text) {
  LockMask();
  size_t n = text ? strnlen(text, fieldBytes - 1) : 0;
  if (n) std::memcpy(field, text, n);
  field[n] = '\0';
  m_bReady = 0;
  UnlockMask();
}

void CLyrLog::SetBeginTimeMask(LONG t) {
  LockMask()->BeginTime = t;
  m_bBeginTime = 1;
  m_bReady = 0;
  UnlockMask();
}

void CLyrLog::SetEndTimeMask(LONG t) {
  LockMask()->EndTime = t;
  m_bEndTime = 1;
  m_bReady = 0;
  UnlockMask();
}

void CLyrLog::SetBeginTimeMask(void) {
  m_bBeginTime = 0;
}
void CLyrLog::SetEndTimeMask(void) {
  m_bEndTime = 0;
}

#define LYR_MASK_FIELD(Name)                          \
  void CLyrLog::Set##Name##Mask(const char* text) {   \
    LOG_MASK_STRUCT* mask = LockMask();               \
    SetMaskText(mask->Name, sizeof mask->Name, text); \
    UnlockMask();                                     \
  }

LYR_MASK_FIELD(UsrId)
LYR_MASK_FIELD(AuthId)
LYR_MASK_FIELD(SysId)
LYR_MASK_FIELD(PrjId)
LYR_MASK_FIELD(SmpId)
LYR_MASK_FIELD(SmpName)
LYR_MASK_FIELD(ARName)
LYR_MASK_FIELD(MethName)
LYR_MASK_FIELD(MethType)
#undef LYR_MASK_FIELD

void CLyrLog::SetChannelMask(char c) {
  LockMask()->Channel = c;
  m_bReady = 0;
  UnlockMask();
}

int CLyrLog::SetMask(void) {
  LOG_MASK_STRUCT* mask = LockMask();
  LOG_ENTRY_STRUCT* entry = LockEntry();
  ULONG start = 0;
  bool probed = false;
  {
    Pins pins(this, &CLyrLog::UnlockMask, &CLyrLog::UnlockEntry);
    if (!fExists(m_szLogFile) || LyrOpenFile(m_pFile, m_szLogFile, kOpenRead) != 0) return 0;
    CFile& log = *m_pFile;
    auto readRecord = [&](ULONG index) {
      log.Seek(static_cast<LONGLONG>(index) * kEntryBytes, CFile::begin);
      if (log.Read(entry, kEntryBytes) < kEntryBytes)
        AfxThrowFileException(CFileException::endOfFile, -1, m_szLogFile);
      TerminateFields(entry);
      probed = true;
    };
    try {
      m_nRecordCount = static_cast<ULONG>(log.GetLength() / kEntryBytes);
      if (m_bBeginTime) {
        const int32_t begin = mask->BeginTime;
        if (m_nRecordCount == 0) {
          log.Close();
          return 0;
        }
        readRecord(0);
        if (entry->Time >= begin) {
          if (m_bEndTime && entry->Time > mask->EndTime) {
            log.Close();
            return 0;
          }
        } else {
          // The last whole record: a torn tail is not a record.
          readRecord(m_nRecordCount - 1);
          if (entry->Time < begin) {
            log.Close();
            return 0;
          }
          ULONG lo = 0;
          ULONG hi = m_nRecordCount;
          ULONG mid = m_nRecordCount / 2;
          for (;;) {
            if (mid <= lo || mid >= hi) {
              start = hi;
              break;
            }
            readRecord(mid);
            if (entry->Time == begin) {
              hi = mid;
              if (mid <= lo + 1) {
                start = hi;
                break;
              }
              mid = mid - 1;  // walk back through a run of equal times
            } else if (entry->Time > begin) {
              hi = mid;
              mid = (lo + hi) / 2;
            } else {
              lo = mid;
              mid = lo == hi - 1 ? lo + 1 : (lo + hi) / 2;
            }
          }
        }
      }
      log.Close();
    } catch (CFileException*) {
      log.Abort();
      throw;
    }
    m_nNextRecord = start;
    m_nInBuffer = 0;
    m_nBufferPosition = kBufferEmpty;
    m_bReady = 1;
    m_bReadAny = probed ? 1 : 0;
  }
  return GetNext();
}

// The next record of the navigation, where it lies in the load; the next load is read when this
// one is used up. Null at the end. A load that fails throws CFileException* and changes nothing,
// so the next call tries it again.
LOG_ENTRY_STRUCT* CLyrLog::ReadNextRecord(unsigned char* buffer) {
  const bool ended = m_nBufferPosition == 0 && m_nInBuffer == 0;  // a load found nothing
  if (ended) return nullptr;
  if (m_nBufferPosition == kBufferEmpty || m_nBufferPosition >= m_nInBuffer) {
    CFile& log = *m_pFile;
    if (LyrOpenFile(&log, m_szLogFile, kOpenRead) != 0)
      AfxThrowFileException(CFileException::accessDenied, -1, m_szLogFile);
    UINT read = 0;
    try {
      log.Seek(static_cast<LONGLONG>(m_nNextRecord) * kEntryBytes, CFile::begin);
      read = log.Read(buffer, static_cast<UINT>(m_nBufferCapacity) * kEntryBytes);
      log.Close();
    } catch (CFileException*) {
      log.Abort();
      throw;
    }
    m_nInBuffer = static_cast<unsigned short>(read / kEntryBytes);
    m_nBufferPosition = 0;
    m_nNextRecord += m_nInBuffer;
  }
  if (m_nBufferPosition >= m_nInBuffer) return nullptr;
  return reinterpret_cast<LOG_ENTRY_STRUCT*>(buffer + static_cast<size_t>(m_nBufferPosition++) *
                                                          kEntryBytes);
}

// The sample-name mask filters too, like the other texts: a reviewer who sets it expects it to.
// Only the texts a mask compares are terminated here, in the load; a record copied into the entry
// has all of them terminated there.
bool CLyrLog::PassesFilters(LOG_ENTRY_STRUCT& e, const LOG_MASK_STRUCT& m) const {
  if (m.UsrId[0] && !Equal(Terminated(e.UsrId), m.UsrId)) return false;
  if (m.AuthId[0] && !Equal(Terminated(e.AuthId), m.AuthId)) return false;
  if (m.SysId[0] && !Equal(Terminated(e.SysId), m.SysId)) return false;
  if (m.PrjId[0] && !Equal(Terminated(e.PrjId), m.PrjId)) return false;
  if (m.SmpId[0] && !Equal(Terminated(e.SmpId), m.SmpId)) return false;
  if (m.SmpName[0] && !Equal(Terminated(e.SmpName), m.SmpName)) return false;
  if (m.ARName[0] && !Equal(Terminated(e.ARName), m.ARName)) return false;
  if (m.Channel && e.Channel != m.Channel) return false;
  if (m.MethName[0] && !Equal(Terminated(e.MethName), m.MethName)) return false;
  if (m.MethType[0] && !Equal(Terminated(e.MethType), m.MethType)) return false;
  return true;
}

// Records are examined where they lie in the load; the entry receives the one GetNext stops at,
// and the last of a load before the next load overwrites it, so that the entry always holds the
// last record read, as if each had been copied into it.
int CLyrLog::GetNext(void) {
  if (!m_bReady) return 0;
  LOG_MASK_STRUCT* mask = LockMask();
  LOG_ENTRY_STRUCT* entry = LockEntry();
  Pins pins(this, &CLyrLog::UnlockMask, &CLyrLog::UnlockEntry);
  if (m_bEndTime && m_bReadAny && entry->Time > mask->EndTime) return 0;
  unsigned char* buffer = static_cast<unsigned char*>(GlobalLock(m_hBuffer));
  struct Unpin {
    HGLOBAL block;
    ~Unpin() { GlobalUnlock(block); }
  } unpin{m_hBuffer};
  try {
    for (;;) {
      LOG_ENTRY_STRUCT* record = ReadNextRecord(buffer);
      if (record == nullptr) return 0;
      m_bReadAny = 1;
      const bool past = m_bEndTime && record->Time > mask->EndTime;
      const bool passes = !past && PassesFilters(*record, *mask);
      if (past || passes || m_nBufferPosition >= m_nInBuffer) {
        std::memcpy(entry, record, kEntryBytes);
        TerminateFields(entry);
      }
      if (past) return 0;
      if (passes) return 1;
    }
  } catch (CFileException* e) {
    e->Delete();
    return 0;
  }
}
