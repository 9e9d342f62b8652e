// CWnd and CDialog. A dialog's controls live in the LyrDialog that DoModal hands to the user
// interface (user_interface.h); GetDlgItem gives CWnd objects that stand for single controls and
// belong to the dialog, which frees them.
#include <afxwin.h>

#include <lyrui.h>

#include "user_interface.h"

#include <cstring>
#include <memory>

IMPLEMENT_DYNAMIC(CWnd, CCmdTarget)
IMPLEMENT_DYNAMIC(CDialog, CWnd)

CWnd::CWnd()
    : m_hWnd(nullptr),
      m_pLyrDialog(nullptr),
      m_nLyrControl(0),
      m_pLyrItems(nullptr),
      m_pLyrNextItem(nullptr) {}

CWnd::~CWnd() {
  LyrFreeItems();
}

void CWnd::LyrFreeItems() {
  while (m_pLyrItems != nullptr) {
    CWnd* next = m_pLyrItems->m_pLyrNextItem;
    delete m_pLyrItems;
    m_pLyrItems = next;
  }
}

CWnd* CWnd::GetDlgItem(int nID) const {
  if (m_pLyrDialog == nullptr) return nullptr;
  for (CWnd* item = m_pLyrItems; item != nullptr; item = item->m_pLyrNextItem) {
    if (item->m_nLyrControl == nID) return item;
  }
  CWnd* item = new CWnd;
  item->m_pLyrDialog = m_pLyrDialog;
  item->m_nLyrControl = nID;
  item->m_hWnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x10000 + nID));
  item->m_pLyrNextItem = m_pLyrItems;
  m_pLyrItems = item;
  return item;
}

void CWnd::SetDlgItemText(int nID, LPCSTR lpszString) {
  if (m_pLyrDialog != nullptr) m_pLyrDialog->SetText(nID, lpszString ? lpszString : "");
}

int CWnd::GetDlgItemText(int nID, LPSTR lpStr, int nMaxCount) const {
  if (lpStr == nullptr || nMaxCount <= 0) return 0;
  std::string text = m_pLyrDialog ? m_pLyrDialog->Text(nID) : std::string();
  size_t n = text.size() < static_cast<size_t>(nMaxCount - 1) ? text.size() : nMaxCount - 1;
  std::memcpy(lpStr, text.data(), n);
  lpStr[n] = '\0';
  return static_cast<int>(n);
}

int CWnd::GetDlgItemText(int nID, CString& rString) const {
  std::string text = m_pLyrDialog ? m_pLyrDialog->Text(nID) : std::string();
  rString = CString(text.data(), static_cast<int>(text.size()));
  return rString.GetLength();
}

LRESULT CWnd::SendDlgItemMessage(int nID, UINT message, WPARAM wParam, LPARAM lParam) {
  CWnd* item = GetDlgItem(nID);
  return item ? item->SendMessage(message, wParam, lParam) : 0;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (m_pLyrDialog == nullptr) return 0;
  switch (message) {
    case EM_LIMITTEXT:
      // 0 means the edit control's largest limit.
      m_pLyrDialog->SetTypingLimit(m_nLyrControl, wParam == 0 ? 0x7FFFFFFE : wParam);
      return 0;
    case WM_SETTEXT:
      m_pLyrDialog->SetText(m_nLyrControl, lParam ? reinterpret_cast<const char*>(lParam) : "");
      return TRUE;
    default:
      return 0;
  }
}

BOOL CWnd::EnableWindow(BOOL bEnable) {
  if (m_pLyrDialog == nullptr) return FALSE;
  BOOL wasDisabled = !m_pLyrDialog->Enabled(m_nLyrControl);
  m_pLyrDialog->SetEnabled(m_nLyrControl, bEnable != FALSE);
  return wasDisabled;
}

BOOL CWnd::IsWindowEnabled() const {
  return m_pLyrDialog != nullptr && m_pLyrDialog->Enabled(m_nLyrControl);
}

void CWnd::SetWindowText(LPCSTR lpszString) {
  if (m_pLyrDialog != nullptr) m_pLyrDialog->SetText(m_nLyrControl, lpszString ? lpszString : "");
}

int CWnd::GetWindowText(LPSTR lpszStringBuf, int nMaxCount) const {
  return m_pLyrDialog ? GetDlgItemText(m_nLyrControl, lpszStringBuf, nMaxCount) : 0;
}

void CWnd::CenterWindow(CWnd*) {}  // placement is the host's

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDHelp(nIDTemplate),
      m_lpszTemplateName(nullptr),
      m_nIDTemplate(nIDTemplate),
      m_pParentWnd(pParentWnd),
      m_nModalResult(-1) {}

CDialog::~CDialog() = default;

INT_PTR CDialog::DoModal() {
  LyrDialog dialog(m_nIDTemplate);
  m_pLyrDialog = &dialog;
  m_hWnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x20000 + m_nIDTemplate));
  m_nModalResult = -1;
  struct Reset {
    CDialog* self;
    ~Reset() {
      self->LyrFreeItems();
      self->m_pLyrDialog = nullptr;
      self->m_hWnd = nullptr;
    }
  } reset{this};
  OnInitDialog();
  int answer = lyrwin::RunModalDialog(dialog, m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr);
  if (answer == -1) return -1;  // the dialog could not be shown; neither OnOK nor OnCancel runs
  if (answer == IDOK) {
    OnOK();
  } else {
    OnCancel();
  }
  return m_nModalResult == -1 ? answer : m_nModalResult;
}

BOOL CDialog::OnInitDialog() {
  return TRUE;
}
void CDialog::OnOK() {
  EndDialog(IDOK);
}
void CDialog::OnCancel() {
  EndDialog(IDCANCEL);
}
void CDialog::EndDialog(int nResult) {
  m_nModalResult = nResult;
}
