// The table behind HANDLE values. Handles are small multiples of four, as on Windows, never
// zero and never INVALID_HANDLE_VALUE; a closed handle's value is not reused soon, so that a
// stale handle fails with ERROR_INVALID_HANDLE instead of reaching another object.
// Thread-safe: all member data guarded by one mutex.
#include "internal.h"

#include <mutex>
#include <unordered_map>

namespace lyrwin {
namespace {

// The table is never destroyed: a detached thread may still close its handles while the
// process exits.
struct HandleTable {
  std::mutex mutex;
  std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>> handles;
  uintptr_t next = 0x100;
};

HandleTable& Table() {
  static auto* table = new HandleTable;
  return *table;
}

}  // namespace

HANDLE InsertHandle(std::shared_ptr<KernelObject> object) {
  HandleTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  uintptr_t value = table.next;
  table.next += 4;
  if (table.next >= 0x7FFFFFF0) table.next = 0x100;
  table.handles[value] = std::move(object);
  return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle) {
  HandleTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto it = table.handles.find(reinterpret_cast<uintptr_t>(handle));
  return it == table.handles.end() ? nullptr : it->second;
}

std::shared_ptr<KernelObject> RemoveHandle(HANDLE handle) {
  std::shared_ptr<KernelObject> object;
  HandleTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto it = table.handles.find(reinterpret_cast<uintptr_t>(handle));
  if (it == table.handles.end()) return nullptr;
  object = std::move(it->second);
  table.handles.erase(it);
  return object;
}

}  // namespace lyrwin

extern "C" BOOL WINAPI CloseHandle(HANDLE hObject) {
  if (lyrwin::RemoveHandle(hObject) == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
