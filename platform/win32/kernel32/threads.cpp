// Threads: CreateThread, _beginthreadex and their ends, over POSIX threads.
//
// A thread's handle is a waitable object that becomes signalled when the thread has ended and
// stays so, waitable and with its exit code, until the last handle is closed, as on Windows. The
// thread holds a reference of its own through a POSIX key, whose destructor runs after the
// thread's thread_local destructors: only then is the thread marked ended, so a waiter never sees
// it ended while its cleanup still runs, and the cleanup may still wait, or be suspended.
//
// Ending a thread from inside (ExitThread, _endthreadex, MFC's AfxEndThread) jumps back to where
// the thread started its routine, as Windows ends a thread without unwinding its stack: no
// destructor of the routine's frames runs, and a `catch (...)` or a noexcept function on the way
// does not stop it (an unwinding exit would abort the process there).
#include "internal.h"

#include <lyrcrt.h>

#include <cxxabi.h>
#include <pthread.h>
#include <setjmp.h>

#include <algorithm>
#include <cerrno>
#include <exception>

namespace lyrwin {
namespace {

struct ThreadObject final : WaitableObject {
  std::function<DWORD()> body;
  // Guarded by WaitMutex():
  bool ended = false;
  DWORD exitCode = STILL_ACTIVE;
  DWORD suspendCount = 0;
  DWORD id = 0;  // the kernel's thread id, as GetCurrentThreadId gives it; 0 until known
  int priority = THREAD_PRIORITY_NORMAL;
  std::condition_variable control;  // the thread's id known, its suspension lifted
  // Only the thread itself touches these: the code it ends with, and where ExitThread jumps.
  DWORD pendingExit = 0;
  bool inRoutine = false;
  jmp_buf exitJump;

