// Events, waits and threads of the stand-in, and MFC's CEvent, CSingleLock and CWinThread over
// them, as Windows documents them.
#include "lyr_test.h"

#include <afxmt.h>
#include <afxwin.h>
#ifdef _WIN32
#include <process.h>
#else
#include <lyrcrt.h>
#endif

#include <atomic>
#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

long MillisecondsSince(Clock::time_point start) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

class ThreadsEventsTest : public LyrTest {};

TEST_F(ThreadsEventsTest, EventsResetAsTheyWereMade) {
  HANDLE autoReset = CreateEventA(nullptr, FALSE, TRUE, nullptr);  // initially signalled
  ASSERT_NE(autoReset, nullptr);
  EXPECT_EQ(WaitForSingleObject(autoReset, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(autoReset, 0), static_cast<DWORD>(WAIT_TIMEOUT));  // taken
  EXPECT_TRUE(SetEvent(autoReset));
  EXPECT_EQ(WaitForSingleObject(autoReset, 0), WAIT_OBJECT_0);

  HANDLE manual = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  EXPECT_EQ(WaitForSingleObject(manual, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  SetEvent(manual);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);  // stays until reset
  ResetEvent(manual);
  auto start = Clock::now();
  EXPECT_EQ(WaitForSingleObject(manual, 100), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_GE(MillisecondsSince(start), 95);

  HANDLE first = CreateEventA(nullptr, TRUE, FALSE, "LyrTestEvent");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
  HANDLE second = CreateEventA(nullptr, FALSE, FALSE, "LyrTestEvent");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  SetEvent(second);
  EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);  // one event, two handles

  HANDLE both[2] = {manual, first};
  EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 0), WAIT_OBJECT_0 + 1);
  EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  SetEvent(manual);
  EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 0), WAIT_OBJECT_0);
  EXPECT_FAILS_AS(WaitForMultipleObjects(0, both, TRUE, 0), WAIT_FAILED, ERROR_INVALID_PARAMETER);
  for (HANDLE h : {autoReset, manual, first, second}) EXPECT_TRUE(CloseHandle(h));
  EXPECT_FAILS_AS(WaitForSingleObject(manual, 0), WAIT_FAILED, ERROR_INVALID_HANDLE);
  EXPECT_FALSE(SetEvent(manual));
}

struct Gate {
  HANDLE go;
  std::atomic<DWORD> id{0};
  std::atomic<bool> ran{false};
};

DWORD WINAPI WaitForGate(LPVOID parameter) {
  Gate* gate = static_cast<Gate*>(parameter);
  gate->id = GetCurrentThreadId();
  gate->ran = true;
  WaitForSingleObject(gate->go, INFINITE);
  return 42;
}

TEST_F(ThreadsEventsTest, ThreadsRunSuspendEndAndStayWaitable) {
  Gate gate{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, WaitForGate, &gate, CREATE_SUSPENDED, &id);
  ASSERT_NE(thread, nullptr);
  Sleep(50);
  EXPECT_FALSE(gate.ran);  // held until resumed
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
  EXPECT_EQ(ResumeThread(thread), 1u);
  EXPECT_EQ(WaitForSingleObject(thread, 50), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_TRUE(gate.ran);
  EXPECT_EQ(gate.id, id);
  SetEvent(gate.go);
  EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);  // stays signalled
  EXPECT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 42u);
  EXPECT_TRUE(CloseHandle(thread));

  // (Closing the only handle of a running thread: ThreadLifetimeTest's cleanup test.)
  CloseHandle(gate.go);
}

TEST_F(ThreadsEventsTest, MfcEventsAndSingleLocks) {
  CEvent event;  // auto-reset, unsignalled
  CSingleLock lock(&event);
  auto start = Clock::now();
  EXPECT_FALSE(lock.Lock(100));
  EXPECT_GE(MillisecondsSince(start), 95);
  EXPECT_FALSE(lock.IsLocked());
  event.SetEvent();
  EXPECT_TRUE(lock.Lock(0));
  EXPECT_TRUE(lock.IsLocked());
  EXPECT_TRUE(lock.Unlock());
  EXPECT_FALSE(lock.Lock(0));  // the wait took the signal
  CEvent manual(TRUE, TRUE);
  EXPECT_TRUE(CSingleLock(&manual).Lock(0));
  EXPECT_TRUE(CSingleLock(&manual, TRUE).IsLocked());
}

std::atomic<int> g_procRuns{0};
UINT CountingProc(LPVOID parameter) {
  g_procRuns += *static_cast<int*>(parameter);
  return 5;
}

