// The window classes of the MFC subset: CWnd and CDialog. On Linux a dialog is not drawn: its
// modal run hands a LyrDialog (its template and controls) to the host's user interface
// (lyrhost.h), and the dialog reads the controls back when the host closes it.
#ifndef LYRWIN_AFXWIN_H
#define LYRWIN_AFXWIN_H

#include <afx.h>

class LyrDialog;

#define EM_LIMITTEXT 0x00C5
#define WM_SETTEXT 0x000C

// The base of the classes that receive commands in MFC; it adds nothing here.
class LYRWIN_API CCmdTarget : public CObject {
  DECLARE_DYNAMIC(CCmdTarget)
 public:
  CCmdTarget();
  ~CCmdTarget() override;
};

// A window, or a control of a dialog. Not thread-safe: it belongs to the thread of its dialog.
class LYRWIN_API CWnd : public CCmdTarget {
  DECLARE_DYNAMIC(CWnd)
 public:
  CWnd();
  ~CWnd() override;

  CWnd* GetDlgItem(int nID) const;
  void SetDlgItemText(int nID, LPCSTR lpszString);
  int GetDlgItemText(int nID, LPSTR lpStr, int nMaxCount) const;
  int GetDlgItemText(int nID, CString& rString) const;
  LRESULT SendDlgItemMessage(int nID, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
  BOOL EnableWindow(BOOL bEnable = TRUE);
  BOOL IsWindowEnabled() const;
  void SetWindowText(LPCSTR lpszString);
  int GetWindowText(LPSTR lpszStringBuf, int nMaxCount) const;
  void CenterWindow(CWnd* pAlternateOwner = nullptr);

  HWND m_hWnd;

 protected:
  // The dialog whose controls this window reaches (itself, for a dialog), and the control it
  // stands for (0: the dialog itself). Set while a modal dialog runs.
  LyrDialog* m_pLyrDialog;
  int m_nLyrControl;
  mutable CWnd* m_pLyrItems;  // the control objects handed out by GetDlgItem, a chain
  CWnd* m_pLyrNextItem;
  void LyrFreeItems();
};

// A modal dialog on a template of the host's resources.
class LYRWIN_API CDialog : public CWnd {
  DECLARE_DYNAMIC(CDialog)
 public:
  explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
  ~CDialog() override;

  // Builds the dialog (OnInitDialog), lets the host run it, and calls OnOK or OnCancel as the
  // user closed it; returns the result given to EndDialog.
  virtual INT_PTR DoModal();
  virtual BOOL OnInitDialog();
  virtual void OnOK();
  virtual void OnCancel();
  void EndDialog(int nResult);

  UINT m_nIDHelp;
  LPCSTR m_lpszTemplateName;

 protected:
  UINT m_nIDTemplate;
  CWnd* m_pParentWnd;
  int m_nModalResult;
};

// --- GDI objects ---

// A GDI object owned through its handle: deleted with the object unless detached.
class LYRWIN_API CGdiObject : public CObject {
  DECLARE_DYNAMIC(CGdiObject)
 public:
  CGdiObject();
  ~CGdiObject() override;
  operator HGDIOBJ() const { return m_hObject; }
  HGDIOBJ GetSafeHandle() const { return m_hObject; }
  BOOL Attach(HGDIOBJ hObject);
  HGDIOBJ Detach();
  BOOL DeleteObject();

  HGDIOBJ m_hObject;
};

class LYRWIN_API CPalette : public CGdiObject {
  DECLARE_DYNAMIC(CPalette)
 public:
  CPalette();
  BOOL CreatePalette(LPLOGPALETTE lpLogPalette);
  operator HPALETTE() const { return static_cast<HPALETTE>(m_hObject); }
  int GetEntryCount();
  UINT GetPaletteEntries(UINT nStartIndex, UINT nNumEntries, LPPALETTEENTRY lpPaletteColors) const;
};

// A device context owned through its handle: DeleteDC, or the destructor, deletes an attached
// one unless it was detached. m_hAttribDC is the same handle, as MFC keeps it for a printer.
class LYRWIN_API CDC : public CObject {
  DECLARE_DYNAMIC(CDC)
 public:
  CDC();
  ~CDC() override;
  CDC(const CDC&) = delete;
  CDC& operator=(const CDC&) = delete;

