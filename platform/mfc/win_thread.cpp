// CWinThread, AfxBeginThread and AfxEndThread over the stand-in's threads, as MFC runs them.
#include <afxwin.h>
#ifdef _WIN32
#include <process.h>
#else
#include <lyrcrt.h>
#endif

IMPLEMENT_DYNAMIC(CCmdTarget, CObject)
IMPLEMENT_DYNAMIC(CWinThread, CCmdTarget)

CCmdTarget::CCmdTarget() = default;
CCmdTarget::~CCmdTarget() = default;

namespace {

thread_local CWinThread* t_thread = nullptr;

// What the creating thread hands the new one: the new one reports on `ready` that it is set up,
// then waits on `go`, which it closes.
struct Startup {
  CWinThread* thread;
  HANDLE ready;
  HANDLE go;
};

unsigned WINAPI ThreadEntry(void* argument) {
  Startup* startup = static_cast<Startup*>(argument);
  CWinThread* thread = startup->thread;
  HANDLE go = startup->go;
  t_thread = thread;
  SetEvent(startup->ready);  // the creator may go on (and free `startup`) from here
  WaitForSingleObject(go, INFINITE);
  CloseHandle(go);
  if (thread->m_pfnThreadProc != nullptr)
    AfxEndThread(thread->m_pfnThreadProc(thread->m_pThreadParams));
  int result = thread->InitInstance() ? thread->Run() : thread->ExitInstance();
  AfxEndThread(static_cast<UINT>(result));
}

}  // namespace

CWinThread::CWinThread()
    : m_pMainWnd(nullptr),
      m_pActiveWnd(nullptr),
      m_bAutoDelete(TRUE),
      m_hThread(nullptr),
      m_nThreadID(0),
      m_pfnThreadProc(nullptr),
      m_pThreadParams(nullptr) {}

CWinThread::CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam) : CWinThread() {
  m_pfnThreadProc = pfnThreadProc;
  m_pThreadParams = pParam;
}

CWinThread::~CWinThread() {
  if (m_hThread != nullptr) CloseHandle(m_hThread);
}

BOOL CWinThread::CreateThread(DWORD dwCreateFlags, UINT nStackSize,
                              LPSECURITY_ATTRIBUTES lpSecurityAttrs) {
  Startup startup{this, CreateEventA(nullptr, TRUE, FALSE, nullptr),
                  CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  if (startup.ready == nullptr || startup.go == nullptr) {
    if (startup.ready != nullptr) CloseHandle(startup.ready);
    if (startup.go != nullptr) CloseHandle(startup.go);
    return FALSE;
  }
  unsigned id = 0;
  uintptr_t handle =
      _beginthreadex(lpSecurityAttrs, nStackSize, ThreadEntry, &startup, CREATE_SUSPENDED, &id);
  if (handle == 0) {
    CloseHandle(startup.ready);
    CloseHandle(startup.go);
    return FALSE;
  }
  m_hThread = reinterpret_cast<HANDLE>(handle);
  m_nThreadID = id;
  ::ResumeThread(m_hThread);
  WaitForSingleObject(startup.ready, INFINITE);
  CloseHandle(startup.ready);
  // Set up; suspended only now when asked, as MFC does, and let go: it runs once resumed.
  if (dwCreateFlags & CREATE_SUSPENDED) ::SuspendThread(m_hThread);
  SetEvent(startup.go);
  return TRUE;
}

DWORD CWinThread::ResumeThread() {
  return ::ResumeThread(m_hThread);
}

int CWinThread::GetThreadPriority() {
  return ::GetThreadPriority(m_hThread);
}

BOOL CWinThread::SetThreadPriority(int nPriority) {
  return ::SetThreadPriority(m_hThread, nPriority);
}

BOOL CWinThread::InitInstance() {
  return FALSE;
}

int CWinThread::Run() {
  return ExitInstance();
}

int CWinThread::ExitInstance() {
  return 0;
}

CWnd* CWinThread::GetMainWnd() {
  return m_pMainWnd;
}

void CWinThread::Delete() {
  if (m_bAutoDelete) delete this;
}

CWinThread* AfxGetThread() {
  return t_thread;
}

void AfxEndThread(UINT nExitCode, BOOL bDelete) {
  CWinThread* thread = t_thread;
  t_thread = nullptr;
  if (thread != nullptr && bDelete) thread->Delete();
  _endthreadex(nExitCode);
}

namespace {

// As MFC starts a thread: suspended, set up, then let go unless the caller asked to keep it
// suspended. Once resumed, an auto-deleting thread may end and free its object at any moment, so
// nothing touches the object after the resume.
CWinThread* StartSetUp(CWinThread* thread, int nPriority, UINT nStackSize, DWORD dwCreateFlags,
                       LPSECURITY_ATTRIBUTES lpSecurityAttrs) {
  if (!thread->CreateThread(dwCreateFlags | CREATE_SUSPENDED, nStackSize, lpSecurityAttrs)) {
    thread->Delete();
    return nullptr;
  }
  thread->SetThreadPriority(nPriority);
  if (!(dwCreateFlags & CREATE_SUSPENDED)) ::ResumeThread(thread->m_hThread);
  return thread;
}

}  // namespace

CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int nPriority,
                           UINT nStackSize, DWORD dwCreateFlags,
                           LPSECURITY_ATTRIBUTES lpSecurityAttrs) {
  return StartSetUp(new CWinThread(pfnThreadProc, pParam), nPriority, nStackSize, dwCreateFlags,
                    lpSecurityAttrs);
}

CWinThread* AfxBeginThread(CRuntimeClass* pThreadClass, int nPriority, UINT nStackSize,
                           DWORD dwCreateFlags, LPSECURITY_ATTRIBUTES lpSecurityAttrs) {
  CObject* object = pThreadClass != nullptr ? pThreadClass->CreateObject() : nullptr;
  CWinThread* thread = dynamic_cast<CWinThread*>(object);
  if (thread == nullptr) {
    delete object;
    return nullptr;
  }
  return StartSetUp(thread, nPriority, nStackSize, dwCreateFlags, lpSecurityAttrs);
}
