// CXRecordArray: records in one block of movable, zero-filled global memory. Every growth or
// shift builds a new block of exactly the new size from at most three copies of the old one; the
// array never shrinks.
#include <LyrUtil.h>

#include <cstdint>
#include <cstring>

namespace {

constexpr UINT kBlockFlags = GMEM_MOVEABLE | GMEM_ZEROINIT;
// CFile moves at most a UINT at a time; larger runs go in pieces of this size.
constexpr uint64_t kFilePieceBytes = 1u << 30;

// A new zero-filled block; on failure notes the event for the host and throws CMemoryException*.
HGLOBAL AllocateBlock(uint64_t bytes) {
  HGLOBAL block = nullptr;
  if (bytes <= SIZE_MAX) {
    block = GlobalAlloc(kBlockFlags, static_cast<SIZE_T>(bytes));
  } else {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  }
  if (block == nullptr) {
    if (GetLastError() == ERROR_NOT_ENOUGH_MEMORY) SetHeapFragmentation(1);
    AfxThrowMemoryException();
  }
  return block;
}

}  // namespace

CXRecordArray::CXRecordArray(unsigned short recordSize, LONG recordCount)
    : m_hMemory(nullptr),
      m_nRecordSize(recordSize),
      m_nRecords(recordCount > 0 ? recordCount : 1),
      m_bHandedOut(FALSE),
      m_nLocks(0),
      m_pData(nullptr) {
  m_hMemory =
      AllocateBlock(static_cast<uint64_t>(m_nRecordSize) * static_cast<uint64_t>(m_nRecords));
}

CXRecordArray::CXRecordArray(CXRecordArray* source)
    : m_hMemory(nullptr),
      m_nRecordSize(source ? source->m_nRecordSize : 0),
      m_nRecords(source ? source->m_nRecords : 1),
      m_bHandedOut(FALSE),
      m_nLocks(0),
      m_pData(nullptr) {
  m_hMemory =
      AllocateBlock(static_cast<uint64_t>(m_nRecordSize) * static_cast<uint64_t>(m_nRecords));
  if (source == nullptr) return;
  unsigned char* from = source->Lock();
  unsigned char* to = Lock();
  std::memcpy(to, from, static_cast<size_t>(m_nRecordSize) * static_cast<size_t>(m_nRecords));
  Unlock();
  source->Unlock();
}

CXRecordArray::~CXRecordArray() {
  ReleaseBlock();
}

void CXRecordArray::ReleaseBlock() {
  if (m_hMemory == nullptr) return;
  if (m_nLocks > 0) GlobalUnlock(m_hMemory);
  if (!m_bHandedOut) GlobalFree(m_hMemory);
}

unsigned char* CXRecordArray::Lock() {
  if (m_nLocks == 0) {
    void* data = GlobalLock(m_hMemory);
    if (data == nullptr) AfxThrowMemoryException();
    m_pData = static_cast<unsigned char*>(data);
  }
  ++m_nLocks;
  return m_pData;
}

int CXRecordArray::Unlock() {
  if (m_nLocks == 0) return 0;
  if (--m_nLocks > 0) return 1;
  m_pData = nullptr;
  return GlobalUnlock(m_hMemory);
}

void* CXRecordArray::ExportMemoryHandle() {
  if (m_nLocks > 0) {
    m_nLocks = 0;
    m_pData = nullptr;
    GlobalUnlock(m_hMemory);
  }
  m_bHandedOut = TRUE;
  return m_hMemory;
}

LONG CXRecordArray::GetSize() {
  return m_nRecords;
}

void CXRecordArray::Expand(LONG count) {
  if (count >= 0) ShiftArray(0, 0, count);
}