class CountingThread : public CWinThread {
  DECLARE_DYNCREATE(CountingThread)
 public:
  BOOL InitInstance() override {
    ++instances;
    return TRUE;
  }
  int Run() override { return 11; }
  ~CountingThread() override { ++deleted; }
  static std::atomic<int> instances;
  static std::atomic<int> deleted;
};
IMPLEMENT_DYNCREATE(CountingThread, CWinThread)
std::atomic<int> CountingThread::instances{0};
std::atomic<int> CountingThread::deleted{0};

TEST_F(ThreadsEventsTest, MfcThreadsRunTheirWorkAndDeleteThemselves) {
  int add = 3;
  // MFC's way to keep the object: start suspended, clear m_bAutoDelete, resume.
  CWinThread* worker =
      AfxBeginThread(CountingProc, &add, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
  ASSERT_NE(worker, nullptr);
  worker->m_bAutoDelete = FALSE;
  EXPECT_EQ(g_procRuns, 0);
  worker->ResumeThread();
  EXPECT_EQ(WaitForSingleObject(worker->m_hThread, 5000), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeThread(worker->m_hThread, &code);
  EXPECT_EQ(code, 5u);
  EXPECT_EQ(g_procRuns, 3);
  delete worker;

  CWinThread* held =
      AfxBeginThread(RUNTIME_CLASS(CountingThread), THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
  ASSERT_NE(held, nullptr);
  EXPECT_TRUE(held->IsKindOf(RUNTIME_CLASS(CWinThread)));
  Sleep(50);
  EXPECT_EQ(CountingThread::instances, 0);  // created suspended: InitInstance waits
  held->m_bAutoDelete = TRUE;
  held->ResumeThread();
  for (int i = 0; i < 500 && CountingThread::deleted == 0; ++i) Sleep(10);
  EXPECT_EQ(CountingThread::instances, 1);
  EXPECT_EQ(CountingThread::deleted, 1);  // ended through AfxEndThread, deleting itself
}

}  // namespace

#ifndef _WIN32
// Answers of the stand-in that Windows documents and the Win32 of the Windows test runs gives
// otherwise, and what only the stand-in can get wrong.
namespace {

TEST_F(ThreadsEventsTest, WaitAllRefusesOneObjectTwice) {
  HANDLE event = CreateEventA(nullptr, TRUE, TRUE, "LyrTestTwice");
  HANDLE again = CreateEventA(nullptr, TRUE, TRUE, "LyrTestTwice");
  for (const auto& pair : {std::make_pair(event, event), std::make_pair(event, again)}) {
    HANDLE both[2] = {pair.first, pair.second};
    EXPECT_FAILS_AS(WaitForMultipleObjects(2, both, TRUE, 0), WAIT_FAILED, ERROR_INVALID_PARAMETER);
    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 0), WAIT_OBJECT_0);  // wait-any may
  }
  CloseHandle(event);
  CloseHandle(again);
}

TEST_F(ThreadsEventsTest, HandleValuesWrapPastTheOnesInUse) {
  HANDLE old = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  LyrSetNextHandleValue(reinterpret_cast<UINT_PTR>(old));
  HANDLE fresh = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  EXPECT_NE(fresh, old);
  EXPECT_TRUE(CloseHandle(fresh));
  EXPECT_EQ(WaitForSingleObject(old, 0), WAIT_OBJECT_0);  // still the old, signalled event

  LyrSetNextHandleValue(0x7FFFFFEC);
  HANDLE top = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  HANDLE wrapped = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  EXPECT_EQ(reinterpret_cast<UINT_PTR>(top), 0x7FFFFFECu);
  EXPECT_LT(reinterpret_cast<UINT_PTR>(wrapped), reinterpret_cast<UINT_PTR>(top));
  EXPECT_NE(wrapped, old);
  for (HANDLE h : {top, wrapped, old}) EXPECT_TRUE(CloseHandle(h));
}

DWORD WINAPI CreateNamedEventsForever(LPVOID) {
  for (unsigned i = 0;; ++i) {
    char name[32];
    snprintf(name, sizeof name, "LyrTestExit%u", i % 64);
    CloseHandle(CreateEventA(nullptr, FALSE, FALSE, name));
  }
}

// exit() destroys static objects while workers still run; the named events must outlive that.
// A sanitizer's report or a hang makes the exit status other than 0.
TEST_F(ThreadsEventsTest, WorkersMayCreateNamedEventsWhileTheProcessExits) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        for (int i = 0; i < 4; ++i)
          CreateThread(nullptr, 0, CreateNamedEventsForever, nullptr, 0, nullptr);
        Sleep(20);
        exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
#endif
