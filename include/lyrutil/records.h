/// @file
/// Shared records: the date-time record and its texts, the record array, the header records.
/// The free functions keep no state and may be called from any thread; a null record pointer is
/// ignored.
#ifndef LYRUTIL_RECORDS_H
#define LYRUTIL_RECORDS_H

#include <afx.h>

#include <cstddef>

#include <lyrutil/export.h>

// --- Time stamps ---

/// A broken-down local date and time, 12 bytes; the order is day, month, year, then the time.
struct LYR_TIME_STRUCT {
  WORD wDay;     ///< 1 to 31
  WORD wMonth;   ///< 1 to 12
  WORD wYear;    ///< four digits
  WORD wHour;    ///< 0 to 23
  WORD wMinute;  ///< 0 to 59
  WORD wSecond;  ///< 0 to 59
};
static_assert(sizeof(LYR_TIME_STRUCT) == 12, "six 16-bit fields");

/// Sets all six fields to the current local date and time, in whole seconds.
LYRUTIL_API void InitTimeStruct(LYR_TIME_STRUCT* time);
/// Sets all six fields to the local date and time of `seconds` since 1 January 1970 UTC. A
/// negative count lies before the 32-bit scale: the record is left as it was.
LYRUTIL_API void SetTimeStruct(LYR_TIME_STRUCT* time, LONG seconds);
/// Copies day, month, year, hour, minute and second; the day of week and milliseconds are dropped.
LYRUTIL_API void SetTimeStruct(LYR_TIME_STRUCT* time, SYSTEMTIME systemTime);
/// Writes the record's six fields into `systemTime`; its day of week and milliseconds are left as
/// they were.
LYRUTIL_API void GetSysTime(LYR_TIME_STRUCT time, SYSTEMTIME& systemTime);
/// The date as "dd/mm/yyyy"; an empty text for a null record or one that is not a date.
LYRUTIL_API CString GetShortDateString(LYR_TIME_STRUCT* time);
/// The time in the locale's form ("%X"); an empty text for a null record or one that is not a
/// time.
LYRUTIL_API CString GetShortTimeString(LYR_TIME_STRUCT* time);
/// Date and time as "dd/mm/yyyy" and the locale's time, one space between.
LYRUTIL_API CString GetShortDateTimeString(LYR_TIME_STRUCT* time);

// --- The record array ---

/// A run of fixed-size records in one block of movable global memory, which can be locked to a
/// pointer, grown, shifted, written and read as raw bytes, and handed over as a memory handle.
/// Owns its block until ExportMemoryHandle hands it out. Not thread-safe: an array belongs to one
/// thread at a time. Allocation failures throw CMemoryException* (after noting "Heapfragmented"
/// in the suite INI file) and leave the array as it was.
class LYRUTIL_API CXRecordArray {
 public:
  /// `recordCount` zero-filled records of `recordSize` bytes; a count under 1 becomes 1.
  CXRecordArray(unsigned short recordSize, LONG recordCount);
  /// A copy of `source` (record size, count and bytes) in a block of its own, neither locked nor
  /// handed out.
  explicit CXRecordArray(CXRecordArray* source);
  /// Frees the block unless it was handed out.
  virtual ~CXRecordArray();
  CXRecordArray(const CXRecordArray&) = delete;
  CXRecordArray& operator=(const CXRecordArray&) = delete;

  /// `Serialize` from the file (direction 0).
  virtual void Read(CFile& file, LONG count);
  /// `Serialize` to the file (direction 1).
  virtual void Write(CFile& file, LONG count);

  /// Locks the block and counts the lock: the first record's address, valid until the last
  /// `Unlock`. A call that replaces the block (`Expand`, `ShiftArray`, a growing `Serialize`,
  /// `Copy`) moves the records: lock again for their new address.
  unsigned char* Lock();
  /// Gives back one lock: 0 when the array was not locked or this was its last lock, 1 when
  /// locks remain.
  int Unlock();
  /// Drops all locks and hands the block to the caller, who owns it from then on and frees it
  /// with GlobalFree; the destructor leaves it alone.
  void* ExportMemoryHandle();
  /// The number of records.
  LONG GetSize();
  /// Grows the array to at least `count` records, the new ones zero (in a new block).
  void Expand(LONG count);
  /// Moves the run of `count` records from `first` by `distance` (negative: towards the start,
  /// dropping records that would land before 0) into a new block, growing the array when the run
  /// ends past it. A positive distance leaves the gap's old records in place; a negative one
  /// keeps the array's length. Returns the records moved; 0, with nothing changed, when `first`
  /// is past the end, `first` or `count` is negative, or the whole run would land before 0.
  LONG ShiftArray(LONG first, LONG count, LONG distance);
  /// Writes (`direction` 1) or reads (any other) the first `count` records (0 means 1) as raw
  /// bytes through the file's virtual Write or Read, growing the array first when it holds fewer.
  /// A short read leaves the rest as it was; a CFileException* passes to the caller; a negative
  /// count does nothing.
  void Serialize(CFile& file, unsigned short direction, LONG count);
  /// Replaces the contents with a copy of the source's (record size, count and bytes) in a new
  /// block; the array stays locked as often as it was. A null source or the array itself: nothing.
  void Copy(CXRecordArray* source);