  bool Signalled() const override { return ended; }
};

using ThreadReference = std::shared_ptr<ThreadObject>;

// Marks the thread ended and drops its own reference: the key's destructor, run by the thread
// after its thread_local destructors.
void EndThread(void* value) {
  auto* self = static_cast<ThreadReference*>(value);
  {
    std::lock_guard<std::mutex> lock(WaitMutex());
    (*self)->ended = true;
    (*self)->exitCode = (*self)->pendingExit;
    WakeWaitersOf(**self);
  }
  delete self;
}

pthread_key_t SelfKey() {
  static const pthread_key_t key = [] {
    pthread_key_t made;
    if (pthread_key_create(&made, EndThread) != 0) std::terminate();
    return made;
  }();
  return key;
}

// The calling thread's object; nullptr on a thread the stand-in did not start, and once the
// thread's cleanup has marked it ended.
ThreadObject* Self() {
  auto* self = static_cast<ThreadReference*>(pthread_getspecific(SelfKey()));
  return self != nullptr ? self->get() : nullptr;
}

// Runs the routine; ExitThread lands here. Nothing of this frame changes after setjmp.
void RunRoutine(ThreadObject* self) {
  if (setjmp(self->exitJump) == 0) {
    self->inRoutine = true;
    self->pendingExit = self->body();
  } else {
    // Ended from inside a handler: the exceptions it was handling are let go, as their handlers
    // will never finish.
    while (std::current_exception() != nullptr) abi::__cxa_end_catch();
  }
  self->inRoutine = false;
}

void* ThreadMain(void* argument) {
  auto* reference = static_cast<ThreadReference*>(argument);
  ThreadObject* self = reference->get();
  const bool keyed = pthread_setspecific(SelfKey(), reference) == 0;
  {
    std::unique_lock<std::mutex> lock(WaitMutex());
    self->id = GetCurrentThreadId();
    self->control.notify_all();
    self->control.wait(lock, [self] { return self->suspendCount == 0; });
  }
  RunRoutine(self);
  // Without the key (no memory for it) the thread is marked ended here, before its cleanup.
  if (!keyed) EndThread(reference);
  return nullptr;
}

// Windows takes a small stack size as the first commit of a stack whose reserve stays at least
// the program's default; POSIX would make it the whole stack. So only a larger size is used.
size_t StackSizeFor(SIZE_T requested) {
  pthread_attr_t defaults;
  size_t size = 0;
  if (pthread_attr_init(&defaults) == 0) {
    pthread_attr_getstacksize(&defaults, &size);
    pthread_attr_destroy(&defaults);
  }
  return std::max<size_t>(size, requested);
}

}  // namespace

// A suspended thread of the stand-in stops where it next waits: SuspendThread cannot stop a
// thread between two instructions, so a count set by another thread holds it when a wait of its
// own starts or wakes, and a thread that suspends itself stops at once.
void HonourSuspension(std::unique_lock<std::mutex>& lock) {
  ThreadObject* self = Self();
  if (self != nullptr) self->control.wait(lock, [self] { return self->suspendCount == 0; });
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
  pthread_attr_setstacksize(&attributes, StackSizeFor(stackSize));
  auto* reference = new ThreadReference(thread);
  pthread_t posix;
  int rc = pthread_create(&posix, &attributes, ThreadMain, reference);
  pthread_attr_destroy(&attributes);
  if (rc != 0) {
    delete reference;
    SetLastError(rc == EAGAIN ? ERROR_NOT_ENOUGH_MEMORY : Win32ErrorFromErrno(rc));
    return nullptr;
  }
  HANDLE handle = InsertHandle(thread);
  std::unique_lock<std::mutex> lock(WaitMutex());
  thread->control.wait(lock, [&] { return thread->id != 0; });
  if (threadId != nullptr) *threadId = thread->id;
  return handle;
}

bool IsThreadPriority(int priority) {
  return (priority >= THREAD_PRIORITY_LOWEST && priority <= THREAD_PRIORITY_HIGHEST) ||
         priority == THREAD_PRIORITY_IDLE || priority == THREAD_PRIORITY_TIME_CRITICAL;
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
  std::lock_guard<std::mutex> lock(lyrwin::WaitMutex());
  const DWORD previous = thread->suspendCount;
  if (thread->suspendCount > 0 && --thread->suspendCount == 0) thread->control.notify_all();
  return previous;
}

extern "C" DWORD WINAPI SuspendThread(HANDLE hThread) {
  auto thread = lyrwin::ThreadFromHandle(hThread);
  if (!thread) return static_cast<DWORD>(-1);
  std::unique_lock<std::mutex> lock(lyrwin::WaitMutex());
  if (thread->ended || thread->suspendCount >= MAXIMUM_SUSPEND_COUNT) {
    SetLastError(thread->ended ? ERROR_ACCESS_DENIED : ERROR_SIGNAL_REFUSED);
    return static_cast<DWORD>(-1);
  }
  const DWORD previous = thread->suspendCount++;
  if (thread.get() == lyrwin::Self()) lyrwin::HonourSuspension(lock);
  return previous;
}

extern "C" BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode) {
  auto thread = lyrwin::ThreadFromHandle(hThread);
  if (!thread) return FALSE;
  std::lock_guard<std::mutex> lock(lyrwin::WaitMutex());
  if (lpExitCode != nullptr) *lpExitCode = thread->ended ? thread->exitCode : STILL_ACTIVE;
  return TRUE;
}

extern "C" BOOL WINAPI SetThreadPriority(HANDLE hThread, int nPriority) {
  auto thread = lyrwin::ThreadFromHandle(hThread);
  if (!thread) return FALSE;
  if (!lyrwin::IsThreadPriority(nPriority)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard<std::mutex> lock(lyrwin::WaitMutex());
  thread->priority = nPriority;
  return TRUE;
}

extern "C" int WINAPI GetThreadPriority(HANDLE hThread) {
  auto thread = lyrwin::ThreadFromHandle(hThread);
  if (!thread) return THREAD_PRIORITY_ERROR_RETURN;
  std::lock_guard<std::mutex> lock(lyrwin::WaitMutex());
  return thread->priority;
}

extern "C" void WINAPI ExitThread(DWORD dwExitCode) {
  lyrwin::ThreadObject* self = lyrwin::Self();
  if (self != nullptr && self->inRoutine) {
    self->pendingExit = dwExitCode;
    longjmp(self->exitJump, 1);
  }
  // A thread the stand-in did not start, or one already past its routine.
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
