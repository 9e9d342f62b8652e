// CLyrLog: construction, the entry and its fields, the pins on the movable blocks.
#include <LyrUtil.h>

#include <cstdio>
#include <cstring>
#include <ctime>

#include "audit_files.h"

using namespace lyrutil;

namespace {

constexpr UINT kBlockFlags = GMEM_MOVEABLE | GMEM_ZEROINIT;

HGLOBAL AllocateBlock(SIZE_T bytes) {
  HGLOBAL block = GlobalAlloc(kBlockFlags, bytes);
  if (block == nullptr) {
    if (GetLastError() == ERROR_NOT_ENOUGH_MEMORY) SetHeapFragmentation(1);
    AfxThrowMemoryException();
  }
  return block;
}

void CopyCut(char* field, size_t fieldBytes, const char* text) {
  size_t n = text ? strnlen(text, fieldBytes - 1) : 0;
  if (n) std::memcpy(field, text, n);
  field[n] = '\0';
}

int32_t Now() {
  return static_cast<int32_t>(std::time(nullptr));
}

}  // namespace

namespace lyrutil {

bool CutBack(CFile& file, ULONGLONG length) {
  try {
    file.SetLength(length);
    return true;
  } catch (CException* e) {
    e->Delete();
    return false;
  }
}

void TerminateFields(LOG_ENTRY_STRUCT* e) {
  e->UsrId[sizeof e->UsrId - 1] = '\0';
  e->AuthId[sizeof e->AuthId - 1] = '\0';
  e->SysId[sizeof e->SysId - 1] = '\0';
  e->PrjId[sizeof e->PrjId - 1] = '\0';
  e->SmpId[sizeof e->SmpId - 1] = '\0';
  e->SmpName[sizeof e->SmpName - 1] = '\0';
  e->ARName[sizeof e->ARName - 1] = '\0';
  e->MethName[sizeof e->MethName - 1] = '\0';
  e->MethType[sizeof e->MethType - 1] = '\0';
  e->SysMess[sizeof e->SysMess - 1] = '\0';
  e->UsrMess[sizeof e->UsrMess - 1] = '\0';
}

void BacklogPath(char (&path)[kBacklogPathBytes]) {
  std::snprintf(path, sizeof path, "%s\\error.blg", GetWorkingDirectory());
}

}  // namespace lyrutil

CLyrLog::CLyrLog()
    : m_hEntry(nullptr),
      m_pEntry(nullptr),
      m_nEntryPins(0),
      m_hMask(nullptr),
      m_pMask(nullptr),
      m_nMaskPins(0),
      m_hBuffer(nullptr),
      m_pBuffer(nullptr),
      m_szLogFile(),
      m_pFile(nullptr),
      m_nInitialized(1),
      m_nLastError(0),
      m_bBeginTime(0),
      m_bEndTime(0),
      m_bReady(0),
      m_nNextRecord(0),
      m_nRecordCount(0),
      m_nInBuffer(0),
      m_nBufferCapacity(kBufferRecords),
      m_nBufferPosition(kBufferEmpty),
      m_pFixedEntry(nullptr),
      m_bReadAny(0) {
  try {
    m_pFile = new CFile;
    InitEntry();
  } catch (CException*) {
    m_nInitialized = 0;
    m_nLastError = 1;
    ReleaseAll();  // the destructor will not run for an object that was never built
    throw;
  }
}

CLyrLog::~CLyrLog() {
  ReleaseAll();
}

void CLyrLog::ReleaseAll() {
  delete m_pFile;  // closes the file if it is open
  m_pFile = nullptr;
  if (m_hEntry) {
    while (GlobalUnlock(m_hEntry)) {
    }
    GlobalFree(m_hEntry);
    m_hEntry = nullptr;
  }
  if (m_hMask) {
    if (m_nMaskPins) GlobalUnlock(m_hMask);
    GlobalFree(m_hMask);
    m_hMask = nullptr;
  }
  if (m_hBuffer) {
    GlobalFree(m_hBuffer);
    m_hBuffer = nullptr;
  }
}

void CLyrLog::AllocateBlocks() {
  if (m_hEntry == nullptr) {
    m_hEntry = AllocateBlock(sizeof(LOG_ENTRY_STRUCT));
    // The accessors hand out addresses inside the entry between calls: it stays pinned, at one
    // address, for the object's lifetime.
    m_pFixedEntry = static_cast<LOG_ENTRY_STRUCT*>(GlobalLock(m_hEntry));
    if (m_pFixedEntry == nullptr) AfxThrowMemoryException();
  }
  if (m_hMask == nullptr) m_hMask = AllocateBlock(sizeof(LOG_MASK_STRUCT));
  if (m_hBuffer == nullptr)
    m_hBuffer = AllocateBlock(static_cast<SIZE_T>(m_nBufferCapacity) * kEntryBytes);
}

