// lyrutil audit print: the audit report as reviewers sign it, over as many pages as it takes, on
// any printer (the PDF printer, or a print server's queue).
#include "audit_commands.h"
#include "audit_files.h"
#include "audit_filter_options.h"
#include "audit_reader.h"
#include "audit_report.h"
#include "log_seal.h"
#include "printer_pick.h"
#include "text_encoding.h"
#include "time_text.h"
#include "tool_error.h"
#include "tool_runtime.h"

#include <LyrUtil.h>
#include <lyrhost.h>

#include <ctime>
#include <iostream>
#include <memory>
#include <unistd.h>

namespace {

std::string BaseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return path.substr(slash == std::string::npos ? 0 : slash + 1);
}

std::string InstallationText() {
  char host[256] = {};
  if (::gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
  const std::string suite = SuiteFolder();
  return std::string(host[0] ? host : "this computer") + ", suite in " +
         (suite.empty() ? "(not installed)" : suite) + " (" + LyrGetPrefix() + ")";
}

std::string FilterText(const AuditFilters& f) {
  std::string text;
  const std::pair<const char*, const std::vector<std::string>*> lists[] = {
      {"user", &f.user},       {"author", &f.author},      {"system", &f.system},
      {"project", &f.project}, {"sample id", &f.sampleId}, {"sample", &f.sample},
      {"report", &f.ar},       {"method", &f.method},      {"method type", &f.type},
      {"action", &f.action}};
  for (const auto& [name, values] : lists) {
    if (values->empty()) continue;
    text += (text.empty() ? "" : "; ") + std::string(name);
    for (size_t i = 0; i < values->size(); ++i) text += (i == 0 ? " " : " or ") + (*values)[i];
  }
  if (!f.grep.empty())
    text += (text.empty() ? "" : "; ") + std::string("text matching /") + f.grep + "/" +
            (f.ignoreCase ? " (case ignored)" : "");
  return text.empty() ? "none" : text;
}

std::string WindowText(const AuditFilters& f, const std::vector<LOG_ENTRY_STRUCT>& records) {
  if (f.since || f.until)
    return (f.since ? "from " + LocalTimeText(*f.since) : std::string("from the start")) +
           (f.until ? " to " + LocalTimeText(*f.until) : std::string(" to the end"));
  if (records.empty()) return "all records (none)";
  int32_t first = records.front().Time, last = first;
  for (const LOG_ENTRY_STRUCT& r : records) {
    first = std::min(first, r.Time);
    last = std::max(last, r.Time);
  }
  return "all records, " + LocalTimeText(first) + " to " + LocalTimeText(last);
}

// Each log's seal head, for the signed paper to fix how far the log went; a log without a seal
// says so.
std::vector<std::string> SealHeads(const std::vector<std::string>& logs) {
  std::vector<std::string> lines{
      "Seal heads (`lyrutil audit verify LOG --head HEAD` checks that a log still holds them):"};
  for (const std::string& log : logs) {
    std::string head;
    if (HostFileSize(log + ".seal") > 0 && lyrutil::SealHead(DosName(log).c_str(), &head))
      lines.push_back("  " + BaseName(log) + "  " + head);
    else
      lines.push_back("  " + BaseName(log) + "  not sealed");
  }
  return lines;
}

// Draws the pages on the DC as one document named `name`. Throws ToolError, the document
// withdrawn, when a page cannot be drawn; returns what LyrLastDocument names.
std::string PrintPages(HDC dc, const std::vector<std::vector<std::string>>& pages,
                       const TextPage& layout, const std::string& name) {
  DOCINFOA info = {};
  info.cbSize = sizeof info;
  info.lpszDocName = name.c_str();
  if (StartDocA(dc, &info) <= 0)
    throw ToolError("the printer could not start the document: " +
                    ErrorText(LyrLastDocument(nullptr)));
  for (const std::vector<std::string>& page : pages) {
    bool drawn = StartPage(dc) > 0;
    for (size_t i = 0; drawn && i < page.size(); ++i)
      drawn = TextOutA(dc, 0, layout.LineTop(i), page[i].c_str(),
                       static_cast<int>(page[i].size())) != FALSE;
    if (!drawn || EndPage(dc) <= 0) {
      AbortDoc(dc);
      throw ToolError("the report could not be drawn: " + ErrorText(GetLastError()));
    }
  }
  if (EndDoc(dc) <= 0)
    throw ToolError("the report was not printed: " + ErrorText(LyrLastDocument(nullptr)));
  std::string printed;
  const DWORD why = LyrLastDocument(&printed);
  if (why != 0) throw ToolError("the report was not printed: " + ErrorText(why));
  return printed;
}

struct ReportRequest {
  std::vector<std::string> logs;
  FilterOptions options;
  std::string printer;
};

struct ReportPrinted {
  std::string printed;  // the PDF file, or the queue's job
  size_t records = 0;
  size_t pages = 0;
};

ReportPrinted PrintReport(const ReportRequest& request) {
  for (const std::string& log : request.logs) RequireAuditLog(log);
  const AuditFilters filters = request.options.Resolved();
  const std::vector<LOG_ENTRY_STRUCT> records = ReadMerged(request.logs, filters);

  ReportHeading heading;
  heading.installation = Utf8ToCp1252(InstallationText());
  for (const std::string& log : request.logs) heading.logs.push_back(Utf8ToCp1252(log));
  heading.window = WindowText(filters, records);
  heading.filters = Utf8ToCp1252(FilterText(filters));
  heading.printedAt = IsoTimeText(static_cast<int32_t>(std::time(nullptr)));

  PrinterPick pick(request.printer);
  PRINTDLGA dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.Flags = PD_RETURNDC;
  if (!PrintDlgA(&dialog) || dialog.hDC == nullptr)
    pick.ThrowNotStarted(CommDlgExtendedError() == 0 ? ERROR_CANCELLED : GetLastError());
  struct ReleaseDc {
    HDC dc;
    ~ReleaseDc() { DeleteDC(dc); }
  } release{dialog.hDC};
  const TextPage page = TextPageOf(dialog.hDC);
  if (page.lines < 40 || page.columns < 60)
    throw ToolError("the printer's page is too small for the report");
  const auto pages =
      LayOutAuditReport(heading, records, SealHeads(request.logs), page.lines, page.columns);
  return {PrintPages(dialog.hDC, pages, page, "Audit trail report"), records.size(), pages.size()};
}

}  // namespace

std::string PrintAuditReport(const std::vector<std::string>& logs, const std::string& printer) {
  ReportRequest request;
  request.logs = logs;
  request.printer = printer;
  return PrintReport(request).printed;
}

void AddPrint(CLI::App& audit, Action& action) {
  auto* print = audit.add_subcommand(
      "print", "the audit report for signing: headed pages, wrapped columns, seal heads");
  auto request = std::make_shared<ReportRequest>();
  print->add_option("LOG", request->logs, "audit log files (several merge by time)")->required();
  request->options.AddTo(print, FilterScope::kReview);
  print->add_option("--printer", request->printer,
                    "the printer, instead of asking (\"LyrUtil PDF\", or a queue)");
  print->callback([=, &action] {
    action = [=] {
      StartLibrary();
      const ReportPrinted report = PrintReport(*request);
      std::cerr << "lyrutil: " << report.records << (report.records == 1 ? " record" : " records")
                << " on " << report.pages << (report.pages == 1 ? " page" : " pages") << "\n";
      if (!report.printed.empty()) std::cout << report.printed << "\n";
      return 0;
    };
  });
}
