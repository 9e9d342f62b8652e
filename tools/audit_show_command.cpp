// lyrutil audit show: the records of one or more logs, merged by time, in pages or followed.
#include "audit_commands.h"
#include "audit_files.h"
#include "audit_filter_options.h"
#include "audit_output.h"
#include "audit_reader.h"
#include "text_encoding.h"
#include "tool_error.h"
#include "tool_runtime.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
#include <iostream>
#include <memory>
#include <thread>

namespace {

bool FieldMatches(const char* field, const std::string& mask) {
  return mask.empty() || lstrcmpiA(field, Utf8ToCp1252(mask).c_str()) == 0;
}

// The same test as the library's navigation, for records that arrive while following a log.
bool Matches(const LOG_ENTRY_STRUCT& r, const AuditFilters& f) {
  if (f.since && r.Time < *f.since) return false;
  if (f.until && r.Time > *f.until) return false;
  return FieldMatches(r.UsrId, f.user) && FieldMatches(r.AuthId, f.author) &&
         FieldMatches(r.SysId, f.system) && FieldMatches(r.PrjId, f.project) &&
         FieldMatches(r.SmpId, f.sampleId) && FieldMatches(r.SmpName, f.sample) &&
         FieldMatches(r.ARName, f.ar) && FieldMatches(r.MethName, f.method) &&
         FieldMatches(r.MethType, f.type);
}

// The records each log holds, where following starts.
std::vector<off_t> RecordCounts(const std::vector<std::string>& logs) {
  std::vector<off_t> counts;
  for (const std::string& log : logs) counts.push_back(RecordsInLog(log));
  return counts;
}

// Prints records appended to the logs from `seen` on, until the process is interrupted. The
// counts are taken before the records already there are shown, so that nothing appended in
// between is missed (such a record may show twice; none is lost).
[[noreturn]] void Follow(const std::vector<std::string>& logs, const AuditFilters& filters,
                         OutputFormat format, std::vector<off_t> seen) {
  for (;;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    for (size_t i = 0; i < logs.size(); ++i) {
      const off_t size = HostFileSize(logs[i]);
      if (size == seen[i] * static_cast<off_t>(sizeof(LOG_ENTRY_STRUCT))) continue;
      std::string bytes = ReadWholeFile(logs[i]);
      // What was read counts, not what stat said before: the log may have changed in between.
      const off_t records = static_cast<off_t>(bytes.size() / sizeof(LOG_ENTRY_STRUCT));
      if (records < seen[i]) {
        std::cerr << "lyrutil: " << logs[i] << ": truncated; following from its new end\n";
        seen[i] = records;
        continue;
      }
      for (off_t k = seen[i]; k < records; ++k) {
        LOG_ENTRY_STRUCT r;
        std::memcpy(&r, bytes.data() + k * sizeof r, sizeof r);
        if (Matches(r, filters)) WriteRecordLine(r, format, std::cout);
      }
      FlushStandardOutput();
      seen[i] = records;
    }
  }
}

}  // namespace

void AddShow(CLI::App& audit, Action& action) {
  auto* show = audit.add_subcommand("show", "the records that pass the filters, one line each");
  auto logs = std::make_shared<std::vector<std::string>>();
  auto options = std::make_shared<FilterOptions>();
  auto last = std::make_shared<int>(-1);
  auto reverse = std::make_shared<bool>(false);
  auto follow = std::make_shared<bool>(false);
  auto format = std::make_shared<std::string>("text");
  show->add_option("LOG", *logs, "audit log files (several merge by time)")->required();
  options->AddTo(show);
  show->add_option("-n,--lines", *last, "only the last N records")->check([](const std::string& n) {
    return !n.empty() && n[0] == '-' ? "a count of records is 0 or more" : "";
  });
  show->add_flag("-r,--reverse", *reverse, "newest first");
  show->add_flag("-f,--follow", *follow, "then print new records as they are appended");
  show->add_option("-o,--output", *format,
                   "text, short-iso (the time with its zone offset), csv, json or jsonl");
  show->callback([=, &action] {
    action = [=] {
      StartLibrary();
      OutputFormat out = ParseOutputFormat(*format);
      // Following never ends, so a JSON array would never close, and newest first cannot come
      // before records that have not been written yet.
      if (*follow && out == OutputFormat::kJson)
        throw ToolError("-f writes records as they come: use -o jsonl, one JSON object a line");
      if (*follow && *reverse) throw ToolError("-r and -f cannot go together");
      AuditFilters filters = options->Resolved();
      const std::vector<off_t> followFrom = *follow ? RecordCounts(*logs) : std::vector<off_t>();
      MergedReader reader(*logs, filters);
      RecordWriter writer(out, std::cout);
      LOG_ENTRY_STRUCT record;
      if (*last < 0 && !*reverse) {
        while (reader.Next(&record)) writer.Write(record);  // as they come: flat memory
      } else {
        // The last N need only N kept; newest first needs all the matching records kept.
        std::deque<LOG_ENTRY_STRUCT> kept;
        while (reader.Next(&record)) {
          if (*last == 0) continue;
          kept.push_back(record);
          if (*last > 0 && kept.size() > static_cast<size_t>(*last)) kept.pop_front();
        }
        if (*reverse) std::reverse(kept.begin(), kept.end());
        for (const LOG_ENTRY_STRUCT& r : kept) writer.Write(r);
      }
      writer.Finish();
      FlushStandardOutput();
      if (*follow) Follow(*logs, filters, out, followFrom);
      return 0;
    };
  });
}
