// The two worker shapes as an application uses them: derived classes whose hooks count and time
// their calls. Time bounds are generous: a loaded machine may be slow, never early.
#include "lyr_test.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

long MillisecondsSince(Clock::time_point start) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// What a worker's hooks report. Written on the worker thread, read on the test's.
struct Counts {
  std::atomic<int> starts{0};
  std::atomic<int> units{0};
  std::atomic<int> ends{0};
  std::atomic<int> unitsAfterEnd{0};
  std::atomic<long> lastUnitAt{-1};  // milliseconds since `origin`
  Clock::time_point origin = Clock::now();
};

class CountingWinWorker : public CMultiWinThread {
 public:
  explicit CountingWinWorker(int unitMilliseconds = 0) : unitMilliseconds_(unitMilliseconds) {}
  using CMultiWinThread::GetCycleTime;
  using CMultiWinThread::GetEvent;
  using CMultiWinThread::SetCycleTime;
  Counts counts;

 protected:
  void StartWork() override { ++counts.starts; }
  void DoWork() override {
    if (counts.ends > 0) ++counts.unitsAfterEnd;
    if (unitMilliseconds_ > 0) Sleep(static_cast<DWORD>(unitMilliseconds_));
    counts.lastUnitAt = MillisecondsSince(counts.origin);
    ++counts.units;
  }
  void EndWork() override { ++counts.ends; }

 private:
  int unitMilliseconds_;
};

class CountingWorker : public CMultiThread {
 public:
  explicit CountingWorker(int unitMilliseconds = 0) : unitMilliseconds_(unitMilliseconds) {}
  using CMultiThread::KillThread2;
  Counts counts;

 protected:
  void StartWork() override { ++counts.starts; }
  void DoWork() override {
    if (unitMilliseconds_ > 0) Sleep(static_cast<DWORD>(unitMilliseconds_));
    ++counts.units;
  }
  void EndWork() override { ++counts.ends; }

 private:
  int unitMilliseconds_;
};

class WorkerThreadsTest : public LyrTest {};

TEST_F(WorkerThreadsTest, TheMfcWorkerIsCreatableByName) {
  CRuntimeClass* type = CRuntimeClass::FromName("CMultiWinThread");
  ASSERT_NE(type, nullptr);
  EXPECT_EQ(type->m_wSchema, 0xFFFFu);
  EXPECT_TRUE(type->IsDerivedFrom(RUNTIME_CLASS(CWinThread)));
  std::unique_ptr<CObject> object(type->CreateObject());
  ASSERT_NE(object, nullptr);
  EXPECT_TRUE(object->IsKindOf(RUNTIME_CLASS(CMultiWinThread)));
}

TEST_F(WorkerThreadsTest, ACycleOfAHundredMillisecondsDoesAboutTenUnitsASecond) {
  CountingWinWorker worker;
  ASSERT_TRUE(worker.CreateThread(0, 0, nullptr, 100));
  EXPECT_EQ(worker.GetCycleTime(), 100);
  Sleep(1050);
  const int units = worker.counts.units;
  worker.KillThread2();
  EXPECT_GE(units, 6);
  EXPECT_LE(units, 11);
  EXPECT_EQ(worker.counts.starts, 1);
  EXPECT_EQ(worker.counts.ends, 1);
}

TEST_F(WorkerThreadsTest, AWorkerWokenByItsEventWorksAtOnce) {
  CountingWinWorker worker;
  ASSERT_TRUE(worker.CreateThread(0, 0, nullptr, INFINITE));
  Sleep(300);
  EXPECT_EQ(worker.counts.units, 0);  // never woken: no unit
  const auto signalled = Clock::now();
  const long signalledAt = MillisecondsSince(worker.counts.origin);
  worker.GetEvent()->SetEvent();
  while (worker.counts.units == 0 && MillisecondsSince(signalled) < 5000) Sleep(1);
  EXPECT_EQ(worker.counts.units, 1);
  EXPECT_LT(worker.counts.lastUnitAt - signalledAt, 500);
  // A new cycle time holds from the next wait.
  worker.SetCycleTime(50);
  worker.GetEvent()->SetEvent();
  Sleep(500);
  EXPECT_GE(worker.counts.units, 4);
  worker.KillThread2();
}

