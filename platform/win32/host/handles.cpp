// The table behind HANDLE values. Handles are small multiples of four, as on Windows, never
// zero and never INVALID_HANDLE_VALUE; a closed handle's value is not reused soon, so that a
// stale handle fails with ERROR_INVALID_HANDLE instead of reaching another object. The values
// wrap after half a billion creations, passing over every value still in use.
// Thread-safe: all member data guarded by one mutex.
#include "internal.h"

#include <mutex>
#include <unordered_map>
#include <vector>

namespace lyrwin {
namespace {

// The table is never destroyed: a detached thread may still close its handles while the
// process exits.
constexpr uintptr_t kFirstHandle = 0x100;
constexpr uintptr_t kHandleLimit = 0x7FFFFFF0;

struct HandleTable {
  using Map = std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>>;
  std::mutex mutex;
  Map handles;
  SpareEntries<Map, 32> spare;  // closed handles' entries, for the next ones
  uintptr_t next = kFirstHandle;

  uintptr_t TakeNext() {
    const uintptr_t value = next;
    next = next + 4 >= kHandleLimit ? kFirstHandle : next + 4;
    return value;
  }
};

HandleTable& Table() {
  static auto* table = new HandleTable;
  return *table;
}

}  // namespace

HANDLE InsertHandle(std::shared_ptr<KernelObject> object) {
  HandleTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  uintptr_t value = table.TakeNext();
  while (table.handles.count(value) != 0) value = table.TakeNext();
  table.spare.Insert(table.handles, value, std::move(object));
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
  HandleTable::Map::node_type entry = table.handles.extract(reinterpret_cast<uintptr_t>(handle));
  if (entry.empty()) return nullptr;
  object = std::move(entry.mapped());
  table.spare.Keep(std::move(entry));
  return object;
}

}  // namespace lyrwin

void LyrSetNextHandleValue(UINT_PTR value) {
  lyrwin::HandleTable& table = lyrwin::Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  table.next = value >= lyrwin::kFirstHandle && value < lyrwin::kHandleLimit
                   ? value & ~static_cast<uintptr_t>(3)
                   : lyrwin::kFirstHandle;
}

extern "C" BOOL WINAPI CloseHandle(HANDLE hObject) {
  std::shared_ptr<lyrwin::KernelObject> object = lyrwin::RemoveHandle(hObject);
  if (object == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  // Out of the table, the object can gain no reference: a count of one is final.
  if (object.use_count() == 1) {
    lyrwin::KernelObject* retiring = object.get();
    retiring->Retire(std::move(object));
  }
  return TRUE;
}
