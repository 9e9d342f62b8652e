#include "lock_list.h"

#include <cstring>
#include <mutex>

namespace lyrutil {
namespace {

std::mutex g_lockListMutex;
char g_lockList[kLockListSlots][kLockListSlotBytes];  // guarded by g_lockListMutex

}  // namespace

void ClearLockList() {
  std::lock_guard<std::mutex> lock(g_lockListMutex);
  std::memset(g_lockList, 0, sizeof g_lockList);
}

}  // namespace lyrutil