LOG_ENTRY_STRUCT* CLyrLog::LockEntry() {
  if (m_nEntryPins++ == 0) m_pEntry = static_cast<LOG_ENTRY_STRUCT*>(GlobalLock(m_hEntry));
  return m_pEntry;
}

void CLyrLog::UnlockEntry() {
  if (m_nEntryPins == 0) return;
  if (--m_nEntryPins == 0) {
    GlobalUnlock(m_hEntry);
    m_pEntry = nullptr;
  }
}

LOG_MASK_STRUCT* CLyrLog::LockMask() {
  if (m_nMaskPins++ == 0) m_pMask = static_cast<LOG_MASK_STRUCT*>(GlobalLock(m_hMask));
  return m_pMask;
}

void CLyrLog::UnlockMask() {
  if (m_nMaskPins == 0) return;
  if (--m_nMaskPins == 0) {
    GlobalUnlock(m_hMask);
    m_pMask = nullptr;
  }
}

void CLyrLog::InitEntry(void) {
  AllocateBlocks();
  LOG_ENTRY_STRUCT* e = LockEntry();
  CString text;
  text.LoadString(IDS_LYR_DEFAULT_ENTRY_TEXT);
  for (auto field :
       {std::make_pair(e->UsrId, sizeof e->UsrId), std::make_pair(e->AuthId, sizeof e->AuthId),
        std::make_pair(e->SysId, sizeof e->SysId), std::make_pair(e->PrjId, sizeof e->PrjId),
        std::make_pair(e->SmpId, sizeof e->SmpId), std::make_pair(e->SmpName, sizeof e->SmpName),
        std::make_pair(e->ARName, sizeof e->ARName),
        std::make_pair(e->MethName, sizeof e->MethName),
        std::make_pair(e->MethType, sizeof e->MethType),
        std::make_pair(e->SysMess, sizeof e->SysMess),
        std::make_pair(e->UsrMess, sizeof e->UsrMess)})
    CopyCut(field.first, field.second, text);
  e->Channel = ' ';
  e->Time = Now();
  UnlockEntry();
  m_bBeginTime = 0;
  m_bEndTime = 0;
  std::memset(LockMask(), 0, sizeof(LOG_MASK_STRUCT));
  UnlockMask();
}

void CLyrLog::SetFile(char* path) {
  CopyCut(m_szLogFile, sizeof m_szLogFile, path);
}

int CLyrLog::GetInitialized(void) {
  return m_nInitialized;
}

void CLyrLog::SetText(char* field, size_t fieldBytes, const char* text) {
  LockEntry();
  CopyCut(field, fieldBytes, text);
  UnlockEntry();
}

void CLyrLog::SetTime(LONG t) {
  LockEntry()->Time = t;
  UnlockEntry();
}
void CLyrLog::SetTime(void) {
  SetTime(Now());
}
LONG CLyrLog::GetTime(void) {
  return m_pFixedEntry->Time;
}
void CLyrLog::SetChannel(char c) {
  LockEntry()->Channel = c;
  UnlockEntry();
}
char CLyrLog::GetChannel(void) {
  return m_pFixedEntry->Channel;
}

#define LYR_TEXT_FIELD(Name)                                        \
  void CLyrLog::Set##Name(const char* text) {                       \
    SetText(m_pFixedEntry->Name, sizeof m_pFixedEntry->Name, text); \
  }                                                                 \
  char* CLyrLog::Get##Name(void) {                                  \
    return m_pFixedEntry->Name;                                     \
  }

LYR_TEXT_FIELD(UsrId)
LYR_TEXT_FIELD(AuthId)
LYR_TEXT_FIELD(SysId)
LYR_TEXT_FIELD(PrjId)
LYR_TEXT_FIELD(SmpId)
LYR_TEXT_FIELD(SmpName)
LYR_TEXT_FIELD(ARName)
LYR_TEXT_FIELD(MethName)
LYR_TEXT_FIELD(MethType)
LYR_TEXT_FIELD(SysMess)
LYR_TEXT_FIELD(UsrMess)
#undef LYR_TEXT_FIELD
