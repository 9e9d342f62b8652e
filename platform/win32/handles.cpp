// The table behind HANDLE values. Handles are small multiples of four, as on Windows, never
// zero and never INVALID_HANDLE_VALUE; a closed handle's value is not reused soon, so that a
// stale handle fails with ERROR_INVALID_HANDLE instead of reaching another object.
// Thread-safe: all member data guarded by one mutex.
#include "internal.h"

#include <mutex>
#include <unordered_map>

namespace lyrwin {
namespace {

std::mutex g_handleMutex;
std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>> g_handles;
uintptr_t g_nextHandle = 0x100;

}  // namespace

HANDLE InsertHandle(std::shared_ptr<KernelObject> object) {
  std::lock_guard<std::mutex> lock(g_handleMutex);
  uintptr_t value = g_nextHandle;
  g_nextHandle += 4;
  if (g_nextHandle >= 0x7FFFFFF0) g_nextHandle = 0x100;
  g_handles[value] = std::move(object);
  return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle) {
  std::lock_guard<std::mutex> lock(g_handleMutex);
  auto it = g_handles.find(reinterpret_cast<uintptr_t>(handle));
  return it == g_handles.end() ? nullptr : it->second;
}

std::shared_ptr<KernelObject> RemoveHandle(HANDLE handle) {
  std::lock_guard<std::mutex> lock(g_handleMutex);
  auto it = g_handles.find(reinterpret_cast<uintptr_t>(handle));
  if (it == g_handles.end()) return nullptr;
  std::shared_ptr<KernelObject> object = std::move(it->second);
  g_handles.erase(it);
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
