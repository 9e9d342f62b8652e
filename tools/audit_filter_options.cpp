#include "audit_filter_options.h"

#include "text_encoding.h"
#include "time_text.h"
#include "tool_error.h"

#include <LyrUtil.h>

#include <cstdint>
#include <ctime>
#include <iostream>

namespace {

// A filter matches a record's field only when it fits in it: the log's texts are code page 1252,
// cut to their field. A text that cannot fit, or holds a NUL, could only match another text.
template <size_t N>
void RequireFits(const char* option, const std::string& utf8, const char (&)[N]) {
  if (utf8.empty()) return;
  const std::string text = Utf8ToCp1252(utf8);
  if (text.find('\0') != std::string::npos)
    throw ToolError(std::string(option) + ": holds a NUL character, which no field can");
  if (text.size() > N - 1)
    throw ToolError(std::string(option) + ": " + std::to_string(text.size()) +
                    " characters, but the field holds at most " + std::to_string(N - 1) +
                    ": no record can match");
}

// A typed bound of the time window; a note on standard error when summer time made it ambiguous.
int32_t WindowBound(const char* option, const std::string& text, std::time_t now, TimeBound bound) {
  int32_t seconds;
  std::string note;
  if (!ParseTimeText(text, now, bound, &seconds, &note))
    throw ToolError(std::string(option) + ": cannot read \"" + text + "\"");
  if (!note.empty()) std::cerr << "lyrutil: note: " << option << " " << note << "\n";
  return seconds;
}

std::string NotEmpty(const std::string& text) {
  return text.empty() ? "an empty time matches nothing; leave the option out" : "";
}

}  // namespace

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
  command
      ->add_option(
          "--since", since,
          "from this time: 2026-12-05, \"2026-12-05 14:30\", 14:30, today, yesterday, -2h, "
          "\"2h ago\", 2026-12-05T14:30:00+01:00")
      ->check(NotEmpty);
  command->add_option("--until", until, "up to this time, read as --since")->check(NotEmpty);
}

AuditFilters FilterOptions::Resolved() const {
  const LOG_MASK_STRUCT mask{};
  RequireFits("--user", filters.user, mask.UsrId);
  RequireFits("--author", filters.author, mask.AuthId);
  RequireFits("--system", filters.system, mask.SysId);
  RequireFits("--project", filters.project, mask.PrjId);
  RequireFits("--sample-id", filters.sampleId, mask.SmpId);
  RequireFits("--sample", filters.sample, mask.SmpName);
  RequireFits("--ar", filters.ar, mask.ARName);
  RequireFits("--method", filters.method, mask.MethName);
  RequireFits("--type", filters.type, mask.MethType);
  AuditFilters f = filters;
  const std::time_t now = std::time(nullptr);
  if (!since.empty()) f.since = WindowBound("--since", since, now, TimeBound::kStart);
  if (!until.empty()) f.until = WindowBound("--until", until, now, TimeBound::kEnd);
  return f;
}
