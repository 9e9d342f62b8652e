// Which audit records a review shows: the same test for records read from a log's start, from
// its end, and while following it.
#ifndef LYRUTIL_TOOLS_RECORD_FILTER_H
#define LYRUTIL_TOOLS_RECORD_FILTER_H

#include <LyrUtil.h>

#include <cstdint>
#include <optional>
#include <regex>
#include <string>
#include <vector>

// Each text filter is a list of values in UTF-8 as typed: a record passes with any one of them
// (whole text, case ignored, as the library's masks compare). An empty list is no filter.
// `action` is the system message, what the application reported ("Sample injected").
struct AuditFilters {
  std::vector<std::string> user, author, system, project, sampleId, sample, ar, method, type,
      action;
  std::optional<int32_t> since, until;
  std::string grep;         // an extended regular expression searched in every text
  bool ignoreCase = false;  // for grep
};

class RecordFilter {
 public:
  // Throws ToolError for a grep pattern that is not a regular expression.
  explicit RecordFilter(const AuditFilters& filters);

  // The time window is tested on every record, wherever it is stored: an entry that waited in
  // the backlog is stored after later ones and still belongs to its own time.
  bool Passes(const LOG_ENTRY_STRUCT& record) const;

 private:
  struct Field {
    size_t offset;                    // of the text inside the record
    size_t size;                      // of the field
    std::vector<std::string> values;  // code page 1252
  };
  std::vector<Field> fields_;  // only the fields that filter
  std::optional<int32_t> since_, until_;
  std::optional<std::regex> grep_;
};

#endif  // LYRUTIL_TOOLS_RECORD_FILTER_H
