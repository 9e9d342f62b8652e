// Where the MFC subset's message boxes and modal dialogs go. On Linux, to the host's user
// interface (lyrui.h); on Windows, to the installed hook when there is one, else on screen.
#ifndef LYRWIN_MFC_USER_INTERFACE_H
#define LYRWIN_MFC_USER_INTERFACE_H

#include <windows.h>

#include <commdlg.h>

class LyrDialog;

namespace lyrwin {

int ShowMessageBox(LPCSTR text, UINT type, UINT helpId);
// IDOK or IDCANCEL; the controls of `dialog` hold what the user left in them.
int RunModalDialog(LyrDialog& dialog, HWND owner);
// PrintDlg's contract: TRUE with the printer (and its DC when asked) in `pd`, FALSE when cancelled.
BOOL RunPrintDialog(PRINTDLGA* pd);

}  // namespace lyrwin

#endif  // LYRWIN_MFC_USER_INTERFACE_H
