#include "audit_report.h"

#include "audit_output.h"
#include "text_encoding.h"
#include "time_text.h"

#include <algorithm>

namespace {

// The columns of a record; the event column takes what the others leave.
constexpr size_t kTimeWidth = 19;  // "2026-12-05 14:30:15"
constexpr size_t kUserWidth = 10;
constexpr size_t kSystemWidth = 8;
constexpr size_t kSampleWidth = 12;
constexpr size_t kGaps = 4;

// A field as the page shows it: control characters (a line feed, C1 controls) as blanks, so that
// no text of a record can start a line of its own.
std::string Printable(FieldText field) {
  std::string text = field.str();
  for (char& c : text) {
    const uint32_t cp = Cp1252CodePoint(static_cast<unsigned char>(c));
    if (cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp <= 0x9F)) c = ' ';
  }
  return text;
}

std::string Padded(std::string text, size_t width) {
  text.resize(width, ' ');
  return text;
}

// The lines of `label` followed by `text`, wrapped, with the label's width indenting the rest.
void AddLabelled(const std::string& label, const std::string& text, size_t width,
                 std::vector<std::string>* lines) {
  const std::vector<std::string> wrapped = WrapAtSpaces(text, width - label.size());
  for (size_t i = 0; i < wrapped.size(); ++i)
    lines->push_back((i == 0 ? label : std::string(label.size(), ' ')) + wrapped[i]);
}

// The event column: the system's message, then every other text the record holds, labelled, so
// that what the reviewer signs holds all of the record (an author or sample name that repeats
// the user or the sample id is not said twice).
std::vector<std::string> EventLines(const LOG_ENTRY_STRUCT& r, size_t width) {
  std::vector<std::string> lines;
  if (FieldOf(r.SysMess).size != 0) lines = WrapAtSpaces(Printable(FieldOf(r.SysMess)), width);
  const auto same = [](FieldText a, FieldText b) {
    return a.size == b.size && std::equal(a.text, a.text + a.size, b.text);
  };
  const std::pair<const char*, FieldText> details[] = {
      {"Comment: ", FieldOf(r.UsrMess)},
      {"Author: ",
       same(FieldOf(r.AuthId), FieldOf(r.UsrId)) ? FieldText{"", 0} : FieldOf(r.AuthId)},
      {"Project: ", FieldOf(r.PrjId)},
      {"Sample name: ",
       same(FieldOf(r.SmpName), FieldOf(r.SmpId)) ? FieldText{"", 0} : FieldOf(r.SmpName)},
      {"Method: ", FieldOf(r.MethName)},
      {"Method type: ", FieldOf(r.MethType)},
      {"Analysis report: ", FieldOf(r.ARName)}};
  std::string more;
  for (const auto& [label, field] : details)
    if (field.size != 0) more += (more.empty() ? "" : "; ") + (label + Printable(field));
  if (!more.empty()) {
    const std::vector<std::string> wrapped = WrapAtSpaces(more, width);
    lines.insert(lines.end(), wrapped.begin(), wrapped.end());
  }
  return lines;
}

std::vector<std::string> RecordLines(const LOG_ENTRY_STRUCT& r, size_t width) {
  const size_t eventWidth = width - kTimeWidth - kUserWidth - kSystemWidth - kSampleWidth - kGaps;
  const std::vector<std::string> columns[] = {
      {LocalTimeText(r.Time)},
      WrapAtSpaces(Printable(FieldOf(r.UsrId)), kUserWidth),
      WrapAtSpaces(Printable(FieldOf(r.SysId)), kSystemWidth),
      WrapAtSpaces(Printable(FieldOf(r.SmpId)), kSampleWidth),
      EventLines(r, eventWidth)};
  const size_t widths[] = {kTimeWidth, kUserWidth, kSystemWidth, kSampleWidth, eventWidth};
  size_t height = 1;
  for (const auto& column : columns) height = std::max(height, column.size());
  std::vector<std::string> lines;
  for (size_t i = 0; i < height; ++i) {
    std::string line;
    for (size_t c = 0; c < 5; ++c)
      line += Padded(i < columns[c].size() ? columns[c][i] : "", widths[c]) + (c < 4 ? " " : "");
    line.erase(line.find_last_not_of(' ') + 1);
    lines.push_back(line);
  }
  return lines;
}

// The heading's labelled fields. One that would take more than two lines (many logs, many
// filter values) is given in full at the start of the report instead, so that the heading leaves
// a page room for records.
using Fields = std::vector<std::pair<std::string, std::string>>;

