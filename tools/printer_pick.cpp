#include "printer_pick.h"

#include "audit_reader.h"
#include "tool_error.h"

#include <algorithm>

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
  chosen_.clear();
  if (printer_.empty()) {
    const int answer = console_->ChoosePrinter(choice);
    if (answer == IDOK) chosen_ = choice.Printer;
    return answer;
  }
  for (const std::string& name : choice.Printers) {
    if (name == printer_) {
      choice.Printer = chosen_ = name;
      return IDOK;
    }
  }
  return IDCANCEL;
}

TextPage TextPageOf(HDC printer) {
  TextPage page;
  page.dotsPerInch = std::max(1, GetDeviceCaps(printer, LOGPIXELSY));
  page.lines = static_cast<size_t>(
      std::max(0, GetDeviceCaps(printer, VERTRES) * 72 / (10 * page.dotsPerInch)));
  const int characterDots = std::max(1, GetDeviceCaps(printer, LOGPIXELSX) * 6 / 72);
  page.columns = static_cast<size_t>(std::max(0, GetDeviceCaps(printer, HORZRES) / characterDots));
  return page;
}

TextPage TextPageOf(const std::string& printer) {
  HDC dc = CreateDCA(nullptr, printer.c_str(), nullptr, nullptr);
  if (dc == nullptr) throw ToolError(printer + ": " + ErrorText(GetLastError()));
  const TextPage page = TextPageOf(dc);
  DeleteDC(dc);
  return page;
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
