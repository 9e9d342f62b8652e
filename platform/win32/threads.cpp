// Threads: CreateThread, _beginthreadex and their ends, over POSIX threads.
//
// A thread's handle is a waitable object that becomes signalled when the thread ends and stays so,
// waitable and with its exit code, until the last handle is closed, as on Windows. The thread
// itself holds a reference too, so closing every handle while it runs is allowed. Ending a thread
// from inside (ExitThread, _endthreadex, MFC's AfxEndThread) is pthread_exit: the object is marked
// ended on the way out all the same.
#include "internal.h"

#include <lyrcrt.h>

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

namespace lyrwin {
namespace {

struct ThreadObject final : WaitableObject {
  std::function<DWORD()> body;
  // Guarded by WaitMutex():
  bool ended = false;
  DWORD exitCode = STILL_ACTIVE;
  DWORD suspendCount = 0;
  DWORD id = 0;  // the kernel's thread id, as GetCurrentThreadId gives it; 0 until known
  // Only the thread itself touches this one: the code ExitThread asked for.
  DWORD pendingExit = 0;

  bool Signalled() const override { return ended; }
};

thread_local ThreadObject* t_self = nullptr;

// Marks the thread ended, on a normal return and on pthread_exit's unwinding alike.
struct MarkEnded {
  ThreadObject* thread;
  ~MarkEnded() {
    {
      std::lock_guard<std::mutex> lock(WaitMutex());
      thread->ended = true;
      thread->exitCode = thread->pendingExit;
    }
    NotifyWaiters();
  }
};

void* ThreadMain(void* argument) {
  std::shared_ptr<ThreadObject> self =
      std::move(*static_cast<std::shared_ptr<ThreadObject>*>(argument));
  delete static_cast<std::shared_ptr<ThreadObject>*>(argument);
  t_self = self.get();
  {
    std::unique_lock<std::mutex> lock(WaitMutex());
    self->id = GetCurrentThreadId();
    NotifyWaiters();
    WaitUntil(lock, [&] { return self->suspendCount == 0; });
  }
  MarkEnded marker{self.get()};
  self->pendingExit = self->body();
  return nullptr;
}

}  // namespace

// A suspended thread of the stand-in's stops where it next waits: SuspendThread cannot stop a
// thread between two instructions, so a count set by another thread holds it once a wait of its
// own is satisfied (MFC's suspended start is such a wait), and a thread that suspends itself
// stops at once.
void HonourSuspension(std::unique_lock<std::mutex>& lock) {
  ThreadObject* self = t_self;
  if (self != nullptr) WaitUntil(lock, [self] { return self->suspendCount == 0; });
}

namespace {

std::shared_ptr<ThreadObject> ThreadFromHandle(HANDLE handle) {
  auto thread = LookupHandleAs<ThreadObject>(handle);
  if (!thread) SetLastError(ERROR_INVALID_HANDLE);
  return thread;
}

// Starts the thread; the handle, or nullptr with the last error set.
HANDLE StartThread(std::function<DWORD()> body, SIZE_T stackSize, DWORD flags, DWORD* threadId) {
  auto thread = std::make_shared<ThreadObject>();
  thread->body = std::move(body);
  thread->suspendCount = (flags & CREATE_SUSPENDED) ? 1 : 0;
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  if (stackSize > 0)
    pthread_attr_setstacksize(&attributes, std::max<SIZE_T>(stackSize, PTHREAD_STACK_MIN));
  auto* argument = new std::shared_ptr<ThreadObject>(thread);
  pthread_t posix;
  int rc = pthread_create(&posix, &attributes, ThreadMain, argument);
  pthread_attr_destroy(&attributes);
  if (rc != 0) {
    delete argument;
    SetLastError(rc == EAGAIN ? ERROR_NOT_ENOUGH_MEMORY : Win32ErrorFromErrno(rc));
    return nullptr;
  }
  HANDLE handle = InsertHandle(thread);
  std::unique_lock<std::mutex> lock(WaitMutex());
  WaitUntil(lock, [&] { return thread->id != 0; });
  if (threadId != nullptr) *threadId = thread->id;
  return handle;
}

}  // namespace
}  // namespace lyrwin

extern "C" HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T dwStackSize,
                                      LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter,
                                      DWORD dwCreationFlags, LPDWORD lpThreadId) {
  if (lpStartAddress == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return lyrwin::StartThread([=] { return lpStartAddress(lpParameter); }, dwStackSize,
                             dwCreationFlags, lpThreadId);
}

extern "C" DWORD WINAPI ResumeThread(HANDLE hThread) {
  auto thread = lyrwin::ThreadFromHandle(hThread);
  if (!thread) return static_cast<DWORD>(-1);
  DWORD previous;
  {
    std::lock_guard<std::mutex> lock(lyrwin::WaitMutex());
    previous = thread->suspendCount;
    if (thread->suspendCount > 0) --thread->suspendCount;
  }
  lyrwin::NotifyWaiters();
  return previous;
}

extern "C" DWORD WINAPI SuspendThread(HANDLE hThread) {
  auto thread = lyrwin::ThreadFromHandle(hThread);
  if (!thread) return static_cast<DWORD>(-1);
  std::unique_lock<std::mutex> lock(lyrwin::WaitMutex());
  const DWORD previous = thread->suspendCount++;
  if (thread.get() == lyrwin::t_self) lyrwin::HonourSuspension(lock);
  return previous;
}

extern "C" BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode) {
  auto thread = lyrwin::ThreadFromHandle(hThread);
  if (!thread) return FALSE;
  std::lock_guard<std::mutex> lock(lyrwin::WaitMutex());
  if (lpExitCode != nullptr) *lpExitCode = thread->ended ? thread->exitCode : STILL_ACTIVE;
  return TRUE;
}

extern "C" void WINAPI ExitThread(DWORD dwExitCode) {
  if (lyrwin::t_self != nullptr) lyrwin::t_self->pendingExit = dwExitCode;
  pthread_exit(nullptr);
}

extern "C" uintptr_t _beginthreadex(void*, unsigned stack_size,
                                    unsigned(WINAPI* start_address)(void*), void* arglist,
                                    unsigned initflag, unsigned* thrdaddr) {
  if (start_address == nullptr) {
    errno = EINVAL;
    return 0;
  }
  DWORD id = 0;
  HANDLE handle = lyrwin::StartThread([=] { return static_cast<DWORD>(start_address(arglist)); },
                                      stack_size, initflag, &id);
  if (thrdaddr != nullptr) *thrdaddr = id;
  if (handle == nullptr) errno = EAGAIN;
  return reinterpret_cast<uintptr_t>(handle);
}

extern "C" void _endthreadex(unsigned retval) {
  ExitThread(retval);
}
