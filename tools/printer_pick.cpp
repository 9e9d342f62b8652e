#include "printer_pick.h"

#include "audit_reader.h"
#include "tool_error.h"

PrinterPick::PrinterPick(std::string printer)
    : console_(LyrGetHostUi()), printer_(std::move(printer)) {
  LyrSetHostUi(this);
}

PrinterPick::~PrinterPick() {
  LyrSetHostUi(console_);
}

int PrinterPick::ShowMessage(const char* text, UINT type, UINT helpId) {
  return console_->ShowMessage(text, type, helpId);
}

int PrinterPick::RunDialog(LyrDialog& dialog) {
  return console_->RunDialog(dialog);
}

int PrinterPick::ChoosePrinter(LyrPrintChoice& choice) {
  offered_ = choice.Printers;
  if (printer_.empty()) return console_->ChoosePrinter(choice);
  for (const std::string& name : choice.Printers) {
    if (name == printer_) {
      choice.Printer = name;
      return IDOK;
    }
  }
  return IDCANCEL;
}

void PrinterPick::ThrowNotStarted(DWORD why) const {
  if (why != ERROR_NOT_FOUND && why != ERROR_CANCELLED && why != 0)
    throw ToolError("the printer could not start the document: " + ErrorText(why));
  if (!printer_.empty() && !offered_.empty()) {
    std::string names;
    for (const std::string& name : offered_) names += (names.empty() ? "" : ", ") + name;
    throw ToolError("no printer named \"" + printer_ + "\" (printers: " + names + ")");
  }
  throw ToolError("printing cancelled");
}
