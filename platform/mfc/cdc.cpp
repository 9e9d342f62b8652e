// CDC over the stand-in's device contexts.
#include <afxwin.h>

IMPLEMENT_DYNAMIC(CDC, CObject)

CDC::CDC() : m_hDC(nullptr), m_hAttribDC(nullptr), m_pLyrOldPalette(nullptr) {}

CDC::~CDC() {
  if (m_hDC != nullptr) ::DeleteDC(Detach());
  if (m_pLyrOldPalette != nullptr) {
    m_pLyrOldPalette->Detach();  // not ours to delete
    delete m_pLyrOldPalette;
  }
}

BOOL CDC::Attach(HDC hDC) {
  if (hDC == nullptr || m_hDC != nullptr) return FALSE;
  m_hDC = hDC;
  m_hAttribDC = hDC;
  return TRUE;
}

HDC CDC::Detach() {
  HDC hDC = m_hDC;
  m_hDC = nullptr;
  m_hAttribDC = nullptr;
  return hDC;
}

BOOL CDC::DeleteDC() {
  if (m_hDC == nullptr) return FALSE;
  return ::DeleteDC(Detach());
}

BOOL CDC::TextOut(int x, int y, LPCSTR lpszString, int nCount) {
  return ::TextOutA(m_hDC, x, y, lpszString, nCount);
}

BOOL CDC::TextOut(int x, int y, const CString& str) {
  return ::TextOutA(m_hDC, x, y, str, str.GetLength());
}

COLORREF CDC::SetTextColor(COLORREF crColor) {
  return ::SetTextColor(m_hDC, crColor);
}

int CDC::StartDoc(LPDOCINFO lpDocInfo) {
  return ::StartDocA(m_hDC, lpDocInfo);
}

int CDC::StartDoc(LPCSTR lpszDocName) {
  DOCINFO info = {};
  info.cbSize = sizeof info;
  info.lpszDocName = lpszDocName;
  return ::StartDocA(m_hDC, &info);
}

int CDC::StartPage() {
  return ::StartPage(m_hDC);
}

int CDC::EndPage() {
  return ::EndPage(m_hDC);
}

int CDC::EndDoc() {
  return ::EndDoc(m_hDC);
}

int CDC::AbortDoc() {
  return ::AbortDoc(m_hDC);
}

int CDC::GetDeviceCaps(int nIndex) const {
  return ::GetDeviceCaps(m_hAttribDC, nIndex);
}

int CDC::SetStretchBltMode(int nStretchMode) {
  return ::SetStretchBltMode(m_hDC, nStretchMode);
}

CPalette* CDC::SelectPalette(CPalette* pPalette, BOOL bForceBackground) {
  HPALETTE previous = ::SelectPalette(
      m_hDC, pPalette != nullptr ? static_cast<HPALETTE>(pPalette->m_hObject) : nullptr,
      bForceBackground);
  if (previous == nullptr) return nullptr;
  if (m_pLyrOldPalette == nullptr) m_pLyrOldPalette = new CPalette;
  m_pLyrOldPalette->Detach();
  m_pLyrOldPalette->Attach(previous);
  return m_pLyrOldPalette;
}

UINT CDC::RealizePalette() {
  return ::RealizePalette(m_hDC);
}
