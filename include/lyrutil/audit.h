/// @file
/// The audit trail: the audit record and its log file, the backlog of entries whose append
/// failed, filtered reading, export, and the dialog that asks the user for a comment.
#ifndef LYRUTIL_AUDIT_H
#define LYRUTIL_AUDIT_H

#include <afxwin.h>

#include <lyrutil/export.h>

/// The audit record, 1216 bytes with no gaps: the object's current entry and the unit of every
/// audit log file. Texts are terminated inside their field; integers are little-endian.
struct LOG_ENTRY_STRUCT {
  int32_t Time;        ///< seconds since 1 January 1970 00:00:00 UTC
  char UsrId[16];      ///< the user who acted
  char AuthId[16];     ///< the user who authorised it
  char SysId[16];      ///< the system
  char PrjId[16];      ///< the project
  char SmpId[16];      ///< the sample's id
  char SmpName[64];    ///< the sample's name
  char ARName[260];    ///< the analysis result's file
  char Channel;        ///< the channel, one character; a space by default
  char MethName[260];  ///< the method's file, at an odd offset
  char MethType[32];   ///< the method's type
  char SysMess[256];   ///< what the system says happened
  char UsrMess[259];   ///< the user's comment
};
static_assert(sizeof(LOG_ENTRY_STRUCT) == 1216, "the audit record is 1216 bytes");

/// A record of the backlog "error.blg" in the working directory, 1476 bytes: an entry whose log
/// could not be written, waiting for the next append to that log.
struct LOG_BACKLOG_STRUCT {
  char LogFile[260];       ///< the log file's full path
  LOG_ENTRY_STRUCT Entry;  ///< the entry as it was to be appended
};
static_assert(sizeof(LOG_BACKLOG_STRUCT) == 1476, "the backlog record is 1476 bytes");

/// The filters of a navigation. Texts are off when empty, the channel when zero, the times while
/// their flags in the object are clear. A text filter passes a record whose field equals it.
struct LOG_MASK_STRUCT {
  int32_t BeginTime;   ///< no record before this time, while its flag is set
  int32_t EndTime;     ///< no record after this time, while its flag is set
  char UsrId[16];      ///< the user who acted
  char AuthId[16];     ///< the user who authorised it
  char SysId[16];      ///< the system
  char PrjId[16];      ///< the project
  char SmpId[16];      ///< the sample's id
  char SmpName[64];    ///< the sample's name
  char ARName[260];    ///< the analysis result's file
  char Channel;        ///< the channel
  char MethName[260];  ///< the method's file
  char MethType[32];   ///< the method's type
};

/// Writes audit entries to a log file and reads them back through filters.
///
/// The entry, the masks and a read buffer of 53 records live in movable global memory owned by
/// the object for its lifetime; the entry stays at one address, so the field accessors' pointers
/// hold until the object is destroyed. A log file is open only during an append or a load, with
/// exclusive sharing; objects in one or several processes coordinate through that alone. Not
/// thread-safe: an object serves one thread at a time.
///
/// No entry is lost or garbled on the way to the file: a write that fails leaves no partial
/// record (the file is cut back to its length before the write), an entry whose log cannot be
/// opened or written is parked in the backlog and moved into its log at the next append there,
/// the log is flushed to disk before parked entries leave the backlog, and an append after a
/// torn tail writes at the record boundary.
class LYRUTIL_API CLyrLog {
 public:
  /// Allocates the blocks and runs `InitEntry`; `GetInitialized` says whether that worked.
  CLyrLog();
  /// Frees the blocks; no file is open between calls.
  ~CLyrLog();
  CLyrLog(const CLyrLog&) = delete;
  CLyrLog& operator=(const CLyrLog&) = delete;

  /// Resets the entry (every text the host's string 160, the channel a space, the time now) and
  /// clears every filter; the log file's path stays.
  void InitEntry(void);
  /// Names the log file (at most 259 characters); an empty text clears it, so that appends write
  /// nothing.
  void SetFile(char* path);
  /// Appends the entry to the log file, after asking the user for a comment (`CUserLogDlg`) when
  /// `ask` is nonzero; Cancel keeps the comment it had, and the entry is written either way. The
  /// entry is on disk, or parked in the backlog, when this returns; the time and fields are not
  /// refreshed. A CFileException* reaches the caller only when the entry could be neither written
  /// nor parked: the entry is then lost, and the caller must say so. Nothing with no log file.
  void FixLogMess(int ask);
  /// 1 when the object's blocks were allocated, else 0 (the object then writes and reads nothing).
  int GetInitialized(void);

