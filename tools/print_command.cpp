// lyrutil print: a text file as one page through CUtilPrintManager, as a suite application prints
// its one-page reports; the printer is picked in the print dialog (or named with --printer).
#include "audit_files.h"
#include "audit_reader.h"
#include "commands.h"
#include "log_seal.h"
#include "printer_pick.h"
#include "text_encoding.h"
#include "tool_error.h"
#include "tool_runtime.h"

#include <LyrUtil.h>
#include <lyrhost.h>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>

namespace {

std::string ReadText(const std::string& hostPath) {
  RequireReadableFile(hostPath);
  std::ifstream file(hostPath, std::ios::binary);
  if (!file) throw ToolError(hostPath + ": cannot be read");
  std::stringstream in;
  in << file.rdbuf();
  if (file.bad()) throw ToolError(hostPath + ": cannot be read to its end");
  return in.str();
}

// The page's lines of the text in code page 1252, tabs expanded to columns of eight, line ends
// dropped, lines wider than the page continued on the next, and NUL bytes printed as blanks (the
// printer takes NUL-ended text). Only the lines that fit are kept; `total` counts them all.
std::vector<std::string> PageLines(const std::string& text, const TextPage& page, size_t* total) {
  std::istringstream in(text);
  std::vector<std::string> lines;
  *total = 0;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string expanded;
    for (char c : Utf8ToCp1252(line)) {
      if (c == '\t')
        expanded.append(8 - expanded.size() % 8, ' ');
      else
        expanded += c == '\0' ? ' ' : c;
    }
    do {
      if (lines.size() < page.lines) lines.push_back(expanded.substr(0, page.columns));
      ++*total;
      expanded.erase(0, std::min(expanded.size(), page.columns));
    } while (!expanded.empty());
  }
  return lines;
}

}  // namespace

// The heads of sealed logs, for the signed page to fix their state (`verify --head`).
std::string SealHeadLines(const std::vector<std::string>& logs) {
  std::string text;
  for (const std::string& log : logs) {
    RequireAuditLog(log);
    std::string head;
    if (!lyrutil::SealHead(DosName(log).c_str(), &head))
      throw ToolError(log + ": no readable seal file beside it");
    const size_t slash = log.rfind('/');
    text += "\nSeal head of " + log.substr(slash == std::string::npos ? 0 : slash + 1) + ":\n" +
            head + "\n";
  }
  return text;
}

std::string PrintTextPage(const std::string& file, const std::string& printer,
                          const std::vector<std::string>& sealedLogs) {
  const std::string text = ReadText(file) + SealHeadLines(sealedLogs);
  StartLibrary();
  PrinterPick pick(printer);
  CWnd window;  // the print dialog's parent
  CUtilPrintManager manager(&window);
  if (manager.OpenPrintSession() != 1) pick.ThrowNotStarted(LyrLastDocument(nullptr));
  // The page the chosen printer has (a queue's paper may not be A4).
  const TextPage page = TextPageOf(pick.Chosen());
  size_t total = 0;
  std::vector<std::string> lines = PageLines(text, page, &total);
  for (size_t i = 0; i < lines.size(); ++i)
    manager.PrintString(lines[i].data(), 0, page.LineTop(i));
  manager.ClosePrintSession();
  // The print manager does not look at EndDoc's result; the document's fate is asked here.
  std::string printed;
  const DWORD why = LyrLastDocument(&printed);
  if (why != 0) throw ToolError("the document was not printed: " + ErrorText(why));
  if (total > lines.size())
    std::cerr << "lyrutil: only the first " << lines.size() << " of " << total
              << " lines fit on the page\n";
  return printed;
}

void AddPrintCommand(CLI::App& app, Action& action) {
  auto file = std::make_shared<std::string>();
  auto printer = std::make_shared<std::string>();
  auto* print = app.add_subcommand(
      "print", "a text file as one page (lines 10 points apart), through the print dialog");
  print->add_option("FILE", *file, "the text file (UTF-8)")->required();
  print->add_option("--printer", *printer, "the printer, instead of asking (\"LyrUtil PDF\")");
  auto heads = std::make_shared<std::vector<std::string>>();
  print
      ->add_option("--seal-head", *heads,
                   "a sealed audit log whose head goes at the page's end (repeat for several)")
      ->expected(1)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  print->callback([=, &action] {
    action = [=] {
      StartLibrary();
      const std::string pdf = PrintTextPage(*file, *printer, *heads);
      if (!pdf.empty()) std::cout << pdf << "\n";
      return 0;
    };
  });
}
