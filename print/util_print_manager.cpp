// CUtilPrintManager: the print dialog, a document of one page, and text at device points.
#include <lyrutil/print.h>

#include <afxdlgs.h>

#include <cstring>

CUtilPrintManager::CUtilPrintManager(CWnd* pParent)
    : m_pParentWnd(pParent), m_pPrintDialog(nullptr), m_DocInfo() {}

CUtilPrintManager::~CUtilPrintManager() {
  if (m_PrinterDC.GetSafeHdc() != nullptr) ClosePrintSession();
  delete m_pPrintDialog;
}

int CUtilPrintManager::OpenPrintSession() {
  if (m_pParentWnd == nullptr) return 0;
  // An earlier session, or a device context left attached by a document that did not start.
  if (m_PrinterDC.GetSafeHdc() != nullptr) ClosePrintSession();
  delete m_pPrintDialog;
  m_pPrintDialog = new CPrintDialog(FALSE, 0, m_pParentWnd);
  if (m_pPrintDialog->DoModal() != IDOK) return 0;
  m_PrinterDC.Attach(m_pPrintDialog->GetPrinterDC());
  std::memset(&m_DocInfo, 0, sizeof m_DocInfo);
  m_DocInfo.cbSize = sizeof m_DocInfo;  // 20 bytes in the suite's 32-bit build
  m_DocInfo.lpszDocName = "";
  m_DocInfo.lpszOutput = nullptr;
  m_DocInfo.lpszDatatype = nullptr;
  m_DocInfo.fwType = 0;
  if (StartDocA(m_PrinterDC.GetSafeHdc(), &m_DocInfo) < 0) return 0;
  m_PrinterDC.StartPage();
  return 1;
}

void CUtilPrintManager::PrintString(char* text, int x, int y) {
  CString line(text);
  m_PrinterDC.TextOut(x, y, line, line.GetLength());
}

void CUtilPrintManager::ClosePrintSession() {
  // Without a document (StartDocA failed) both calls fail harmlessly; their results, like those
  // of the printing, are not looked at.
  m_PrinterDC.EndPage();
  m_PrinterDC.EndDoc();
  m_PrinterDC.DeleteDC();
}
