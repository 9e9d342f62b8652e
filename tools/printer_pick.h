// The printer a command prints on: the one named on the command line, or whatever the console
// asks in the print dialog.
#ifndef LYRUTIL_TOOLS_PRINTER_PICK_H
#define LYRUTIL_TOOLS_PRINTER_PICK_H

#include <LyrUtil.h>
#include <lyrhost.h>

#include <string>
#include <vector>

// The host's user interface while a command prints: the print dialog answered with the printer
// named (or asked on the console), everything else passed to the console as before. Installed
// for its lifetime.
class PrinterPick final : public LyrHostUi {
 public:
  explicit PrinterPick(std::string printer);
  ~PrinterPick() override;
  PrinterPick(const PrinterPick&) = delete;
  PrinterPick& operator=(const PrinterPick&) = delete;

  int ShowMessage(const char* text, UINT type, UINT helpId) override;
  int RunDialog(LyrDialog& dialog) override;
  int ChoosePrinter(LyrPrintChoice& choice) override;

  // The printer chosen in the last print dialog; empty before one.
  const std::string& Chosen() const { return chosen_; }

  // Throws the ToolError for a document that could not be started: the printer's error, no
  // printer of that name (with the printers there are), or the dialog cancelled.
  [[noreturn]] void ThrowNotStarted(DWORD why) const;

 private:
  LyrHostUi* console_;
  std::string printer_;
  std::vector<std::string> offered_;
  std::string chosen_;
};

// A page of text as the tool prints it: lines 10 points apart in the 10-point monospaced font,
// whose characters are 6 points wide, inside the printable area the printer reports.
struct TextPage {
  int dotsPerInch = 1;
  size_t lines = 0;
  size_t columns = 0;
  // Where line `i` starts, in dots from the printable area's top.
  int LineTop(size_t i) const { return static_cast<int>(i * 10 * dotsPerInch / 72); }
};
TextPage TextPageOf(HDC printer);
// The same for the printer named; throws ToolError when it cannot be reached.
TextPage TextPageOf(const std::string& printer);

#endif  // LYRUTIL_TOOLS_PRINTER_PICK_H
