// Events and the wait functions, over one process-wide mutex.
//
// Every object's signalled state is read and changed under WaitMutex(). A waiting thread brings
// its own condition variable and hangs it on each object it waits for; whoever changes an object
// wakes only the threads hung on that object, which then test their own objects again. Taking the
// mutex before hanging and testing means no wake-up is ever lost; waking per object means that a
// SetEvent costs the same with one idle worker in the process or with hundreds. A wait that is
// satisfied takes the signal of an auto-reset event in the same critical section, so one SetEvent
// releases exactly one wait.
#include "internal.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <vector>

namespace lyrwin {
namespace {

// Named events of this process; a second CreateEvent of a name opens the same event, and a name
// is forgotten with the event's last handle. Names do not reach other processes: the suite's
// workers and their owners share one process. Never destroyed, like WaitMutex(): a worker may
// still create or close a named event while exit() runs the static destructors.
struct EventObject;
struct EventNames {
  std::mutex mutex;
  std::map<std::string, std::weak_ptr<EventObject>> events;
};

EventNames& Names() {
  static auto* names = new EventNames;
  return *names;
}

struct EventObject final : WaitableObject {
  bool manualReset = false;
  bool signalled = false;  // guarded by WaitMutex()
  std::string name;        // empty for an unnamed event

  bool Signalled() const override { return signalled; }
  void Consume() override {
    if (!manualReset) signalled = false;
  }
  ~EventObject() override {
    if (name.empty()) return;
    EventNames& names = Names();
    std::lock_guard<std::mutex> lock(names.mutex);
    auto it = names.events.find(name);
    // The name may already stand for a newer event, made after this one's last handle closed.
    if (it != names.events.end() && it->second.expired()) names.events.erase(it);
  }
};

std::shared_ptr<EventObject> EventFromHandle(HANDLE handle) {
  auto event = LookupHandleAs<EventObject>(handle);
  if (!event) SetLastError(ERROR_INVALID_HANDLE);
  return event;
}

// Hangs the calling thread's condition variable on each object for the length of one wait.
class WaitRegistration final {
 public:
  WaitRegistration(const std::vector<std::shared_ptr<WaitableObject>>& objects,
                   std::condition_variable* woken)
      : objects_(objects), woken_(woken) {
    for (const auto& object : objects_) object->waiters.push_back(woken_);
  }
  ~WaitRegistration() {
    for (const auto& object : objects_) {
      auto& waiters = object->waiters;
      waiters.erase(std::remove(waiters.begin(), waiters.end(), woken_), waiters.end());
    }
  }
  WaitRegistration(const WaitRegistration&) = delete;
  WaitRegistration& operator=(const WaitRegistration&) = delete;

 private:
  const std::vector<std::shared_ptr<WaitableObject>>& objects_;
  std::condition_variable* woken_;
};

// The index of the object that satisfies the wait (0 for all of them), taking the signals of
// auto-reset events; -1 when the wait goes on.
int TakeSatisfied(const std::vector<std::shared_ptr<WaitableObject>>& objects, bool all) {
  if (all) {
    for (const auto& object : objects) {
      if (!object->Signalled()) return -1;
    }
    for (const auto& object : objects) object->Consume();
    return 0;
  }
  for (size_t i = 0; i < objects.size(); ++i) {
    if (objects[i]->Signalled()) {
      objects[i]->Consume();
      return static_cast<int>(i);
    }
  }
  return -1;
}

// Wait-all on one object twice is refused, as Windows refuses it, even through two handles.
bool HasTheSameObjectTwice(const std::vector<std::shared_ptr<WaitableObject>>& objects) {
  for (size_t i = 0; i < objects.size(); ++i) {
    for (size_t j = i + 1; j < objects.size(); ++j) {
      if (objects[i] == objects[j]) return true;
    }
  }
  return false;
}

}  // namespace

std::mutex& WaitMutex() {
  static auto* mutex = new std::mutex;  // never destroyed: threads may end while exit() runs
  return *mutex;
}

void WakeWaitersOf(WaitableObject& object) {
  for (std::condition_variable* waiter : object.waiters) waiter->notify_one();
}

}  // namespace lyrwin

using lyrwin::EventObject;
using lyrwin::WaitableObject;

extern "C" HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState,
                                      LPCSTR lpName) {
  const bool named = lpName != nullptr && *lpName != '\0';
  std::shared_ptr<EventObject> event;  // outlives the lock: its end may take the lock itself
  lyrwin::EventNames& names = lyrwin::Names();
  std::unique_lock<std::mutex> lock(names.mutex, std::defer_lock);
  if (named) {
    lock.lock();
    auto it = names.events.find(lpName);
    if (it != names.events.end()) event = it->second.lock();
    if (event) {
      HANDLE handle = lyrwin::InsertHandle(event);
      SetLastError(ERROR_ALREADY_EXISTS);
      return handle;
    }
  }
  event = std::make_shared<EventObject>();
  event->manualReset = bManualReset != FALSE;
  event->signalled = bInitialState != FALSE;
  if (named) {
    event->name = lpName;
    names.events[lpName] = event;
  }
  HANDLE handle = lyrwin::InsertHandle(event);
  SetLastError(ERROR_SUCCESS);
  return handle;
}

extern "C" BOOL WINAPI SetEvent(HANDLE hEvent) {
  auto event = lyrwin::EventFromHandle(hEvent);
  if (!event) return FALSE;
  std::lock_guard<std::mutex> lock(lyrwin::WaitMutex());
  event->signalled = true;
  lyrwin::WakeWaitersOf(*event);
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
  objects.reserve(nCount);
  for (DWORD i = 0; i < nCount; ++i) {
    auto object = lyrwin::LookupHandleAs<WaitableObject>(lpHandles[i]);
    if (!object) {
      SetLastError(ERROR_INVALID_HANDLE);
      return WAIT_FAILED;
    }
    objects.push_back(std::move(object));
  }
  if (bWaitAll && lyrwin::HasTheSameObjectTwice(objects)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(dwMilliseconds);
  std::condition_variable woken;
  std::unique_lock<std::mutex> lock(lyrwin::WaitMutex());
  lyrwin::WaitRegistration registration(objects, &woken);
  for (;;) {
    // A suspended thread takes no signal: it stops here until resumed, and then tests again.
    lyrwin::HonourSuspension(lock);
    const int index = lyrwin::TakeSatisfied(objects, bWaitAll != FALSE);
    if (index >= 0) return WAIT_OBJECT_0 + static_cast<DWORD>(index);
    if (dwMilliseconds == INFINITE) {
      woken.wait(lock);
    } else if (std::chrono::steady_clock::now() >= deadline) {
      return WAIT_TIMEOUT;
    } else {
      woken.wait_until(lock, deadline);
    }
  }
}

extern "C" DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
  return WaitForMultipleObjects(1, &hHandle, FALSE, dwMilliseconds);
}
