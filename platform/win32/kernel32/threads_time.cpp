// Thread and process ids, sleeping and the clocks.
#include "internal.h"

#include <cerrno>
#include <ctime>
#include <pthread.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// The kernel's thread id, asked once per thread; a forked child asks again, since its one thread
// has an id of its own.
thread_local DWORD t_threadId = 0;

void ForgetThreadIdInChild() {
  t_threadId = 0;
}

}  // namespace

extern "C" DWORD WINAPI GetCurrentThreadId(void) {
  // The kernel's thread id: unique among live threads of every process, as on Windows.
  static const bool forgottenAtFork =
      ::pthread_atfork(nullptr, nullptr, ForgetThreadIdInChild) == 0;
  (void)forgottenAtFork;
  if (t_threadId == 0) t_threadId = static_cast<DWORD>(::syscall(SYS_gettid));
  return t_threadId;
}

extern "C" DWORD WINAPI GetCurrentProcessId(void) {
  return static_cast<DWORD>(::getpid());
}

extern "C" void WINAPI Sleep(DWORD dwMilliseconds) {
  if (dwMilliseconds == 0) {
    ::sched_yield();  // gives up the rest of the time slice, as Sleep(0) does
    return;
  }
  struct timespec left = {static_cast<time_t>(dwMilliseconds / 1000),
                          static_cast<long>(dwMilliseconds % 1000) * 1000000L};
  while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

extern "C" DWORD WINAPI GetTickCount(void) {
  // Milliseconds since boot in 32 bits: it wraps after 49.7 days, as on Windows.
  struct timespec now;
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  uint64_t ms =
      static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<DWORD>(ms);
}

extern "C" void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime) {
  struct timespec now;
  ::clock_gettime(CLOCK_REALTIME, &now);
  struct tm local;
  ::localtime_r(&now.tv_sec, &local);
  lpSystemTime->wYear = static_cast<WORD>(local.tm_year + 1900);
  lpSystemTime->wMonth = static_cast<WORD>(local.tm_mon + 1);
  lpSystemTime->wDayOfWeek = static_cast<WORD>(local.tm_wday);
  lpSystemTime->wDay = static_cast<WORD>(local.tm_mday);
  lpSystemTime->wHour = static_cast<WORD>(local.tm_hour);
  lpSystemTime->wMinute = static_cast<WORD>(local.tm_min);
  lpSystemTime->wSecond = static_cast<WORD>(local.tm_sec);
  lpSystemTime->wMilliseconds = static_cast<WORD>(now.tv_nsec / 1000000);
}
