// CMultiWinThread: the worker loop on MFC's CWinThread.
#include <LyrUtil.h>

IMPLEMENT_DYNCREATE(CMultiWinThread, CWinThread)

CMultiWinThread::CMultiWinThread() : m_pEvent(new CEvent()), m_nCycleTime(0), m_bStop(0) {}

CMultiWinThread::~CMultiWinThread() {
  delete m_pEvent;
}

int CMultiWinThread::CreateThread(DWORD dwCreateFlags, unsigned int nStackSize,
                                  _SECURITY_ATTRIBUTES* lpSecurityAttrs, unsigned int nCycleTime) {
  m_nCycleTime.store(static_cast<int>(nCycleTime));
  m_bStop.store(0);
  return CWinThread::CreateThread(dwCreateFlags, nStackSize, lpSecurityAttrs);
}

// The stop flag goes up before the event is signalled, so a worker woken from its wait sees it
// and does no further unit; one inside DoWork finishes that unit and sees it at the loop's test.
void CMultiWinThread::KillThread2() {
  m_bStop.store(1);
  m_pEvent->SetEvent();
  WaitForSingleObject(m_hThread, INFINITE);
}

BOOL CMultiWinThread::InitInstance() {
  return TRUE;
}

int CMultiWinThread::Run() {
  CSingleLock wake(m_pEvent);
  StartWork();
  while (!m_bStop.load()) {
    wake.Lock(static_cast<DWORD>(m_nCycleTime.load()));
    wake.Unlock();
    if (m_bStop.load()) break;
    DoWork();
  }
  EndWork();
  // The object outlives its thread: its owner deletes it after KillThread2.
  AfxEndThread(0, FALSE);
}

CEvent* CMultiWinThread::GetEvent() const {
  return m_pEvent;
}

int CMultiWinThread::GetCycleTime() const {
  return m_nCycleTime.load();
}

void CMultiWinThread::SetCycleTime(int nCycleTime) {
  m_nCycleTime.store(nCycleTime);
}

void CMultiWinThread::StartWork() {}
void CMultiWinThread::DoWork() {}
void CMultiWinThread::EndWork() {}
