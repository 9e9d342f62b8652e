#include "audit_filter_options.h"

#include "time_text.h"
#include "tool_error.h"

#include <cstdint>
#include <ctime>

void FilterOptions::AddTo(CLI::App* command) {
  command->add_option("--user", filters.user, "user id (whole text, case ignored)");
  command->add_option("--author", filters.author, "author id");
  command->add_option("--system", filters.system, "system id");
  command->add_option("--project", filters.project, "project id");
  command->add_option("--sample-id", filters.sampleId, "sample id");
  command->add_option("--sample", filters.sample, "sample name");
  command->add_option("--ar", filters.ar, "analysis report name");
  command->add_option("--method", filters.method, "method name");
  command->add_option("--type", filters.type, "method type");
  command->add_option("--since", since,
                      "from this time: 2026-12-05, \"2026-12-05 14:30\", today, yesterday, -2h");
  command->add_option("--until", until, "up to this time, read as --since");
}

AuditFilters FilterOptions::Resolved() const {
  AuditFilters f = filters;
  std::time_t now = std::time(nullptr);
  int32_t t;
  if (!since.empty()) {
    if (!ParseTimeText(since, now, &t)) throw ToolError("--since: cannot read \"" + since + "\"");
    f.since = t;
  }
  if (!until.empty()) {
    if (!ParseTimeText(until, now, &t)) throw ToolError("--until: cannot read \"" + until + "\"");
    f.until = t;
  }
  return f;
}
