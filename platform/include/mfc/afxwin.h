// The window classes of the MFC subset: CWnd and CDialog. On Linux a dialog is not drawn: its
// modal run hands a LyrDialog (its template and controls) to the host's user interface
// (lyrhost.h), and the dialog reads the controls back when the host closes it.
#ifndef LYRWIN_AFXWIN_H
#define LYRWIN_AFXWIN_H

#include <afx.h>

class LyrDialog;

#define EM_LIMITTEXT 0x00C5
#define WM_SETTEXT 0x000C

// A window, or a control of a dialog. Not thread-safe: it belongs to the thread of its dialog.
class LYRWIN_API CWnd : public CObject {
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

#endif  // LYRWIN_AFXWIN_H
