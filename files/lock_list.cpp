// The lock list of method files, one per process: 50 slots of 255 bytes, a name per slot, free
// when its first byte is 0, filled from the start so that a freed slot is used again first.
// Names are compared after lower-casing, without any other normalisation; a name is known by its
// first 254 characters, all that a slot can hold.
//
// Thread-safe: the table is guarded by one mutex, held only while the table is read or written,
// never across a sleep, so the waits below behave as the polling they have always been.
//
// The historical waits had no end. Here they have one: a thread waits at most kLockWaitMs for a
// name that another thread holds, or for a free slot. A name still held then is entered a second
// time, so that every add stays paired with one remove and the work goes on; the file system's
// share modes still keep two opens of the file apart. A table still full then leaves the name out;
// its removal later changes nothing.
#include "lock_list.h"

#include <LyrUtil.h>
#include <mbstring.h>

#include <cstring>
#include <mutex>
#include <string>

namespace lyrutil {
namespace {

constexpr DWORD kLockedPauseMs = 1000;
constexpr DWORD kLockWaitMs = 60000;

std::mutex g_lockListMutex;
char g_lockList[kLockListSlots][kLockListSlotBytes];  // guarded by g_lockListMutex

std::string Lowered(const char* name) {
  CString text(name);
  text.MakeLower();
  std::string lowered = static_cast<const char*>(text);
  if (lowered.size() >= kLockListSlotBytes) lowered.resize(kLockListSlotBytes - 1);
  return lowered;
}

// The first slot holding the name, or -1. Called with the mutex held.
int FindSlot(const std::string& lowered) {
  for (int slot = 0; slot < kLockListSlots; ++slot) {
    if (g_lockList[slot][0] == '\0') continue;
    if (_mbscmp(reinterpret_cast<const unsigned char*>(Lowered(g_lockList[slot]).c_str()),
                reinterpret_cast<const unsigned char*>(lowered.c_str())) == 0)
      return slot;
  }
  return -1;
}

// Enters the name in the first free slot unless `onlyIfAbsent` and it is there. Returns whether
// the name is now in the table on this thread's behalf.
bool TryEnter(const char* name, bool onlyIfAbsent) {
  std::lock_guard<std::mutex> lock(g_lockListMutex);
  if (onlyIfAbsent && FindSlot(Lowered(name)) >= 0) return false;
  for (int slot = 0; slot < kLockListSlots; ++slot) {
    if (g_lockList[slot][0] != '\0') continue;
    std::strncpy(g_lockList[slot], name, kLockListSlotBytes - 1);
    g_lockList[slot][kLockListSlotBytes - 1] = '\0';
    return true;
  }
  return false;
}

}  // namespace

void ClearLockList() {
  std::lock_guard<std::mutex> lock(g_lockListMutex);
  std::memset(g_lockList, 0, sizeof g_lockList);
}

}  // namespace lyrutil

using namespace lyrutil;

int IsFileLocked(char* const name) {
  if (name == nullptr) return 0;
  std::string lowered = Lowered(name);
  {
    std::lock_guard<std::mutex> lock(g_lockListMutex);
    if (FindSlot(lowered) < 0) return 0;
  }
  Sleep(kLockedPauseMs);
  return 1;
}

void AddFileToLock(char* const name) {
  if (name == nullptr || !IsitMeth(name)) return;
  DWORD start = GetTickCount();
  for (;;) {
    while (IsFileLocked(name)) {
      if (GetTickCount() - start >= kLockWaitMs) {
        TryEnter(name, false);
        return;
      }
      Sleep(0);
    }
    // Another thread may have entered the name since the test: enter it only if still absent.
    if (TryEnter(name, true)) return;
    if (GetTickCount() - start >= kLockWaitMs) {
      TryEnter(name, false);
      return;
    }
    Sleep(0);
  }
}

void RemoveFileFromListe(char* const name) {
  if (name == nullptr) return;
  std::lock_guard<std::mutex> lock(g_lockListMutex);
  int slot = FindSlot(Lowered(name));
  if (slot >= 0) std::memset(g_lockList[slot], 0, kLockListSlotBytes);
}
