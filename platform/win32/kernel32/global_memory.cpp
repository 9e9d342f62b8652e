// GlobalAlloc and its family.
//
// A fixed block's handle is its address. A movable block's handle is a separate token that
// GlobalLock turns into the address, with a real lock count; the block keeps one address while it
// lives unless GlobalReAlloc has to grow it. LyrFailGlobalAllocs lets tests make allocations fail
// as they do when memory runs out.
// Thread-safe: all member data guarded by one mutex.
#include "internal.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

namespace lyrwin {
namespace {

struct Block {
  void* data = nullptr;
  size_t size = 0;
  bool movable = false;
  unsigned locks = 0;
};

std::mutex g_memoryMutex;
// Keyed by handle: the data address for fixed blocks, a token for movable ones.
std::unordered_map<uintptr_t, Block> g_blocks;
uintptr_t g_nextToken = 0x10000;  // tokens step by 8 and stay below any heap address
std::atomic<int> g_failuresLeft{0};

bool ShouldFail() {
  int left = g_failuresLeft.load();
  while (left > 0) {
    if (g_failuresLeft.compare_exchange_weak(left, left - 1)) return true;
  }
  return false;
}

// malloc(0) may give null; Windows gives a valid block of size zero. Zero-filled blocks come from
// calloc, which need not touch the pages of a large block to clear them.
void* Allocate(size_t bytes, bool zeroed) {
  size_t size = bytes == 0 ? 1 : bytes;
  return zeroed ? std::calloc(1, size) : std::malloc(size);
}

}  // namespace

bool BlockHolding(const void* address, uintptr_t* start, uintptr_t* end) {
  const uintptr_t at = reinterpret_cast<uintptr_t>(address);
  std::lock_guard<std::mutex> lock(g_memoryMutex);
  for (const auto& entry : g_blocks) {
    const uintptr_t first = reinterpret_cast<uintptr_t>(entry.second.data);
    if (first != 0 && at >= first && at < first + entry.second.size) {
      *start = first;
      *end = first + entry.second.size;
      return true;
    }
  }
  return false;
}

size_t BytesAvailableAt(const void* address) {
  uintptr_t start, end;
  if (!BlockHolding(address, &start, &end)) return SIZE_MAX;
  return end - reinterpret_cast<uintptr_t>(address);
}

}  // namespace lyrwin

using lyrwin::Block;
using lyrwin::g_blocks;
using lyrwin::g_memoryMutex;

void LyrFailGlobalAllocs(int count) {
  lyrwin::g_failuresLeft.store(count < 0 ? 0 : count);
}

extern "C" HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes) {
  if (lyrwin::ShouldFail()) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  Block block;
  block.data = lyrwin::Allocate(dwBytes, (uFlags & GMEM_ZEROINIT) != 0);
  if (block.data == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  block.size = dwBytes;
  block.movable = (uFlags & GMEM_MOVEABLE) != 0;
  std::lock_guard<std::mutex> lock(g_memoryMutex);
  uintptr_t handle = reinterpret_cast<uintptr_t>(block.data);
  if (block.movable) {
    handle = lyrwin::g_nextToken;
    lyrwin::g_nextToken += 8;
  }
  g_blocks[handle] = block;
  return reinterpret_cast<HGLOBAL>(handle);
}

extern "C" LPVOID WINAPI GlobalLock(HGLOBAL hMem) {
  std::lock_guard<std::mutex> lock(g_memoryMutex);
  auto it = g_blocks.find(reinterpret_cast<uintptr_t>(hMem));
  if (it == g_blocks.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (it->second.movable && it->second.locks < GMEM_LOCKCOUNT) ++it->second.locks;
  return it->second.data;
}

extern "C" BOOL WINAPI GlobalUnlock(HGLOBAL hMem) {
  std::lock_guard<std::mutex> lock(g_memoryMutex);
  auto it = g_blocks.find(reinterpret_cast<uintptr_t>(hMem));
  if (it == g_blocks.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  Block& block = it->second;
  if (!block.movable) return TRUE;  // fixed blocks are always "locked"
  if (block.locks == 0) {
    SetLastError(ERROR_NOT_LOCKED);
    return FALSE;
  }
  --block.locks;
  if (block.locks == 0) {
    SetLastError(NO_ERROR);
    return FALSE;
  }
  return TRUE;
}

extern "C" HGLOBAL WINAPI GlobalFree(HGLOBAL hMem) {
  if (hMem == nullptr) return nullptr;
  std::lock_guard<std::mutex> lock(g_memoryMutex);
  auto it = g_blocks.find(reinterpret_cast<uintptr_t>(hMem));
  if (it == g_blocks.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return hMem;
  }
  std::free(it->second.data);
  g_blocks.erase(it);
  return nullptr;
}

extern "C" SIZE_T WINAPI GlobalSize(HGLOBAL hMem) {
  std::lock_guard<std::mutex> lock(g_memoryMutex);
  auto it = g_blocks.find(reinterpret_cast<uintptr_t>(hMem));
  if (it == g_blocks.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return it->second.size;
}

extern "C" UINT WINAPI GlobalFlags(HGLOBAL hMem) {
  std::lock_guard<std::mutex> lock(g_memoryMutex);
  auto it = g_blocks.find(reinterpret_cast<uintptr_t>(hMem));
  if (it == g_blocks.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return GMEM_INVALID_HANDLE;
  }
  return it->second.locks & GMEM_LOCKCOUNT;
}

extern "C" HGLOBAL WINAPI GlobalHandle(LPCVOID pMem) {
  std::lock_guard<std::mutex> lock(g_memoryMutex);
  for (const auto& [handle, block] : g_blocks) {
    if (block.data == pMem) return reinterpret_cast<HGLOBAL>(handle);
  }
  SetLastError(ERROR_INVALID_HANDLE);
  return nullptr;
}

extern "C" HGLOBAL WINAPI GlobalReAlloc(HGLOBAL hMem, SIZE_T dwBytes, UINT uFlags) {
  std::unique_lock<std::mutex> lock(g_memoryMutex);
  auto it = g_blocks.find(reinterpret_cast<uintptr_t>(hMem));
  if (it == g_blocks.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (uFlags & GMEM_MODIFY) return hMem;  // only attributes change; the stand-in has none to keep
  Block& block = it->second;
  if (dwBytes <= block.size) {
    block.size = dwBytes;
    return hMem;
  }
  // Growing a fixed block may move it only when GMEM_MOVEABLE allows; a locked movable block
  // likewise.
  const bool mayMove = block.movable ? (block.locks == 0 || (uFlags & GMEM_MOVEABLE))
                                     : (uFlags & GMEM_MOVEABLE) != 0;
  if (!mayMove || lyrwin::ShouldFail()) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  void* grown = std::realloc(block.data, dwBytes);
  if (grown == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (uFlags & GMEM_ZEROINIT)
    std::memset(static_cast<char*>(grown) + block.size, 0, dwBytes - block.size);
  block.data = grown;
  block.size = dwBytes;
  if (block.movable) return hMem;
  Block moved = block;
  g_blocks.erase(it);
  g_blocks[reinterpret_cast<uintptr_t>(grown)] = moved;
  return reinterpret_cast<HGLOBAL>(grown);
}
