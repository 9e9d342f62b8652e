// The MFC subset's message boxes and dialogs on Linux: the host's user interface answers them.
#include "internal.h"
#include "user_interface.h"

#include <lyrui.h>

namespace lyrwin {

int ShowMessageBox(LPCSTR text, UINT type, UINT helpId) {
  return HostUi()->ShowMessage(text, type, helpId);
}

int RunModalDialog(LyrDialog& dialog, HWND) {
  return HostUi()->RunDialog(dialog);
}

BOOL RunPrintDialog(PRINTDLGA* pd) {
  return ::PrintDlgA(pd);  // the stand-in's PrintDlgA asks the host for the printer itself
}

}  // namespace lyrwin
