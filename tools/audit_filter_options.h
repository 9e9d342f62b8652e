// The filter options that `audit show`, `export` and `extract` share, and their time texts.
#ifndef LYRUTIL_TOOLS_AUDIT_FILTER_OPTIONS_H
#define LYRUTIL_TOOLS_AUDIT_FILTER_OPTIONS_H

#include "audit_reader.h"

#include <CLI/CLI.hpp>

#include <string>

struct FilterOptions {
  AuditFilters filters;
  std::string since, until;

  // Adds --user, --author, ... --since and --until to `command`.
  void AddTo(CLI::App* command);
  // The filters with the time texts read; throws ToolError for a time it cannot read.
  AuditFilters Resolved() const;
};

#endif  // LYRUTIL_TOOLS_AUDIT_FILTER_OPTIONS_H
