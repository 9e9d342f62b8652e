// Events and the wait functions, over one process-wide mutex and condition variable.
//
// Every change of an object's signalled state (an event set, a thread ended) happens under the
// mutex and wakes every waiter, which then tests its own objects again. That keeps the rules in
// one place and can never lose a wake-up; the suite's workers wait on one or two objects, so the
// shared wake-up costs nothing worth measuring. A wait that is satisfied takes the signal of an
// auto-reset event in the same critical section, so one SetEvent releases exactly one wait.
#include "internal.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <vector>

namespace lyrwin {
namespace {

// Never destroyed: a detached thread may still end, and signal, while the process exits.
std::condition_variable& Changed() {
  static auto* changed = new std::condition_variable;
  return *changed;
}

struct EventObject final : WaitableObject {
  bool manualReset = false;
  bool signalled = false;  // guarded by WaitMutex()
  bool Signalled() const override { return signalled; }
  void Consume() override {
    if (!manualReset) signalled = false;
  }
};

// Named events of this process; a second CreateEvent of a name opens the same event. Names do
// not reach other processes: the suite's workers and their owners share one process.
std::map<std::string, std::weak_ptr<EventObject>>& NamedEvents() {
  static std::map<std::string, std::weak_ptr<EventObject>> named;
  return named;
}

std::shared_ptr<EventObject> EventFromHandle(HANDLE handle) {
  auto event = LookupHandleAs<EventObject>(handle);
  if (!event) SetLastError(ERROR_INVALID_HANDLE);
  return event;
}

}  // namespace

std::mutex& WaitMutex() {
  static auto* mutex = new std::mutex;  // never destroyed, like Changed()
  return *mutex;
}

void NotifyWaiters() {
  Changed().notify_all();
}

void WaitUntil(std::unique_lock<std::mutex>& lock, const std::function<bool()>& ready) {
  Changed().wait(lock, ready);
}

}  // namespace lyrwin

using lyrwin::EventObject;
using lyrwin::WaitableObject;

extern "C" HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState,
                                      LPCSTR lpName) {
  std::lock_guard<std::mutex> lock(lyrwin::WaitMutex());
  std::shared_ptr<EventObject> event;
  if (lpName != nullptr && *lpName != '\0') event = lyrwin::NamedEvents()[lpName].lock();
  if (event) {
    HANDLE handle = lyrwin::InsertHandle(event);
    SetLastError(ERROR_ALREADY_EXISTS);
    return handle;
  }
  event = std::make_shared<EventObject>();
  event->manualReset = bManualReset != FALSE;
  event->signalled = bInitialState != FALSE;
  if (lpName != nullptr && *lpName != '\0') lyrwin::NamedEvents()[lpName] = event;
  HANDLE handle = lyrwin::InsertHandle(event);
  SetLastError(ERROR_SUCCESS);
  return handle;
}

extern "C" BOOL WINAPI SetEvent(HANDLE hEvent) {
  auto event = lyrwin::EventFromHandle(hEvent);
  if (!event) return FALSE;
  {
    std::lock_guard<std::mutex> lock(lyrwin::WaitMutex());
    event->signalled = true;
  }
  lyrwin::NotifyWaiters();
  return TRUE;
}

extern "C" BOOL WINAPI ResetEvent(HANDLE hEvent) {
  auto event = lyrwin::EventFromHandle(hEvent);
  if (!event) return FALSE;
  std::lock_guard<std::mutex> lock(lyrwin::WaitMutex());
  event->signalled = false;
  return TRUE;
}

extern "C" DWORD WINAPI WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll,
                                               DWORD dwMilliseconds) {
  if (nCount == 0 || nCount > MAXIMUM_WAIT_OBJECTS || lpHandles == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  std::vector<std::shared_ptr<WaitableObject>> objects;
  for (DWORD i = 0; i < nCount; ++i) {
    auto object = lyrwin::LookupHandleAs<WaitableObject>(lpHandles[i]);
    if (!object) {
      SetLastError(ERROR_INVALID_HANDLE);
      return WAIT_FAILED;
    }
    objects.push_back(std::move(object));
  }
  // The index of the object that satisfies the wait (0 for all of them), or -1.
  auto satisfied = [&]() -> int {
    if (bWaitAll) {
      for (const auto& object : objects) {
        if (!object->Signalled()) return -1;
      }
      for (const auto& object : objects) object->Consume();
      return 0;
    }
    for (DWORD i = 0; i < nCount; ++i) {
      if (objects[i]->Signalled()) {
        objects[i]->Consume();
        return static_cast<int>(i);
      }
    }
    return -1;
  };
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(dwMilliseconds);
  std::unique_lock<std::mutex> lock(lyrwin::WaitMutex());
  for (;;) {
    const int index = satisfied();
    if (index >= 0) {
      lyrwin::HonourSuspension(lock);
      return WAIT_OBJECT_0 + static_cast<DWORD>(index);
    }
    if (dwMilliseconds == INFINITE) {
      lyrwin::Changed().wait(lock);
    } else if (std::chrono::steady_clock::now() >= deadline) {
      return WAIT_TIMEOUT;
    } else {
      lyrwin::Changed().wait_until(lock, deadline);
    }
  }
}

extern "C" DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
  return WaitForMultipleObjects(1, &hHandle, FALSE, dwMilliseconds);
}
