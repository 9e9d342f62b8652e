// The audit report as reviewers sign it, laid out as lines of a monospaced page: a heading on
// every page with "Page N of M", the records in columns that wrap at spaces, the seal heads of
// the logs, and a signature block that is never split from the end of the report.
#ifndef LYRUTIL_TOOLS_AUDIT_REPORT_H
#define LYRUTIL_TOOLS_AUDIT_REPORT_H

#include <LyrUtil.h>

#include <string>
#include <vector>

// What the heading says, in code page 1252 (the printer's text).
struct ReportHeading {
  std::string installation;
  std::vector<std::string> logs;
  std::string window;   // the time the records span, or the window the filters asked for
  std::string filters;  // "none" when nothing filters
  std::string printedAt;
};

// Lines of `text` no wider than `width`, broken at spaces; a word wider than a line is cut.
std::vector<std::string> WrapAtSpaces(const std::string& text, size_t width);

// The report's pages, each at most `linesPerPage` lines of at most `width` characters. A record's
// lines stay on one page unless the record is longer than a page. `closing` (the seal heads)
// follows the records. Needs a page of at least 40 lines of 60 characters.
std::vector<std::vector<std::string>> LayOutAuditReport(
    const ReportHeading& heading, const std::vector<LOG_ENTRY_STRUCT>& records,
    const std::vector<std::string>& closing, size_t linesPerPage, size_t width);

#endif  // LYRUTIL_TOOLS_AUDIT_REPORT_H
