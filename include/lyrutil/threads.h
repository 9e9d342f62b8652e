/// @file
/// Worker threads of the suite's one common shape: a start hook, then a loop that waits for a
/// wake-up event or the cycle time and does one unit of work, then an end hook. An application
/// derives from one of the two classes and puts its work into the hooks, which run on the worker
/// thread; the other members may be called from any thread.
#ifndef LYRUTIL_THREADS_H
#define LYRUTIL_THREADS_H

#include <lyrutil/export.h>

#include <afxmt.h>
#include <afxwin.h>

#include <atomic>

/// A worker on MFC's CWinThread, creatable by class name. The object outlives its thread: the
/// owner stops the worker with KillThread2 and then deletes the object.
class LYRUTIL_API CMultiWinThread : public CWinThread {
  DECLARE_DYNCREATE(CMultiWinThread)
 public:
  /// CWinThread's defaults and the wake-up event.
  CMultiWinThread();
  /// Deletes the wake-up event; stop the worker with KillThread2 first.
  ~CMultiWinThread() override;

  /// Creation flags, stack size and security as for CWinThread::CreateThread, then the cycle time
  /// in milliseconds (INFINITE: work only when woken). Nonzero when the thread was started.
  int CreateThread(DWORD dwCreateFlags, unsigned int nStackSize,
                   _SECURITY_ATTRIBUTES* lpSecurityAttrs, unsigned int nCycleTime);
  /// Asks the worker to stop, wakes it and waits, without a time limit, until its thread has
  /// ended; from another thread than the worker's.
  void KillThread2();
  /// Returns TRUE, so that MFC goes on to Run.
  BOOL InitInstance() override;
  /// The worker loop: StartWork, then DoWork after each wake-up or cycle until asked to stop,
  /// then EndWork; then ends the thread with exit code 0 and leaves the object alive.
  int Run() override;

 protected:
  /// The wake-up event, owned by the object: signalling it makes the worker do one unit at once.
  CEvent* GetEvent() const;
  /// The cycle time in milliseconds.
  int GetCycleTime() const;
  /// Changes the cycle time; it takes effect from the next wait.
  void SetCycleTime(int nCycleTime);
  /// Runs once on the worker thread before the first unit of work; empty here.
  virtual void StartWork();
  /// One unit of work, on the worker thread; empty here.
  virtual void DoWork();
  /// Runs once on the worker thread after the last unit of work; empty here.
  virtual void EndWork();

 private:
  // The owner writes the cycle time and the stop flag, the worker reads them afresh at every
  // test; atomic, so that the reads are well defined, and 32 bits wide like plain fields.
  CEvent* m_pEvent;
  std::atomic<int> m_nCycleTime;
  std::atomic<int> m_bStop;
};

/// A worker on the runtime library's threads, without MFC's thread object. Deleting the object
/// neither stops nor waits for the worker: stop it first (KillThread2 from a derived class, or
/// Stop and then wait until IsBusy turns 0).
class LYRUTIL_API CMultiThread {
 public:
  /// Not busy; creates the wake-up event.
  CMultiThread();
  /// Deletes the wake-up event; neither stops the worker nor waits for it.
  virtual ~CMultiThread();
  CMultiThread(const CMultiThread&) = delete;
  CMultiThread& operator=(const CMultiThread&) = delete;

  /// Creation flags, stack size, security, cycle time: starts the worker and returns its thread
  /// handle (kept by the object), 0 when no thread was started.
  int CreateThread(DWORD dwCreateFlags, unsigned int nStackSize,
                   _SECURITY_ATTRIBUTES* lpSecurityAttrs, unsigned int nCycleTime);
  /// Asks the worker to stop after its current wait or unit of work; returns at once.
  void Stop();
  /// 1 from CreateThread until the worker has run EndWork, else 0.
  int IsBusy();
  /// The worker's thread handle, 0 before CreateThread.
  void* GetHandle();

 protected:
  /// Asks the worker to stop, wakes it and waits, without a time limit, for its thread to end.
  void KillThread2();
  /// Runs once on the worker thread before the first unit of work; empty here.
  virtual void StartWork();
  /// One unit of work, on the worker thread.
  virtual void DoWork() = 0;
  /// Runs once on the worker thread after the last unit of work; empty here.
  virtual void EndWork();

 private:
  static unsigned WINAPI ThreadRoutine(void* object);

  CEvent* m_pEvent;
  std::atomic<unsigned int> m_nCycleTime;
  std::atomic<int> m_bStop;
  std::atomic<int> m_bBusy;
  HANDLE m_hThread;
};

#endif  // LYRUTIL_THREADS_H