  operator HDC() const { return m_hDC; }
  HDC GetSafeHdc() const { return m_hDC; }
  BOOL Attach(HDC hDC);
  HDC Detach();
  BOOL DeleteDC();

  BOOL TextOut(int x, int y, LPCSTR lpszString, int nCount);
  BOOL TextOut(int x, int y, const CString& str);
  COLORREF SetTextColor(COLORREF crColor);
  int StartDoc(LPDOCINFO lpDocInfo);
  int StartDoc(LPCSTR lpszDocName);
  int StartPage();
  int EndPage();
  int EndDoc();
  int AbortDoc();
  int GetDeviceCaps(int nIndex) const;
  int SetStretchBltMode(int nStretchMode);
  // Returns the palette that was selected, as an object that stays valid until the next call or
  // the DC's end (MFC hands out a temporary object here).
  CPalette* SelectPalette(CPalette* pPalette, BOOL bForceBackground);
  UINT RealizePalette();

  HDC m_hDC;
  HDC m_hAttribDC;

 private:
  CPalette* m_pLyrOldPalette;  // wraps the handle SelectPalette returned, without owning it
};

// --- Threads ---

typedef UINT(AFX_CDECL_THREADPROC)(LPVOID);
typedef AFX_CDECL_THREADPROC* AFX_THREADPROC;

// A thread as MFC runs it. CreateThread starts the thread suspended, lets it set itself up and
// resumes it unless CREATE_SUSPENDED was asked for; the thread then runs the worker function it
// was given, or InitInstance and, when that returns TRUE, Run. There is no message queue on the
// stand-in: the default Run returns ExitInstance() at once. When the thread ends through
// AfxEndThread (a return from Run or the worker function ends it so too) an object with
// m_bAutoDelete set deletes itself.
class LYRWIN_API CWinThread : public CCmdTarget {
  DECLARE_DYNAMIC(CWinThread)
 public:
  CWinThread();
  CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam);
  ~CWinThread() override;

  BOOL CreateThread(DWORD dwCreateFlags = 0, UINT nStackSize = 0,
                    LPSECURITY_ATTRIBUTES lpSecurityAttrs = nullptr);
  operator HANDLE() const { return m_hThread; }
  DWORD ResumeThread();
  int GetThreadPriority();
  BOOL SetThreadPriority(int nPriority);

  virtual BOOL InitInstance();
  virtual int Run();
  virtual int ExitInstance();
  virtual CWnd* GetMainWnd();
  virtual void Delete();  // deletes the object when m_bAutoDelete is set

  CWnd* m_pMainWnd;
  CWnd* m_pActiveWnd;
  BOOL m_bAutoDelete;
  HANDLE m_hThread;
  DWORD m_nThreadID;
  AFX_THREADPROC m_pfnThreadProc;
  LPVOID m_pThreadParams;
};

LYRWIN_API CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam,
                                      int nPriority = THREAD_PRIORITY_NORMAL, UINT nStackSize = 0,
                                      DWORD dwCreateFlags = 0,
                                      LPSECURITY_ATTRIBUTES lpSecurityAttrs = nullptr);
LYRWIN_API CWinThread* AfxBeginThread(CRuntimeClass* pThreadClass,
                                      int nPriority = THREAD_PRIORITY_NORMAL, UINT nStackSize = 0,
                                      DWORD dwCreateFlags = 0,
                                      LPSECURITY_ATTRIBUTES lpSecurityAttrs = nullptr);
// Ends the calling thread, which must be one MFC started; with bDelete, the thread object is
// deleted first as its m_bAutoDelete says.
[[noreturn]] LYRWIN_API void AfxEndThread(UINT nExitCode, BOOL bDelete = TRUE);
// The CWinThread of the calling thread; nullptr on a thread MFC did not start.
LYRWIN_API CWinThread* AfxGetThread();

#endif  // LYRWIN_AFXWIN_H
