// The filter options that `audit show`, `export` and `extract` share, and their time texts.
#ifndef LYRUTIL_TOOLS_AUDIT_FILTER_OPTIONS_H
#define LYRUTIL_TOOLS_AUDIT_FILTER_OPTIONS_H

#include "record_filter.h"

#include <CLI/CLI.hpp>

#include <string>

// A review (`show`) filters in the tool: several values for one filter, --action, --grep. The
// export and the extract filter through the library's masks: one value each, no action or grep.
enum class FilterScope { kReview, kLibraryMasks };

struct FilterOptions {
  AuditFilters filters;
  std::string since, until;
  FilterScope scope = FilterScope::kReview;

  // Adds --user, --author, ... --since and --until to `command`.
  void AddTo(CLI::App* command, FilterScope scope);
  // The filters with the time texts read; throws ToolError for a time it cannot read, and for a
  // value that no record could match.
  AuditFilters Resolved() const;
};

#endif  // LYRUTIL_TOOLS_AUDIT_FILTER_OPTIONS_H
