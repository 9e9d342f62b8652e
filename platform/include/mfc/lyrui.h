// The user interface of the MFC subset's message boxes and dialogs, as an object a program can
// install. On Linux it is the host's user interface (the stand-in draws nothing). On Windows it
// is a hook in front of the real message boxes and dialogs: a test installs one to answer them
// without a screen, and a program that installs none gets the real ones.
#ifndef LYRWIN_LYRUI_H
#define LYRWIN_LYRUI_H

#include <windows.h>

#include <lyrwin_api.h>

#include <map>
#include <string>
#include <vector>

// --- Dialogs ----------------------------------------------------------------------------------

// A modal dialog as the user sees it: the template it was made from and its controls' texts and
// states. The library's dialog classes fill one, hand it to the host's RunDialog, and read the
// controls back when the user closes it with OK. Not thread-safe: it belongs to the thread that
// runs the dialog.
class LYRWIN_API LyrDialog {
 public:
  explicit LyrDialog(UINT templateId) : templateId_(templateId) {}

  UINT TemplateId() const { return templateId_; }
  std::string Text(int controlId) const;
  bool Enabled(int controlId) const;
  size_t TypingLimit(int controlId) const;  // characters; 0 when none is set
  // A user selects all of the control's text and types: the text is replaced, cut to the
  // control's typing limit. Typing into a disabled or unknown control changes nothing.
  void Type(int controlId, const std::string& text);

  // Used by the dialog classes to lay out their controls; each makes the control when missing.
  void SetText(int controlId, const std::string& text);  // not cut: the limit is for typing
  void SetEnabled(int controlId, bool enabled);
  void SetTypingLimit(int controlId, size_t limit);
  bool HasControl(int controlId) const { return controls_.count(controlId) != 0; }
  // The controls' IDs, in ascending order.
  std::vector<int> ControlIds() const;

 private:
  struct Control {
    std::string text;
    bool enabled = true;
    size_t limit = 0;  // characters; 0 means no limit
  };
  UINT templateId_;
  std::map<int, Control> controls_;
};

// --- The user interface -----------------------------------------------------------------------

// The print dialog's question: which printer. `Printers` lists those offered, the default first;
// `Printer` comes in as the default and goes out as the user's pick.
struct LyrPrintChoice {
  std::vector<std::string> Printers;
  std::string Printer;
};

// What the user sees. Every call comes from the thread that shows the message or dialog. On
// Windows the message boxes (AfxMessageBox), the dialogs (CDialog::DoModal) and the print dialog
// (CPrintDialog::DoModal) go through it while one is installed; beeps and the foreground window
// are Win32's own there (MessageBeep, SetForegroundWindow) and never reach it.
struct LYRWIN_API LyrHostUi {
  virtual ~LyrHostUi() = default;
  virtual int ShowMessage(const char* text, UINT type, UINT helpId) = 0;  // IDOK, IDYES, IDNO, ...
  virtual void Beep(UINT type) { (void)type; }
  virtual HWND ForegroundWindow() { return nullptr; }
  virtual BOOL SetForeground(HWND window) {
    (void)window;
    return TRUE;
  }
  virtual int RunDialog(LyrDialog& dialog) = 0;  // IDOK or IDCANCEL
  // The print dialog: IDOK with the pick in choice.Printer, or IDCANCEL. By default the default
  // printer is taken without asking.
  virtual int ChoosePrinter(LyrPrintChoice& choice) {
    (void)choice;
    return IDOK;
  }
};

// Installs the host's user interface; the library does not take ownership. With nullptr, on Linux
// the console UI answers, which writes messages to standard error, asks on the terminal when
// standard input is one, and otherwise answers with the box's default button (the default
// printer, for the print dialog); on Windows the real message boxes and dialogs are shown.
// LyrGetHostUi returns the console UI on Linux when none is installed, nullptr on Windows.
LYRWIN_API void LyrSetHostUi(LyrHostUi* ui);
LYRWIN_API LyrHostUi* LyrGetHostUi();

#endif  // LYRWIN_LYRUI_H
