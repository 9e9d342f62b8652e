// The MFC subset's message boxes and dialogs on Windows. An installed LyrHostUi answers them (a
// test, or a program that runs without a desktop); otherwise Windows shows them: the message box
// with MessageBoxA, the dialog from its template in the program's resources, the print dialog
// with PrintDlgA.
#include <lyrui.h>

#include <winspool.h>

#include <atomic>
#include <string>
#include <vector>

#include "user_interface.h"

namespace {

std::atomic<LyrHostUi*> g_hook{nullptr};

// MFC titles its message boxes with the application's name: the program's file name here.
std::string ProgramName() {
  char path[MAX_PATH];
  DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string name(path, n < MAX_PATH ? n : 0);
  size_t slash = name.find_last_of("\\/");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return name;
}

// The control `id` of the dialog window, or the window itself for 0 (its title).
HWND ControlWindow(HWND dialogWindow, int id) {
  return id == 0 ? dialogWindow : ::GetDlgItem(dialogWindow, id);
}

void ShowModel(HWND window, const LyrDialog& dialog) {
  for (int id : dialog.ControlIds()) {
    HWND control = ControlWindow(window, id);
    if (control == nullptr) continue;
    ::SetWindowTextA(control, dialog.Text(id).c_str());
    if (id != 0) ::EnableWindow(control, dialog.Enabled(id));
    if (dialog.TypingLimit(id) != 0)
      ::SendMessageA(control, EM_LIMITTEXT, dialog.TypingLimit(id), 0);
  }
}

// What the user typed goes back into the model, for the dialog's OnOK to read.
void ReadBack(HWND window, LyrDialog& dialog) {
  for (int id : dialog.ControlIds()) {
    HWND control = ControlWindow(window, id);
    if (control == nullptr) continue;
    std::string text(static_cast<size_t>(::GetWindowTextLengthA(control)) + 1, '\0');
    int n = ::GetWindowTextA(control, &text[0], static_cast<int>(text.size()));
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    dialog.SetText(id, text);
  }
}

INT_PTR CALLBACK ModelDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    ::SetWindowLongPtrA(window, DWLP_USER, lParam);
    ShowModel(window, *reinterpret_cast<LyrDialog*>(lParam));
    return TRUE;
  }
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    auto* dialog = reinterpret_cast<LyrDialog*>(::GetWindowLongPtrA(window, DWLP_USER));
    if (LOWORD(wParam) == IDOK && dialog != nullptr) ReadBack(window, *dialog);
    ::EndDialog(window, LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}

std::vector<std::string> InstalledPrinters() {
  std::vector<std::string> names;
  DWORD needed = 0;
  DWORD count = 0;
  const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
  ::EnumPrintersA(flags, nullptr, 4, nullptr, 0, &needed, &count);
  if (needed == 0) return names;
  std::vector<BYTE> buffer(needed);
  if (!::EnumPrintersA(flags, nullptr, 4, buffer.data(), needed, &needed, &count)) return names;
  const auto* printers = reinterpret_cast<const PRINTER_INFO_4A*>(buffer.data());
  for (DWORD i = 0; i < count; ++i) names.emplace_back(printers[i].pPrinterName);
  return names;
}

std::string DefaultPrinter() {
  char name[512];
  DWORD size = sizeof name;
  return ::GetDefaultPrinterA(name, &size) ? std::string(name) : std::string();
}

}  // namespace

void LyrSetHostUi(LyrHostUi* ui) {
  g_hook.store(ui);
}

LyrHostUi* LyrGetHostUi() {
  return g_hook.load();
}

namespace lyrwin {

int ShowMessageBox(LPCSTR text, UINT type, UINT helpId) {
  if (LyrHostUi* hook = g_hook.load()) return hook->ShowMessage(text, type, helpId);
  return ::MessageBoxA(::GetActiveWindow(), text, ProgramName().c_str(), type);
}

int RunModalDialog(LyrDialog& dialog, HWND owner) {
  if (LyrHostUi* hook = g_hook.load()) return hook->RunDialog(dialog);
  INT_PTR result =
      ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(dialog.TemplateId()), owner,
                        ModelDialogProc, reinterpret_cast<LPARAM>(&dialog));
  return static_cast<int>(result);  // -1 when the template is missing, as MFC's DoModal
}

BOOL RunPrintDialog(PRINTDLGA* pd) {
  LyrHostUi* hook = g_hook.load();
  if (hook == nullptr) return ::PrintDlgA(pd);
  LyrPrintChoice choice;
  choice.Printer = DefaultPrinter();
  if (!choice.Printer.empty()) choice.Printers.push_back(choice.Printer);
  for (const std::string& name : InstalledPrinters())
    if (name != choice.Printer) choice.Printers.push_back(name);
  if (hook->ChoosePrinter(choice) != IDOK) return FALSE;
  if ((pd->Flags & PD_RETURNDC) != 0) {
    pd->hDC = ::CreateDCA("WINSPOOL", choice.Printer.c_str(), nullptr, nullptr);
    if (pd->hDC == nullptr) return FALSE;
  }
  return TRUE;
}

}  // namespace lyrwin
