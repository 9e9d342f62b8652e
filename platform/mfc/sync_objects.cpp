// CSyncObject, CEvent and CSingleLock over the stand-in's events and waits.
#include <afxmt.h>

IMPLEMENT_DYNAMIC(CSyncObject, CObject)
IMPLEMENT_DYNAMIC(CEvent, CSyncObject)

CSyncObject::CSyncObject(LPCSTR) : m_hObject(nullptr) {}

CSyncObject::~CSyncObject() {
  if (m_hObject != nullptr) CloseHandle(m_hObject);
}

BOOL CSyncObject::Lock(DWORD dwTimeout) {
  return WaitForSingleObject(m_hObject, dwTimeout) == WAIT_OBJECT_0;
}

BOOL CSyncObject::Unlock(LONG, LPLONG) {
  return TRUE;
}

CEvent::CEvent(BOOL bInitiallyOwn, BOOL bManualReset, LPCSTR lpszName,
               LPSECURITY_ATTRIBUTES lpsaAttribute)
    : CSyncObject(lpszName) {
  m_hObject = CreateEventA(lpsaAttribute, bManualReset, bInitiallyOwn, lpszName);
  if (m_hObject == nullptr) AfxThrowResourceException();
}

BOOL CEvent::SetEvent() {
  return ::SetEvent(m_hObject);
}

BOOL CEvent::ResetEvent() {
  return ::ResetEvent(m_hObject);
}

BOOL CEvent::Unlock() {
  return TRUE;
}

CSingleLock::CSingleLock(CSyncObject* pObject, BOOL bInitialLock)
    : m_pObject(pObject),
      m_hObject(pObject != nullptr ? pObject->m_hObject : nullptr),
      m_bAcquired(FALSE) {
  if (bInitialLock) Lock();
}

CSingleLock::~CSingleLock() {
  Unlock();
}

BOOL CSingleLock::Lock(DWORD dwTimeOut) {
  m_bAcquired = m_pObject != nullptr && m_pObject->Lock(dwTimeOut);
  return m_bAcquired;
}

BOOL CSingleLock::Unlock() {
  if (m_bAcquired && m_pObject != nullptr) m_bAcquired = !m_pObject->Unlock();
  return !m_bAcquired;
}
