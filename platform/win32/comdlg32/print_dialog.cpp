// The print dialog, which asks the host's user interface for one of the stand-in's printers, and
// the common dialogs' extended error.
#include "internal.h"

namespace lyrwin {
namespace {

thread_local DWORD t_commDlgError = 0;

}  // namespace
}  // namespace lyrwin

extern "C" BOOL WINAPI PrintDlgA(LPPRINTDLGA pPD) {
  lyrwin::t_commDlgError = 0;
  if (pPD == nullptr || pPD->lStructSize != sizeof(PRINTDLGA)) {
    lyrwin::t_commDlgError = CDERR_STRUCTSIZE;
    return FALSE;
  }
  LyrPrintChoice choice;
  choice.Printers = lyrwin::PrinterNames();
  choice.Printer = choice.Printers.front();
  if ((pPD->Flags & PD_RETURNDEFAULT) == 0 && lyrwin::HostUi()->ChoosePrinter(choice) != IDOK)
    return FALSE;  // cancelled: no error
  bool known = false;
  for (const std::string& name : choice.Printers) known = known || name == choice.Printer;
  if (!known) {
    lyrwin::t_commDlgError = PDERR_PRINTERNOTFOUND;
    return FALSE;
  }
  if ((pPD->Flags & (PD_RETURNDC | PD_RETURNIC)) != 0) {
    pPD->hDC = CreateDCA(nullptr, choice.Printer.c_str(), nullptr, nullptr);
    if (pPD->hDC == nullptr) {
      lyrwin::t_commDlgError = PDERR_CREATEICFAILURE;
      return FALSE;
    }
  }
  if (pPD->nCopies == 0) pPD->nCopies = 1;
  return TRUE;
}

extern "C" DWORD WINAPI CommDlgExtendedError(void) {
  return lyrwin::t_commDlgError;
}
