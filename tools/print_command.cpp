// lyrutil print: a text file as one page through CUtilPrintManager, as a suite application prints
// its one-page reports; the printer is picked in the print dialog (or named with --printer).
#include "audit_files.h"
#include "commands.h"
#include "text_encoding.h"
#include "tool_error.h"

#include <LyrUtil.h>
#include <lyrhost.h>

#include <dirent.h>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>

namespace {

// The page as the printer sees it: 600 dots per inch, lines 10 points apart, a monospaced
// 10-point font 6 points a character, inside the printable area of an A4 sheet.
constexpr int kDotsPerInch = 600;
constexpr int kPrintableHeight = 7016 - 300;
constexpr int kPrintableWidth = 4961 - 300;
constexpr int kCharacterDots = 6 * kDotsPerInch / 72;
constexpr size_t kLinesPerPage = kPrintableHeight * 72 / (10 * kDotsPerInch);
constexpr size_t kCharactersPerLine = kPrintableWidth / kCharacterDots;

// The host's user interface for this one dialog: the printer named on the command line, or
// whatever the console asks. Everything else goes to the console as before.
class PrinterPick final : public LyrHostUi {
 public:
  PrinterPick(LyrHostUi* console, std::string printer)
      : console_(console), printer_(std::move(printer)) {}
  int ShowMessage(const char* text, UINT type, UINT helpId) override {
    return console_->ShowMessage(text, type, helpId);
  }
  int RunDialog(LyrDialog& dialog) override { return console_->RunDialog(dialog); }
  int ChoosePrinter(LyrPrintChoice& choice) override {
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
  const std::vector<std::string>& Offered() const { return offered_; }

 private:
  LyrHostUi* console_;
  std::string printer_;
  std::vector<std::string> offered_;
};

// The file's lines in code page 1252, tabs expanded to columns of eight, line ends dropped, and
// lines wider than the page continued on the next.
std::vector<std::string> PageLines(const std::string& hostPath) {
  RequireReadableFile(hostPath);
  std::ifstream in(hostPath, std::ios::binary);
  if (!in) throw ToolError(hostPath + ": cannot be read");
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string expanded;
    for (char c : Utf8ToCp1252(line)) {
      if (c == '\t')
        expanded.append(8 - expanded.size() % 8, ' ');
      else
        expanded += c;
    }
    do {
      lines.push_back(expanded.substr(0, kCharactersPerLine));
      expanded.erase(0, kCharactersPerLine);
    } while (!expanded.empty());
  }
  return lines;
}

// The numbered PDF files in the installation's printed/ folder.
std::vector<std::string> PrintedFiles() {
  std::vector<std::string> names;
  if (DIR* dir = ::opendir((LyrGetPrefix() + "/printed").c_str())) {
    while (const dirent* entry = ::readdir(dir))
      if (entry->d_name[0] != '.') names.push_back(entry->d_name);
    ::closedir(dir);
  }
  return names;
}

}  // namespace

std::string PrintTextPage(const std::string& file, const std::string& printer) {
  std::vector<std::string> lines = PageLines(file);
  StartLibrary();
  LyrHostUi* console = LyrGetHostUi();
  PrinterPick pick(console, printer);
  LyrSetHostUi(&pick);
  struct Restore {
    LyrHostUi* ui;
    ~Restore() { LyrSetHostUi(ui); }
  } restore{console};
  const std::vector<std::string> before = PrintedFiles();
  CWnd window;  // the print dialog's parent
  CUtilPrintManager manager(&window);
  if (manager.OpenPrintSession() != 1) {
    if (!printer.empty() && !pick.Offered().empty()) {
      std::string names;
      for (const std::string& name : pick.Offered()) names += (names.empty() ? "" : ", ") + name;
      throw ToolError("no printer named \"" + printer + "\" (printers: " + names + ")");
    }
    throw ToolError(pick.Offered().empty() ? "the printer could not start the document"
                                           : "printing cancelled");
  }
  const size_t printed = std::min(lines.size(), kLinesPerPage);
  for (size_t i = 0; i < printed; ++i)
    manager.PrintString(lines[i].data(), 0, static_cast<int>(i * 10 * kDotsPerInch / 72));
  manager.ClosePrintSession();
  if (lines.size() > printed)
    std::cerr << "lyrutil: only the first " << printed << " of " << lines.size()
              << " lines fit on the page\n";
  for (const std::string& name : PrintedFiles())
    if (std::find(before.begin(), before.end(), name) == before.end())
      return LyrGetPrefix() + "/printed/" + name;
  return std::string();  // a printer that keeps no file
}

void AddPrintCommand(CLI::App& app, Action& action) {
  auto file = std::make_shared<std::string>();
  auto printer = std::make_shared<std::string>();
  auto* print = app.add_subcommand(
      "print", "a text file as one page (lines 10 points apart), through the print dialog");
  print->add_option("FILE", *file, "the text file (UTF-8)")->required();
  print->add_option("--printer", *printer, "the printer, instead of asking (\"LyrUtil PDF\")");
  print->callback([=, &action] {
    action = [=] {
      const std::string pdf = PrintTextPage(*file, *printer);
      if (!pdf.empty()) std::cout << pdf << "\n";
      return 0;
    };
  });
}