Fields HeadingFields(const ReportHeading& h) {
  std::string logs;
  for (const std::string& log : h.logs) logs += (logs.empty() ? "" : ", ") + log;
  return {{"Installation: ", h.installation},
          {"Logs: ", logs},
          {"Time window: ", h.window},
          {"Filters: ", h.filters},
          {"Printed: ", h.printedAt}};
}

constexpr size_t kHeadingFieldLines = 2;

bool TooLongForHeading(const std::pair<std::string, std::string>& field, size_t width) {
  return WrapAtSpaces(field.second, width - field.first.size()).size() > kHeadingFieldLines;
}

std::vector<std::string> Heading(const Fields& fields, size_t page, size_t pages, size_t width) {
  std::vector<std::string> lines;
  const std::string title = "AUDIT TRAIL REPORT";
  const std::string number = "Page " + std::to_string(page) + " of " + std::to_string(pages);
  lines.push_back(title + std::string(width - title.size() - number.size(), ' ') + number);
  for (const auto& [label, text] : fields)
    AddLabelled(label, TooLongForHeading({label, text}, width) ? "in full on page 1" : text, width,
                &lines);
  lines.push_back(std::string(width, '='));
  const std::string columns = Padded("Time", kTimeWidth) + " " + Padded("User", kUserWidth) + " " +
                              Padded("System", kSystemWidth) + " " +
                              Padded("Sample", kSampleWidth) + " Event";
  lines.push_back(columns);
  lines.push_back(std::string(width, '-'));
  return lines;
}

std::vector<std::string> SignatureBlock(size_t records) {
  return {"",
          std::to_string(records) + (records == 1 ? " record." : " records.") + " End of report.",
          "",
          "Reviewed by: ______________________________   Date: ________________",
          "",
          "",
          "Signature:   ______________________________"};
}

// The body, in blocks that a page break does not split (unless one is longer than a page).
std::vector<std::vector<std::string>> Blocks(const Fields& fields,
                                             const std::vector<LOG_ENTRY_STRUCT>& records,
                                             const std::vector<std::string>& closing,
                                             size_t width) {
  std::vector<std::vector<std::string>> blocks;
  for (const auto& field : fields) {
    if (!TooLongForHeading(field, width)) continue;
    std::vector<std::string> block;
    AddLabelled(field.first, field.second, width, &block);
    block.push_back("");
    blocks.push_back(block);
  }
  for (const LOG_ENTRY_STRUCT& r : records) blocks.push_back(RecordLines(r, width));
  if (records.empty()) blocks.push_back({"No record passes the filters."});
  if (!closing.empty()) {
    std::vector<std::string> block{""};
    for (const std::string& line : closing) AddLabelled("", line, width, &block);
    blocks.push_back(block);
  }
  blocks.push_back(SignatureBlock(records.size()));
  return blocks;
}

}  // namespace

std::vector<std::string> WrapAtSpaces(const std::string& text, size_t width) {
  std::vector<std::string> lines;
  size_t at = text.find_first_not_of(' ');
  while (at != std::string::npos) {
    size_t end = std::min(text.size(), at + width);
    if (end < text.size()) {
      const size_t space = text.rfind(' ', end);
      if (space != std::string::npos && space > at) end = space;  // else cut the long word
    }
    std::string line = text.substr(at, end - at);
    line.erase(line.find_last_not_of(' ') + 1);
    lines.push_back(line);
    at = text.find_first_not_of(' ', end);
  }
  if (lines.empty()) lines.push_back("");
  return lines;
}

std::vector<std::vector<std::string>> LayOutAuditReport(
    const ReportHeading& heading, const std::vector<LOG_ENTRY_STRUCT>& records,
    const std::vector<std::string>& closing, size_t linesPerPage, size_t width) {
  // The heading's height does not depend on the page number's width (it sits on the title line),
  // so pages can be filled before their count is known, then headed.
  const Fields fields = HeadingFields(heading);
  const size_t headingHeight = Heading(fields, 1, 1, width).size();
  const size_t room = linesPerPage - headingHeight;
  std::vector<std::vector<std::string>> bodies(1);
  for (const std::vector<std::string>& block : Blocks(fields, records, closing, width)) {
    if (bodies.back().size() + block.size() > room && !bodies.back().empty() &&
        block.size() <= room)
      bodies.emplace_back();
    for (const std::string& line : block) {
      if (bodies.back().size() == room) bodies.emplace_back();
      bodies.back().push_back(line);
    }
  }
  std::vector<std::vector<std::string>> pages;
  for (size_t p = 0; p < bodies.size(); ++p) {
    std::vector<std::string> page = Heading(fields, p + 1, bodies.size(), width);
    page.insert(page.end(), bodies[p].begin(), bodies[p].end());
    pages.push_back(std::move(page));
  }
  return pages;
}
