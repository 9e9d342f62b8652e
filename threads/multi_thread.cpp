// CMultiThread: the worker loop on the runtime library's threads.
#include <LyrUtil.h>
#include <process.h>

CMultiThread::CMultiThread()
    : m_pEvent(new CEvent()), m_nCycleTime(0), m_bStop(0), m_bBusy(0), m_hThread(nullptr) {}

// The thread handle is closed here, so that it stays valid for GetHandle and for the wait of
// KillThread2 for the object's whole life.
CMultiThread::~CMultiThread() {
  delete m_pEvent;
  if (m_hThread != nullptr) CloseHandle(m_hThread);
}

// The worker always starts at once: the creation flags are taken for the interface's sake, as a
// worker held suspended would need a resume that this class does not offer. After a failed
// creation the busy flag is 0 again, since no worker runs.
int CMultiThread::CreateThread(DWORD, unsigned int nStackSize,
                               _SECURITY_ATTRIBUTES* lpSecurityAttrs, unsigned int nCycleTime) {
  m_nCycleTime.store(nCycleTime);
  m_bBusy.store(1);
  m_bStop.store(0);
  if (m_hThread != nullptr) CloseHandle(m_hThread);  // a finished worker's, replaced
  unsigned id = 0;
  m_hThread = reinterpret_cast<HANDLE>(
      _beginthreadex(lpSecurityAttrs, nStackSize, ThreadRoutine, this, 0, &id));
  if (m_hThread == nullptr) m_bBusy.store(0);
  return static_cast<int>(reinterpret_cast<uintptr_t>(m_hThread));
}

void CMultiThread::Stop() {
  m_bStop.store(1);
}

int CMultiThread::IsBusy() {
  return m_bBusy.load();
}

void* CMultiThread::GetHandle() {
  return m_hThread;
}

void CMultiThread::KillThread2() {
  m_bStop.store(1);
  m_pEvent->SetEvent();
  WaitForSingleObject(m_hThread, INFINITE);
}

unsigned WINAPI CMultiThread::ThreadRoutine(void* object) {
  CMultiThread* self = static_cast<CMultiThread*>(object);
  CSingleLock wake(self->m_pEvent);
  self->StartWork();
  while (!self->m_bStop.load()) {
    wake.Lock(self->m_nCycleTime.load());
    wake.Unlock();
    if (self->m_bStop.load()) break;
    self->DoWork();
  }
  self->EndWork();
  self->m_bBusy.store(0);
  _endthreadex(0);
}

void CMultiThread::StartWork() {}
void CMultiThread::EndWork() {}