 protected:
  HGLOBAL m_hMemory;             ///< the block of movable global memory
  unsigned short m_nRecordSize;  ///< bytes per record
  LONG m_nRecords;               ///< records in the block
  BOOL m_bHandedOut;             ///< the block belongs to the caller of ExportMemoryHandle
  unsigned short m_nLocks;       ///< locks held through Lock
  unsigned char* m_pData;        ///< the block's address while locked, else null

 private:
  void ReleaseBlock();
};

// --- Header records ---
// Texts are zero-terminated in arrays of the given width. Fields whose meaning belongs to the
// host applications have positional names; each says what its initialiser gives it.

/// An address, 315 bytes.
struct ADDRESS_STRUCT {
  char szLine1[64];       ///< first line; empty
  char szLine2[64];       ///< second line; empty
  char szLine3[64];       ///< third line; empty
  char szText4[3];        ///< fourth text; empty
  char szPostalCode[16];  ///< postal code; empty
  char szText6[64];       ///< sixth text; empty
  char szText7[20];       ///< seventh text; empty
  char szText8[20];       ///< eighth text; empty
};

/// A company and its address, 635 bytes.
struct COMPANY_STRUCT {
  char szName[64];         ///< name; empty
  ADDRESS_STRUCT address;  ///< as InitAddress sets it
  char szText3[256];       ///< third text; empty
};

/// An operator and the company, 1240 bytes.
struct OPERATOR_STRUCT {
  char szName[64];         ///< name; empty
  char szText2[16];        ///< second text; empty
  char szText3[256];       ///< third text; empty
  char szText4[256];       ///< fourth text; empty
  int32_t nValue5;         ///< fifth field; 1
  int32_t nValue6;         ///< sixth field; 0
  int32_t nValue7;         ///< seventh field; 1
  COMPANY_STRUCT company;  ///< as InitCompany sets it
};

/// The header of an analysis, 1588 bytes.
struct ANALYSIS_SYS_HDR_STRUCT {
  char szName[64];                   ///< name; empty
  char szText2[256];                 ///< second text; empty
  OPERATOR_STRUCT analysisOperator;  ///< as InitOperator sets it
  LYR_TIME_STRUCT time4;             ///< first stamp; the current local time
  LYR_TIME_STRUCT time5;             ///< second stamp; the current local time
  WORD wValue6;                      ///< sixth field; 0
  WORD wValue7;                      ///< seventh field; 1
};

/// The header of a chromatography system, 340 bytes.
struct CHROM_SYS_HDR_STRUCT {
  char szName[64];    ///< name; empty
  char szText2[256];  ///< second text; empty
  char szText3[16];   ///< third text; empty
  WORD wValue4;       ///< fourth field; 0
  WORD wValue5;       ///< fifth field; 0
};

/// A chromatography device and its maker, 1008 bytes.
struct CHROM_DEVICE_STRUCT {
  char szName[64];         ///< name; empty
  COMPANY_STRUCT company;  ///< as InitCompany sets it
  char szText3[19];        ///< third text; empty
  char szText4[32];        ///< fourth text; empty
  char szText5[256];       ///< fifth text; empty
  WORD wValue6;            ///< sixth field; 17
};

// The layouts of the suite's files and shared memory, as Windows compilers lay them out.
static_assert(sizeof(ADDRESS_STRUCT) == 315, "address layout");
static_assert(sizeof(COMPANY_STRUCT) == 635, "company layout");
static_assert(sizeof(OPERATOR_STRUCT) == 1240, "operator layout");
static_assert(sizeof(ANALYSIS_SYS_HDR_STRUCT) == 1588, "analysis header layout");
static_assert(sizeof(CHROM_SYS_HDR_STRUCT) == 340, "system header layout");
static_assert(sizeof(CHROM_DEVICE_STRUCT) == 1008, "device layout");
static_assert(offsetof(OPERATOR_STRUCT, nValue5) == 592, "operator's integers after its texts");
static_assert(offsetof(OPERATOR_STRUCT, company) == 604, "operator's company after its integers");
static_assert(offsetof(CHROM_DEVICE_STRUCT, wValue6) == 1006, "device's last word, packed");
static_assert(offsetof(ANALYSIS_SYS_HDR_STRUCT, time4) == 1560, "analysis header's stamps");

// The initialisers give each field of the record, nested records included, the starting value
// its field names. Emptying a text sets its first byte only; the other bytes keep what they held.

/// Sets the address's starting values (every text empty).
LYRUTIL_API void InitAddress(ADDRESS_STRUCT* address);
/// Sets the company's starting values, its address's included.
LYRUTIL_API void InitCompany(COMPANY_STRUCT* company);
/// Sets the operator's starting values, its company's included.
LYRUTIL_API void InitOperator(OPERATOR_STRUCT* op);
/// Sets the analysis header's starting values, its operator's included; both stamps get the
/// current local time.
LYRUTIL_API void InitAnalysisHdr(ANALYSIS_SYS_HDR_STRUCT* header);
/// Sets the system header's starting values.
LYRUTIL_API void InitChromSys(CHROM_SYS_HDR_STRUCT* header);
/// Sets the device's starting values, its company's included.
LYRUTIL_API void InitChromDev(CHROM_DEVICE_STRUCT* device);

#endif  // LYRUTIL_RECORDS_H
