/// @file
/// One page of text lines on a printer the user picks: open a session (the print dialog), print
/// strings at device coordinates, close the session.
#ifndef LYRUTIL_PRINT_H
#define LYRUTIL_PRINT_H

#include <lyrutil/export.h>

#include <afxwin.h>

class CPrintDialog;

/// A print session of one page. Serves one thread at a time. The document and its page start in
/// OpenPrintSession and end in ClosePrintSession.
class LYRUTIL_API CUtilPrintManager {
 public:
  /// Keeps `pParent` (not owned) as the owner of the print dialog; no session yet.
  explicit CUtilPrintManager(CWnd* pParent);
  /// A session still open is closed first, so that the lines printed reach the printer.
  ~CUtilPrintManager();
  CUtilPrintManager(const CUtilPrintManager&) = delete;
  CUtilPrintManager& operator=(const CUtilPrintManager&) = delete;

  /// Shows the print dialog and starts a document and its page on the printer chosen: 1, or 0
  /// when there is no parent window, the user cancels or the document cannot be started. A session
  /// still open from an earlier call is closed first, and its dialog deleted.
  int OpenPrintSession();
  /// Draws the text with the top left of its cell at the device point (x, y), in the printer's
  /// current font and colour; nothing outside a session.
  void PrintString(char* text, int x, int y);
  /// Ends the page and the document and deletes the printer's device context; nothing outside a
  /// session.
  void ClosePrintSession();

 private:
  CDC m_PrinterDC;
  CWnd* m_pParentWnd;
  CPrintDialog* m_pPrintDialog;
  DOCINFO m_DocInfo;
};

#endif  // LYRUTIL_PRINT_H