TEST_F(WorkerThreadsTest, StoppingWhileWaitingEndsWithoutAnotherUnit) {
  CountingWinWorker worker;
  ASSERT_TRUE(worker.CreateThread(0, 0, nullptr, INFINITE));
  Sleep(100);
  const auto start = Clock::now();
  worker.KillThread2();
  EXPECT_LT(MillisecondsSince(start), 2000);
  EXPECT_EQ(worker.counts.units, 0);
  EXPECT_EQ(worker.counts.ends, 1);
  EXPECT_EQ(WaitForSingleObject(worker.m_hThread, 0), WAIT_OBJECT_0);  // the thread has ended
  EXPECT_EQ(worker.GetCycleTime(), static_cast<int>(INFINITE));        // the object lives on
}

TEST_F(WorkerThreadsTest, StoppingWhileWorkingFinishesTheUnitThenEnds) {
  auto* worker = new CountingWinWorker(400);
  ASSERT_TRUE(worker->CreateThread(0, 0, nullptr, 0));  // back to back
  while (worker->counts.units == 0) Sleep(5);
  Sleep(100);  // inside the second unit now
  worker->KillThread2();
  EXPECT_EQ(worker->counts.units, 2);  // the unit under way was finished, no other begun
  EXPECT_EQ(worker->counts.ends, 1);
  EXPECT_EQ(worker->counts.unitsAfterEnd, 0);
  delete worker;  // after its thread: deletes the event too (ASan and LeakSanitizer watch)
}

TEST_F(WorkerThreadsTest, APlainWorkerStopsAfterItsWaitAndIsNoLongerBusy) {
  CountingWorker worker;
  ASSERT_NE(worker.CreateThread(0, 0, nullptr, 5000), 0);
  EXPECT_NE(worker.GetHandle(), nullptr);
  EXPECT_TRUE(worker.IsBusy());
  Sleep(100);
  worker.Stop();
  Sleep(300);
  EXPECT_TRUE(worker.IsBusy());  // still in its wait of 5 s
  EXPECT_EQ(worker.counts.ends, 0);
  const auto start = Clock::now();
  while (worker.IsBusy() && MillisecondsSince(start) < 10000) Sleep(10);
  EXPECT_FALSE(worker.IsBusy());
  EXPECT_GE(MillisecondsSince(start), 4000);  // ended only when the wait ended
  EXPECT_EQ(worker.counts.units, 0);
  EXPECT_EQ(worker.counts.ends, 1);
  EXPECT_EQ(WaitForSingleObject(worker.GetHandle(), 5000), WAIT_OBJECT_0);

  CountingWorker killed;
  ASSERT_NE(killed.CreateThread(0, 0, nullptr, 5000), 0);
  Sleep(50);
  killed.KillThread2();  // wakes it: no need to wait for the cycle
  EXPECT_FALSE(killed.IsBusy());
  EXPECT_EQ(killed.counts.units, 0);
  EXPECT_EQ(killed.counts.ends, 1);
}

TEST_F(WorkerThreadsTest, ManyWorkersStartedAndStoppedAtOnce) {
  std::vector<std::unique_ptr<CountingWinWorker>> mfc;
  std::vector<std::unique_ptr<CountingWorker>> plain;
  for (int i = 0; i < 40; ++i) {
    mfc.push_back(std::make_unique<CountingWinWorker>());
    ASSERT_TRUE(mfc.back()->CreateThread(0, 0, nullptr, static_cast<unsigned>(i % 3)));
    plain.push_back(std::make_unique<CountingWorker>());
    ASSERT_NE(plain.back()->CreateThread(0, 0, nullptr, static_cast<unsigned>(i % 3)), 0);
  }
  Sleep(200);
  for (auto& worker : mfc) worker->KillThread2();
  for (auto& worker : plain) worker->KillThread2();
  for (auto& worker : mfc) {
    EXPECT_EQ(worker->counts.starts, 1);
    EXPECT_EQ(worker->counts.ends, 1);
    EXPECT_GT(worker->counts.units, 0);
  }
  for (auto& worker : plain) {
    EXPECT_EQ(worker->counts.ends, 1);
    EXPECT_FALSE(worker->IsBusy());
  }
}

// The loop does not catch the hooks' exceptions: one that escapes ends the process, as an
// unhandled exception in a thread does on Windows.
class ThrowingWorker : public CMultiWinThread {
 protected:
  void DoWork() override { AfxThrowFileException(CFileException::diskFull); }
};

TEST_F(WorkerThreadsTest, AnExceptionEscapingDoWorkEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        ThrowingWorker worker;
        worker.CreateThread(0, 0, nullptr, 0);
        Sleep(5000);
      },
      "");
}

}  // namespace
