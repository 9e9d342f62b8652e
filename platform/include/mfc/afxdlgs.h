// The common dialogs of the MFC subset: the print dialog. Its modal run is the Win32 PrintDlg,
// which on Linux asks the host's user interface for a printer (lyrhost.h).
#ifndef LYRWIN_AFXDLGS_H
#define LYRWIN_AFXDLGS_H

#include <afxwin.h>

class LYRWIN_API CCommonDialog : public CDialog {
  DECLARE_DYNAMIC(CCommonDialog)
 public:
  explicit CCommonDialog(CWnd* pParentWnd);
};

class LYRWIN_API CPrintDialog : public CCommonDialog {
  DECLARE_DYNAMIC(CPrintDialog)
 public:
  // Without bPrintSetupOnly the dialog returns the chosen printer's device context (PD_RETURNDC).
  explicit CPrintDialog(BOOL bPrintSetupOnly,
                        DWORD dwFlags = PD_ALLPAGES | PD_USEDEVMODECOPIES | PD_NOPAGENUMS |
                                        PD_HIDEPRINTTOFILE | PD_NOSELECTION,
                        CWnd* pParentWnd = nullptr);

  // IDOK when the user chose a printer, IDCANCEL otherwise.
  INT_PTR DoModal() override;
  // The device context the dialog returned; the caller deletes it. Null before DoModal.
  HDC GetPrinterDC() const;

  PRINTDLG& m_pd;

 private:
  PRINTDLG m_pdActual;
};

#endif  // LYRWIN_AFXDLGS_H
