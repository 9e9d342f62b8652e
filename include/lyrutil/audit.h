// The audit trail: the audit record and its log file, the backlog of entries whose append
// failed, filtered reading, export, and the dialog that asks the user for a comment.
#ifndef LYRUTIL_AUDIT_H
#define LYRUTIL_AUDIT_H

#include <afxwin.h>

#include <lyrutil/export.h>

// The audit record: the object's current entry and the unit of every audit log file. Texts are
// terminated inside their field; integers are little-endian.
struct LOG_ENTRY_STRUCT {
  int32_t Time;  // seconds since 1 January 1970 00:00:00 UTC
  char UsrId[16];
  char AuthId[16];
  char SysId[16];
  char PrjId[16];
  char SmpId[16];
  char SmpName[64];
  char ARName[260];
  char Channel;
  char MethName[260];  // at an odd offset: the record has no gaps
  char MethType[32];
  char SysMess[256];
  char UsrMess[259];
};
static_assert(sizeof(LOG_ENTRY_STRUCT) == 1216, "the audit record is 1216 bytes");

// A record of the backlog "error.blg": the log file's full path, then the entry.
struct LOG_BACKLOG_STRUCT {
  char LogFile[260];
  LOG_ENTRY_STRUCT Entry;
};
static_assert(sizeof(LOG_BACKLOG_STRUCT) == 1476, "the backlog record is 1476 bytes");

// The filters of a navigation. Texts are off when empty, the channel when zero, the times while
// their flags in the object are clear.
struct LOG_MASK_STRUCT {
  int32_t BeginTime;
  int32_t EndTime;
  char UsrId[16];
  char AuthId[16];
  char SysId[16];
  char PrjId[16];
  char SmpId[16];
  char SmpName[64];
  char ARName[260];
  char Channel;
  char MethName[260];
  char MethType[32];
};

// Writes audit entries to a log file and reads them back through filters.
//
// The entry, the masks and a read buffer of 53 records live in movable global memory owned by
// the object for its lifetime; the entry stays at one address, so the field accessors' pointers
// hold until the object is destroyed. A log file is open only during an append or a load, with
// exclusive sharing; objects in one or several processes coordinate through that alone. Not
// thread-safe: an object serves one thread at a time.
//
// No entry is lost or garbled on the way to the file: a write that fails leaves no partial
// record (the file is cut back to its length before the write), an entry whose log cannot be
// opened or written is parked in the backlog and moved into its log at the next append there,
// the log is flushed to disk before parked entries leave the backlog, and an append after a
// torn tail writes at the record boundary.
class LYRUTIL_API CLyrLog {
 public:
  CLyrLog();
  ~CLyrLog();
  CLyrLog(const CLyrLog&) = delete;
  CLyrLog& operator=(const CLyrLog&) = delete;

  void InitEntry(void);
  void SetFile(char* path);
  void FixLogMess(int ask);
  int GetInitialized(void);

  void SetTime(LONG t);
  void SetTime(void);
  LONG GetTime(void);
  void SetChannel(char c);
  char GetChannel(void);
  void SetUsrId(const char* text);
  void SetAuthId(const char* text);
  void SetSysId(const char* text);
  void SetPrjId(const char* text);
  void SetSmpId(const char* text);
  void SetSmpName(const char* text);
  void SetARName(const char* text);
  void SetMethName(const char* text);
  void SetMethType(const char* text);
  void SetSysMess(const char* text);
  void SetUsrMess(const char* text);
  char* GetUsrId(void);
  char* GetAuthId(void);
  char* GetSysId(void);
  char* GetPrjId(void);
  char* GetSmpId(void);
  char* GetSmpName(void);
  char* GetARName(void);
  char* GetMethName(void);
  char* GetMethType(void);
  char* GetSysMess(void);
  char* GetUsrMess(void);

  // Filters and navigation.
  void SetBeginTimeMask(LONG t);
  void SetEndTimeMask(LONG t);
  void SetBeginTimeMask(void);
  void SetEndTimeMask(void);
  void SetUsrIdMask(const char* text);
  void SetAuthIdMask(const char* text);
  void SetSysIdMask(const char* text);
  void SetPrjIdMask(const char* text);
  void SetSmpIdMask(const char* text);
  void SetSmpNameMask(const char* text);
  void SetARNameMask(const char* text);
  void SetMethNameMask(const char* text);
  void SetMethTypeMask(const char* text);
  void SetChannelMask(char c);
  int SetMask(void);
  int GetNext(void);

  // Export and extracts.
  void ExportASCIILog(char* path);
  ULONG CreateTempLog(char* path);

 private:
  LOG_ENTRY_STRUCT* LockEntry();
  void UnlockEntry();
  LOG_MASK_STRUCT* LockMask();
  void UnlockMask();
  void AllocateBlocks();
  void ReleaseAll();
  void SetText(char* field, size_t fieldBytes, const char* text);
  void SetMaskText(char* field, size_t fieldBytes, const char* text);
  void AppendEntry();
  void WriteEntryToLog(const char* backlogPath);
  void FlushBacklog(const char* backlogPath);
  void ParkEntry(const char* backlogPath);
  LOG_ENTRY_STRUCT* ReadNextRecord(unsigned char* buffer);
  bool PassesFilters(LOG_ENTRY_STRUCT& entry, const LOG_MASK_STRUCT& mask) const;
  void WriteExportLine(CStdioFile& file);

  HGLOBAL m_hEntry;
  LOG_ENTRY_STRUCT* m_pEntry;
  unsigned short m_nEntryPins;
  HGLOBAL m_hMask;
  LOG_MASK_STRUCT* m_pMask;
  unsigned short m_nMaskPins;
  HGLOBAL m_hBuffer;
  unsigned char* m_pBuffer;
  char m_szLogFile[260];
  CFile* m_pFile;
  int m_nInitialized;
  unsigned short m_nLastError;
  int m_bBeginTime;
  int m_bEndTime;
  int m_bReady;
  ULONG m_nNextRecord;
  ULONG m_nRecordCount;
  unsigned short m_nInBuffer;
  unsigned short m_nBufferCapacity;
  unsigned short m_nBufferPosition;
  LOG_ENTRY_STRUCT* m_pFixedEntry;  // the entry's one address, kept pinned for the accessors
  int m_bReadAny;                   // the navigation has read a record into the entry
};

// The modal dialog in which the user adds a comment to an audit entry: template 229, the system
// message in control 1256 (read only), the user message in control 1257.
class LYRUTIL_API CUserLogDlg : public CDialog {
 public:
  // `userMessage` receives the comment on OK and must hold 257 bytes; `systemMessage` is shown.
  CUserLogDlg(char* userMessage, char* systemMessage);
  ~CUserLogDlg() override;
  int GetInitialized(void);

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;

 private:
  int m_nInitialized;
  char* m_pUserMessage;
  char* m_pSystemMessage;
};

#endif  // LYRUTIL_AUDIT_H
