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
void RequireFitsOne(const char* option, const std::string& utf8, size_t N) {
  const std::string text = Utf8ToCp1252(utf8);
  if (text.find('\0') != std::string::npos)
    throw ToolError(std::string(option) + ": holds a NUL character, which no field can");
  if (text.size() > N - 1)
    throw ToolError(std::string(option) + ": " + std::to_string(text.size()) +
                    " characters, but the field holds at most " + std::to_string(N - 1) +
                    ": no record can match");
}

template <size_t N>
void RequireFits(const char* option, const std::vector<std::string>& values, const char (&)[N],
                 FilterScope scope) {
  if (scope == FilterScope::kLibraryMasks && values.size() > 1)
    throw ToolError(std::string(option) +
                    ": the library's filter holds one value; give several to `audit show`");
  for (const std::string& utf8 : values) {
    if (utf8.empty())
      throw ToolError(std::string(option) + ": an empty value; leave the option out");
    RequireFitsOne(option, utf8, N);
  }
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

void FilterOptions::AddTo(CLI::App* command, FilterScope scopeOfCommand) {
  scope = scopeOfCommand;
  const bool review = scope == FilterScope::kReview;
  // Each use of an option takes one value, so that `--user BOB day.log` leaves the log alone.
  const auto text = [&](const char* name, std::vector<std::string>& values, const char* what) {
    command
        ->add_option(
            name, values,
            std::string(what) + (review ? " (whole text, case ignored; repeat for any of several)"
                                        : " (whole text, case ignored)"))
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  };
  text("--user", filters.user, "user id");
  text("--author", filters.author, "author id");
  text("--system", filters.system, "system id");
  text("--project", filters.project, "project id");
  text("--sample-id", filters.sampleId, "sample id");
  text("--sample", filters.sample, "sample name");
  text("--ar", filters.ar, "analysis report name");
  text("--method", filters.method, "method name");
  text("--type", filters.type, "method type");
  if (review) {
    text("--action", filters.action, "what the application reported (the system message)");
    command->add_option("-g,--grep", filters.grep,
                        "only records with a text that matches this extended regular expression");
    command->add_flag("-i,--ignore-case", filters.ignoreCase, "--grep ignores case");
  }
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
  const LOG_ENTRY_STRUCT record{};
  RequireFits("--user", filters.user, mask.UsrId, scope);
  RequireFits("--author", filters.author, mask.AuthId, scope);
  RequireFits("--system", filters.system, mask.SysId, scope);
  RequireFits("--project", filters.project, mask.PrjId, scope);
  RequireFits("--sample-id", filters.sampleId, mask.SmpId, scope);
  RequireFits("--sample", filters.sample, mask.SmpName, scope);
  RequireFits("--ar", filters.ar, mask.ARName, scope);
  RequireFits("--method", filters.method, mask.MethName, scope);
  RequireFits("--type", filters.type, mask.MethType, scope);
  RequireFits("--action", filters.action, record.SysMess, scope);
  AuditFilters f = filters;
  const std::time_t now = std::time(nullptr);
  if (!since.empty()) f.since = WindowBound("--since", since, now, TimeBound::kStart);
  if (!until.empty()) f.until = WindowBound("--until", until, now, TimeBound::kEnd);
  return f;
}
