// The host seam, Linux only.
//
// On Windows the host application owns its string resources, its message boxes, its dialogs and
// the print dialog. On Linux a host hands them to the stand-in through this header: a string
// table, a user interface object, and the installation folder that plays the part of the Windows
// machine (the prefix). The test hooks at the end let tests provoke failures that are hard to
// provoke otherwise.
#ifndef LYRWIN_LYRHOST_H
#define LYRWIN_LYRHOST_H

#include <windows.h>

#include <map>
#include <string>
#include <vector>

// --- The host's string table ------------------------------------------------------------------

LYRWIN_API void LyrSetHostString(UINT id, const char* text);
LYRWIN_API void LyrClearHostStrings();
// Loads lines "ID<TAB>text" (escapes \n \t \\) into the table. FALSE when the file cannot be
// read; lines that are not of that form are skipped.
LYRWIN_API BOOL LyrLoadHostStrings(const char* hostPath);
// The text of string `id`; FALSE and an empty text when the table has none.
LYRWIN_API BOOL LyrGetHostString(UINT id, std::string* text);

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

// What the user sees. Every call comes from the thread that shows the message or dialog.
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

// Installs the host's user interface; nullptr restores the console UI, which writes messages to
// standard error, asks on the terminal when standard input is one, and otherwise answers with the
// box's default button (the default printer, for the print dialog). The stand-in does not take
// ownership.
LYRWIN_API void LyrSetHostUi(LyrHostUi* ui);
LYRWIN_API LyrHostUi* LyrGetHostUi();

// --- The installation (prefix) ----------------------------------------------------------------

// Switches the process to the installation in `hostDir`, creating it when missing: drive C: on
// its drive_c folder, drive Z: on the host's root, the Windows directory C:\windows and an empty
// registry. Without a call the prefix is $LYRUTIL_PREFIX, or ~/.lyrutil. FALSE when the folder
// cannot be made.
LYRWIN_API BOOL LyrSetPrefix(const char* hostDir);
// The host folder of the prefix in use (made on first use).
LYRWIN_API std::string LyrGetPrefix();
// Maps a DOS path to the host path it names (matching components without regard to case, as
// Windows does). FALSE, with the Win32 error in GetLastError, when the path cannot be mapped.
LYRWIN_API BOOL LyrDosToHostPath(const char* dosPath, std::string* hostPath);

// --- Test hooks -------------------------------------------------------------------------------

// The next `count` global memory allocations (GlobalAlloc, growing GlobalReAlloc) fail with
// ERROR_NOT_ENOUGH_MEMORY. 0 ends the failures.
LYRWIN_API void LyrFailGlobalAllocs(int count);
// How many ReadFile calls the process has made so far (for measuring readers).
LYRWIN_API unsigned long long LyrFileReadCount();

#endif  // LYRWIN_LYRHOST_H