// Negative first indices and counts are refused: nothing is moved.
LONG CXRecordArray::ShiftArray(LONG first, LONG count, LONG distance) {
  const int64_t records = m_nRecords;
  if (first < 0 || count < 0 || first >= records) return 0;
  int64_t moved = first + static_cast<int64_t>(count) > records ? records - first : count;
  int64_t source = first;
  int64_t target = first + static_cast<int64_t>(distance);
  int64_t targetEnd = target + moved;
  if (distance < 0) {
    if (targetEnd < 1) return 0;
    if (target < 0) {  // the records that would land before index 0 are dropped
      moved = targetEnd;
      target = 0;
      source = -static_cast<int64_t>(distance);
    }
  }
  const int64_t newRecords = targetEnd > records ? targetEnd : records;
  if (newRecords > INT32_MAX) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    SetHeapFragmentation(1);
    AfxThrowMemoryException();
  }
  const size_t size = m_nRecordSize;

  unsigned char* from = Lock();
  HGLOBAL block;
  unsigned char* to;
  try {
    block = AllocateBlock(static_cast<uint64_t>(size) * static_cast<uint64_t>(newRecords));
    to = static_cast<unsigned char*>(GlobalLock(block));
    if (to == nullptr) {
      GlobalFree(block);
      AfxThrowMemoryException();
    }
  } catch (CException*) {
    Unlock();  // the array stays as it was, its lock count included
    throw;
  }
  const int64_t head = target < records ? target : records;
  if (head > 0) std::memcpy(to, from, static_cast<size_t>(head) * size);
  if (moved > 0)
    std::memcpy(to + target * size, from + source * size, static_cast<size_t>(moved) * size);
  if (records - targetEnd > 0)
    std::memcpy(to + targetEnd * size, from + targetEnd * size,
                static_cast<size_t>(records - targetEnd) * size);

  // The old block goes (to its receiver, when it was handed out); the new one is ours, locked
  // once for the lock counts that the array holds.
  GlobalUnlock(m_hMemory);
  if (!m_bHandedOut) GlobalFree(m_hMemory);
  m_hMemory = block;
  m_bHandedOut = FALSE;
  m_nRecords = static_cast<LONG>(newRecords);
  m_pData = to;
  Unlock();
  return static_cast<LONG>(moved);
}

// A negative count is refused: nothing is read or written.
void CXRecordArray::Serialize(CFile& file, unsigned short direction, LONG count) {
  if (count < 0) return;
  if (count == 0) count = 1;
  if (count > m_nRecords) Expand(count);
  unsigned char* data = Lock();
  try {
    uint64_t bytes = static_cast<uint64_t>(m_nRecordSize) * static_cast<uint64_t>(count);
    for (uint64_t done = 0; done < bytes;) {
      UINT piece =
          static_cast<UINT>(bytes - done < kFilePieceBytes ? bytes - done : kFilePieceBytes);
      if (direction == 1) {
        file.Write(data + done, piece);
      } else if (file.Read(data + done, piece) < piece) {
        break;  // a short file leaves the remaining records as they were
      }
      done += piece;
    }
  } catch (CException*) {
    Unlock();
    throw;
  }
  Unlock();
}

void CXRecordArray::Read(CFile& file, LONG count) {
  Serialize(file, 0, count);
}
void CXRecordArray::Write(CFile& file, LONG count) {
  Serialize(file, 1, count);
}

void CXRecordArray::Copy(CXRecordArray* source) {
  if (source == nullptr || source == this) return;
  const uint64_t bytes =
      static_cast<uint64_t>(source->m_nRecordSize) * static_cast<uint64_t>(source->m_nRecords);
  HGLOBAL block = AllocateBlock(bytes);
  unsigned char* to = static_cast<unsigned char*>(GlobalLock(block));
  if (to == nullptr) {
    GlobalFree(block);
    AfxThrowMemoryException();
  }
  try {
    unsigned char* from = source->Lock();
    std::memcpy(to, from, static_cast<size_t>(bytes));
    source->Unlock();
  } catch (CException*) {
    GlobalUnlock(block);
    GlobalFree(block);
    throw;
  }
  const unsigned short locks = m_nLocks;
  ReleaseBlock();
  m_hMemory = block;
  m_bHandedOut = FALSE;
  m_nRecordSize = source->m_nRecordSize;
  m_nRecords = source->m_nRecords;
  m_nLocks = locks;
  if (locks > 0) {
    m_pData = to;  // the new block stays locked once for the array's locks
  } else {
    m_pData = nullptr;
    GlobalUnlock(block);
  }
}
