// Shared records: the date-time record and its texts, the record array, the header records.
#ifndef LYRUTIL_RECORDS_H
#define LYRUTIL_RECORDS_H

#include <afx.h>

#include <cstddef>

#include <lyrutil/export.h>

// --- Time stamps ---

// A broken-down local date and time; the order is day, month, year, then the time.
struct LYR_TIME_STRUCT {
  WORD wDay;     // 1 to 31
  WORD wMonth;   // 1 to 12
  WORD wYear;    // four digits
  WORD wHour;    // 0 to 23
  WORD wMinute;  // 0 to 59
  WORD wSecond;  // 0 to 59
};
static_assert(sizeof(LYR_TIME_STRUCT) == 12, "six 16-bit fields");

LYRUTIL_API void InitTimeStruct(LYR_TIME_STRUCT* time);
// A negative count of seconds lies before the 32-bit scale: the record is left as it was.
LYRUTIL_API void SetTimeStruct(LYR_TIME_STRUCT* time, LONG seconds);
LYRUTIL_API void SetTimeStruct(LYR_TIME_STRUCT* time, SYSTEMTIME systemTime);
LYRUTIL_API void GetSysTime(LYR_TIME_STRUCT time, SYSTEMTIME& systemTime);
LYRUTIL_API CString GetShortDateString(LYR_TIME_STRUCT* time);
LYRUTIL_API CString GetShortTimeString(LYR_TIME_STRUCT* time);
LYRUTIL_API CString GetShortDateTimeString(LYR_TIME_STRUCT* time);

// --- The record array ---

// A run of fixed-size records in one block of movable global memory, which can be locked to a
// pointer, grown, shifted, written and read as raw bytes, and handed over as a memory handle.
// Owns its block until ExportMemoryHandle hands it out. Not thread-safe: an array belongs to one
// thread at a time. Allocation failures throw CMemoryException* (after noting "Heapfragmented"
// in the suite INI file) and leave the array as it was.
class LYRUTIL_API CXRecordArray {
 public:
  CXRecordArray(unsigned short recordSize, LONG recordCount);
  explicit CXRecordArray(CXRecordArray* source);
  virtual ~CXRecordArray();
  CXRecordArray(const CXRecordArray&) = delete;
  CXRecordArray& operator=(const CXRecordArray&) = delete;

  virtual void Read(CFile& file, LONG count);
  virtual void Write(CFile& file, LONG count);

  unsigned char* Lock();
  int Unlock();
  void* ExportMemoryHandle();
  LONG GetSize();
  void Expand(LONG count);
  LONG ShiftArray(LONG first, LONG count, LONG distance);
  void Serialize(CFile& file, unsigned short direction, LONG count);
  // Replaces the contents with a copy of the source's (record size, count and bytes) in a new
  // block; the array stays locked as often as it was.
  void Copy(CXRecordArray* source);

 protected:
  HGLOBAL m_hMemory;
  unsigned short m_nRecordSize;
  LONG m_nRecords;
  BOOL m_bHandedOut;
  unsigned short m_nLocks;
  unsigned char* m_pData;

 private:
  void ReleaseBlock();
};

// --- Header records ---
// Texts are zero-terminated in arrays of the given width. Fields whose meaning belongs to the
// host applications have positional names.

struct ADDRESS_STRUCT {
  char szLine1[64];
  char szLine2[64];
  char szLine3[64];
  char szText4[3];
  char szPostalCode[16];
  char szText6[64];
  char szText7[20];
  char szText8[20];
};

struct COMPANY_STRUCT {
  char szName[64];
  ADDRESS_STRUCT address;
  char szText3[256];
};

struct OPERATOR_STRUCT {
  char szName[64];
  char szText2[16];
  char szText3[256];
  char szText4[256];
  int32_t nValue5;
  int32_t nValue6;
  int32_t nValue7;
  COMPANY_STRUCT company;
};

struct ANALYSIS_SYS_HDR_STRUCT {
  char szName[64];
  char szText2[256];
  OPERATOR_STRUCT analysisOperator;
  LYR_TIME_STRUCT time4;
  LYR_TIME_STRUCT time5;
  WORD wValue6;
  WORD wValue7;
};

struct CHROM_SYS_HDR_STRUCT {
  char szName[64];
  char szText2[256];
  char szText3[16];
  WORD wValue4;
  WORD wValue5;
};

struct CHROM_DEVICE_STRUCT {
  char szName[64];
  COMPANY_STRUCT company;
  char szText3[19];
  char szText4[32];
  char szText5[256];
  WORD wValue6;
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

LYRUTIL_API void InitAddress(ADDRESS_STRUCT* address);
LYRUTIL_API void InitCompany(COMPANY_STRUCT* company);
LYRUTIL_API void InitOperator(OPERATOR_STRUCT* op);
LYRUTIL_API void InitAnalysisHdr(ANALYSIS_SYS_HDR_STRUCT* header);
LYRUTIL_API void InitChromSys(CHROM_SYS_HDR_STRUCT* header);
LYRUTIL_API void InitChromDev(CHROM_DEVICE_STRUCT* device);

#endif  // LYRUTIL_RECORDS_H
