// MFC's synchronisation classes over the stand-in's events: CSyncObject, CEvent, CSingleLock.
#ifndef LYRWIN_AFXMT_H
#define LYRWIN_AFXMT_H

#include <afx.h>

// A synchronisation object: a kernel handle that can be waited on.
class LYRWIN_API CSyncObject : public CObject {
  DECLARE_DYNAMIC(CSyncObject)
 public:
  explicit CSyncObject(LPCSTR pstrName);
  ~CSyncObject() override;
  operator HANDLE() const { return m_hObject; }
  // Waits for the object; TRUE when it was signalled within the time-out.
  virtual BOOL Lock(DWORD dwTimeout = INFINITE);
  virtual BOOL Unlock() = 0;
  virtual BOOL Unlock(LONG lCount, LPLONG lpPrevCount = nullptr);

  HANDLE m_hObject;
};

// An event; the constructor throws CResourceException* when the event cannot be made.
class LYRWIN_API CEvent : public CSyncObject {
  DECLARE_DYNAMIC(CEvent)
 public:
  explicit CEvent(BOOL bInitiallyOwn = FALSE, BOOL bManualReset = FALSE, LPCSTR lpszName = nullptr,
                  LPSECURITY_ATTRIBUTES lpsaAttribute = nullptr);
  BOOL SetEvent();
  BOOL ResetEvent();
  BOOL Unlock() override;  // nothing to release: an auto-reset event resets as a wait takes it
  using CSyncObject::Unlock;
};

// A lock on one synchronisation object for the length of a scope.
class LYRWIN_API CSingleLock {
 public:
  explicit CSingleLock(CSyncObject* pObject, BOOL bInitialLock = FALSE);
  ~CSingleLock();
  CSingleLock(const CSingleLock&) = delete;
  CSingleLock& operator=(const CSingleLock&) = delete;
  BOOL Lock(DWORD dwTimeOut = INFINITE);
  BOOL Unlock();
  BOOL IsLocked() { return m_bAcquired; }

 protected:
  CSyncObject* m_pObject;
  HANDLE m_hObject;
  BOOL m_bAcquired;
};

#endif  // LYRWIN_AFXMT_H