  /// Sets the entry's time, seconds since 1970 UTC.
  void SetTime(LONG t);
  /// Sets the entry's time to now.
  void SetTime(void);
  /// The entry's time.
  LONG GetTime(void);
  /// Sets the entry's channel.
  void SetChannel(char c);
  /// The entry's channel.
  char GetChannel(void);
  /// @name Field setters
  /// Copy the text into the entry's field, cut to the field's size less one.
  ///@{
  void SetUsrId(const char* text);     ///< UsrId: at most 15 characters
  void SetAuthId(const char* text);    ///< AuthId: at most 15 characters
  void SetSysId(const char* text);     ///< SysId: at most 15 characters
  void SetPrjId(const char* text);     ///< PrjId: at most 15 characters
  void SetSmpId(const char* text);     ///< SmpId: at most 15 characters
  void SetSmpName(const char* text);   ///< SmpName: at most 63 characters
  void SetARName(const char* text);    ///< ARName: at most 259 characters
  void SetMethName(const char* text);  ///< MethName: at most 259 characters
  void SetMethType(const char* text);  ///< MethType: at most 31 characters
  void SetSysMess(const char* text);   ///< SysMess: at most 255 characters
  void SetUsrMess(const char* text);   ///< UsrMess: at most 258 characters
  ///@}
  /// @name Field accessors
  /// The entry's field, terminated within it; the pointer holds until the object is destroyed
  /// and sees every later change of the entry.
  ///@{
  char* GetUsrId(void);     ///< UsrId, 16 bytes
  char* GetAuthId(void);    ///< AuthId, 16 bytes
  char* GetSysId(void);     ///< SysId, 16 bytes
  char* GetPrjId(void);     ///< PrjId, 16 bytes
  char* GetSmpId(void);     ///< SmpId, 16 bytes
  char* GetSmpName(void);   ///< SmpName, 64 bytes
  char* GetARName(void);    ///< ARName, 260 bytes
  char* GetMethName(void);  ///< MethName, 260 bytes
  char* GetMethType(void);  ///< MethType, 32 bytes
  char* GetSysMess(void);   ///< SysMess, 256 bytes
  char* GetUsrMess(void);   ///< UsrMess, 259 bytes
  ///@}

  /// Filters from time `t` on (and ends any navigation).
  void SetBeginTimeMask(LONG t);
  /// Filters up to time `t` (and ends any navigation).
  void SetEndTimeMask(LONG t);
  /// Switches the begin-time filter off; the time is kept.
  void SetBeginTimeMask(void);
  /// Switches the end-time filter off; the time is kept.
  void SetEndTimeMask(void);
  /// @name Text filters
  /// Copy the text into the mask's field, cut to its size less one, and end any navigation; an
  /// empty text switches the filter off.
  ///@{
  void SetUsrIdMask(const char* text);     ///< filters on UsrId
  void SetAuthIdMask(const char* text);    ///< filters on AuthId
  void SetSysIdMask(const char* text);     ///< filters on SysId
  void SetPrjIdMask(const char* text);     ///< filters on PrjId
  void SetSmpIdMask(const char* text);     ///< filters on SmpId
  void SetSmpNameMask(const char* text);   ///< filters on SmpName
  void SetARNameMask(const char* text);    ///< filters on ARName
  void SetMethNameMask(const char* text);  ///< filters on MethName
  void SetMethTypeMask(const char* text);  ///< filters on MethType
  ///@}
  /// Filters on the channel (and ends any navigation); 0 switches the filter off.
  void SetChannelMask(char c);
  /// Starts a navigation of the log file and fetches the first record that passes the filters
  /// into the entry: 1 when one is there; 0 when none is, the log does not exist or cannot be
  /// opened. A read that fails while the start of the time window is sought throws
  /// CFileException*.
  int SetMask(void);
  /// Fetches the next record that passes into the entry: 1 when found, 0 at the end or when the
  /// log cannot be read (a failed load changes nothing and is tried again by the next call).
  int GetNext(void);

  /// Writes the records that pass the filters as text lines (fourteen columns separated by
  /// " | ", at most 1023 characters a line) to a new file at `path`, replacing one of that name
  /// when a record passes; nothing is written when none does. Refuses the log it reads. A
  /// failure throws CFileException*; the lines written so far stay.
  void ExportASCIILog(char* path);
  /// Copies the records that pass the filters, unchanged, into a new audit log at `path`: the
  /// number copied; 0 when none passes, the file exists already (it is left alone) or anything
  /// fails.
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

/// The modal dialog in which the user adds a comment to an audit entry: template 229, the system
/// message in control 1256 (read only), the user message in control 1257. DoModal gives IDOK or
/// IDCANCEL.
class LYRUTIL_API CUserLogDlg : public CDialog {
 public:
  /// `userMessage` receives the comment on OK and must hold 257 bytes; `systemMessage` is shown.
  /// Both stay the caller's and must outlive the dialog.
  CUserLogDlg(char* userMessage, char* systemMessage);
  /// Destroys the dialog.
  ~CUserLogDlg() override;
  /// Always 1.
  int GetInitialized(void);

 protected:
  /// Shows both texts, the comment's field limited to 255 typed characters.
  BOOL OnInitDialog() override;
  /// Copies the comment into the caller's buffer and closes with IDOK.
  void OnOK() override;
  /// Closes with IDCANCEL, leaving the caller's buffer as it was.
  void OnCancel() override;

 private:
  int m_nInitialized;
  char* m_pUserMessage;
  char* m_pSystemMessage;
};

#endif  // LYRUTIL_AUDIT_H
