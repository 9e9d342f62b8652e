// Worker threads of the suite's one common shape: a start hook, then a loop that waits for a
// wake-up event or the cycle time and does one unit of work, then an end hook. An application
// derives from one of the two classes and puts its work into the hooks.
#ifndef LYRUTIL_THREADS_H
#define LYRUTIL_THREADS_H

#include <lyrutil/export.h>

#include <afxmt.h>
#include <afxwin.h>

#include <atomic>

// A worker on MFC's CWinThread, creatable by class name. The object outlives its thread: the
// owner stops the worker with KillThread2 and then deletes the object.
class LYRUTIL_API CMultiWinThread : public CWinThread {
  DECLARE_DYNCREATE(CMultiWinThread)
 public:
  CMultiWinThread();
  ~CMultiWinThread() override;

  // Creation flags, stack size and security as for CWinThread::CreateThread, then the cycle time
  // in milliseconds (INFINITE: work only when woken).
  int CreateThread(DWORD dwCreateFlags, unsigned int nStackSize,
                   _SECURITY_ATTRIBUTES* lpSecurityAttrs, unsigned int nCycleTime);
  // Asks the worker to stop, wakes it and waits until its thread has ended; from another thread.
  void KillThread2();
  BOOL InitInstance() override;
  int Run() override;

 protected:
  CEvent* GetEvent() const;
  int GetCycleTime() const;
  void SetCycleTime(int nCycleTime);
  virtual void StartWork();
  virtual void DoWork();
  virtual void EndWork();

 private:
  // The owner writes the cycle time and the stop flag, the worker reads them afresh at every
  // test; atomic, so that the reads are well defined, and 32 bits wide like plain fields.
  CEvent* m_pEvent;
  std::atomic<int> m_nCycleTime;
  std::atomic<int> m_bStop;
};

// A worker on the runtime library's threads, without MFC's thread object. Deleting the object
// neither stops nor waits for the worker: stop it first (KillThread2 from a derived class, or
// Stop and then wait until IsBusy turns 0).
class LYRUTIL_API CMultiThread {
 public:
  CMultiThread();
  virtual ~CMultiThread();
  CMultiThread(const CMultiThread&) = delete;
  CMultiThread& operator=(const CMultiThread&) = delete;

  // Creation flags, stack size, security, cycle time; the thread handle, 0 on failure.
  int CreateThread(DWORD dwCreateFlags, unsigned int nStackSize,
                   _SECURITY_ATTRIBUTES* lpSecurityAttrs, unsigned int nCycleTime);
  // Asks the worker to stop after its current wait or unit of work.
  void Stop();
  int IsBusy();
  void* GetHandle();

 protected:
  void KillThread2();
  virtual void StartWork();
  virtual void DoWork() = 0;
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
