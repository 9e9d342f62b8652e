// The print dialog: MFC's flags, the Win32 PrintDlg as its modal run.
#include <afxdlgs.h>

#include "user_interface.h"

IMPLEMENT_DYNAMIC(CCommonDialog, CDialog)
IMPLEMENT_DYNAMIC(CPrintDialog, CCommonDialog)

CCommonDialog::CCommonDialog(CWnd* pParentWnd) : CDialog(0, pParentWnd) {}

CPrintDialog::CPrintDialog(BOOL bPrintSetupOnly, DWORD dwFlags, CWnd* pParentWnd)
    : CCommonDialog(pParentWnd), m_pd(m_pdActual), m_pdActual() {
  m_pd.lStructSize = sizeof m_pdActual;
  m_pd.Flags = dwFlags;
  if (bPrintSetupOnly)
    m_pd.Flags |= PD_PRINTSETUP;
  else
    m_pd.Flags |= PD_RETURNDC;
  m_pd.Flags &= ~PD_RETURNIC;
}

INT_PTR CPrintDialog::DoModal() {
  m_pd.hwndOwner = m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : nullptr;
  return lyrwin::RunPrintDialog(&m_pd) ? IDOK : IDCANCEL;
}

HDC CPrintDialog::GetPrinterDC() const {
  return (m_pd.Flags & PD_RETURNDC) != 0 ? m_pd.hDC : nullptr;
}
