// lyrutil audit: show, export, extract, append, backlog, verify and stats.
#include "audit_files.h"
#include "audit_output.h"
#include "audit_reader.h"
#include "commands.h"
#include "output_file.h"
#include "progress_bar.h"
#include "text_encoding.h"
#include "time_text.h"
#include "tool_error.h"

#include <lyrhost.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <climits>
#include <deque>
#include <cstring>
#include <ctime>
#include <iostream>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// The filter options that show, export and extract share, and their time texts.
struct FilterOptions {
  AuditFilters filters;
  std::string since, until;

  void AddTo(CLI::App* command) {
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

  AuditFilters Resolved() const {
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
};

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

off_t FileSize(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? st.st_size : 0;
}

off_t RecordCount(const std::string& path) {
  return FileSize(path) / static_cast<off_t>(sizeof(LOG_ENTRY_STRUCT));
}

// The records each log holds, where following starts.
std::vector<off_t> RecordCounts(const std::vector<std::string>& logs) {
  std::vector<off_t> counts;
  for (const std::string& log : logs) counts.push_back(RecordCount(log));
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
      const off_t size = FileSize(logs[i]);
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
  show->add_option("-n,--lines", *last, "only the last N records");
  show->add_flag("-r,--reverse", *reverse, "newest first");
  show->add_flag("-f,--follow", *follow, "then print new records as they are appended");
  show->add_option("-o,--output", *format, "text, csv, json or jsonl");
  show->callback([=, &action] {
    action = [=] {
      StartLibrary();
      OutputFormat out = ParseOutputFormat(*format);
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

}  // namespace

namespace {

// The records of `log` that pass the filters, counted by a navigation of their own.
unsigned long CountMatches(const std::string& log, const AuditFilters& filters) {
  MergedReader reader({log}, filters);
  unsigned long count = 0;
  LOG_ENTRY_STRUCT record;
  while (reader.Next(&record)) ++count;
  return count;
}

}  // namespace

// The library writes the selection into a private folder beside the target; the file is renamed
// into place only once the navigation is known to have reached the end of the log. A navigation
// cut short by a failed load is run once more before the run fails, since the hold that stopped
// it may have been brief.
SelectionWritten WriteSelection(const std::string& log, const std::string& to,
                                const AuditFilters& filters, bool exportText) {
  RequireAuditLog(log);
  // The output replaces its file when whole; replacing the log it reads would lose the log.
  if (SameHostFile(log, to)) throw ToolError(to + ": is the log being read; write to another file");
  const OutputTarget target =
      ResolveOutput(to, exportText ? ExistingFile::kReplace : ExistingFile::kRefuse);
  std::string dosLog = DosName(log);
  for (int attempt = 0;; ++attempt) {
    const bool lastAttempt = attempt == 1;
    PendingFile pending(target);
    std::string dosOutput = DosName(pending.Path());
    const off_t recordsBefore = RecordCount(log);
    CLyrLog reader;
    reader.SetFile(&dosLog[0]);
    ApplyFilters(filters, reader);
    FileFailureWatch watch;
    unsigned long copied = 0;
    {
      ReadProgress progress(exportText ? "exporting" : "extracting", recordsBefore);
      if (exportText) {
        try {
          reader.ExportASCIILog(&dosOutput[0]);
        } catch (CException* e) {
          e->Delete();
          throw ToolError(to + ": cannot be written: " + LastFileFailureText());
        }
      } else {
        copied = reader.CreateTempLog(&dosOutput[0]);
      }
    }
    if (!pending.Exists()) {
      // Nothing written: no record matched, or the log (or the new file) could not be opened.
      if (!watch.Failed()) {
        RequireReadableFile(log);  // not removed meanwhile: the library reads that as empty
        return {};
      }
      if (!lastAttempt) continue;
      throw ToolError(log + ": cannot be read: " + LastFileFailureText());
    }
    // CreateTempLog answers 0 for a failure too, and leaves what it had written.
    if (!exportText &&
        (copied == 0 || pending.Size() != static_cast<long long>(copied) *
                                              static_cast<long long>(sizeof(LOG_ENTRY_STRUCT))))
      throw ToolError(to + ": cannot be written: " + LastFileFailureText());
    if (!NavigationReachedEnd(reader)) {
      if (!lastAttempt) continue;
      throw ToolError(log + ": could not be read to its end: " + LastFileFailureText());
    }
    SelectionWritten written;
    written.written = true;
    written.records = copied;
    if (exportText) {
      // The export's lines cannot be counted as records (a system message may hold line
      // breaks, a long line is cut with its line end): a second navigation counts them.
      written.records = CountMatches(log, filters);
      const off_t recordsAfter = RecordCount(log);
      written.uncertain = recordsAfter > recordsBefore
                              ? static_cast<unsigned long>(recordsAfter - recordsBefore)
                              : 0;
    }
    pending.Commit();
    return written;
  }
}

namespace {

std::string RecordsText(unsigned long count) {
  return std::to_string(count) + (count == 1 ? " record" : " records");
}

std::string WrittenText(const SelectionWritten& written, const std::string& to) {
  const std::string where = to == "-" ? "standard output" : to;
  if (!written.written) return "no record matched: " + where + " not written";
  if (written.uncertain == 0) return RecordsText(written.records) + " written to " + where;
  const unsigned long low = written.records - std::min(written.records, written.uncertain);
  return "between " + std::to_string(low) + " and " + RecordsText(written.records) +
         " written to " + where + " (the log gained " + RecordsText(written.uncertain) +
         " while it was read)";
}

// export and extract: a library call writes the file in a private folder beside the target,
// renamed into place when it is whole.
void AddExportAndExtract(CLI::App& audit, Action& action) {
  for (bool isExport : {true, false}) {
    auto* command =
        audit.add_subcommand(isExport ? "export" : "extract",
                             isExport ? "the matching records as the suite's export text"
                                      : "the matching records as a new audit log");
    auto log = std::make_shared<std::string>();
    auto to = std::make_shared<std::string>();
    auto options = std::make_shared<FilterOptions>();
    command->add_option("LOG", *log, "the audit log")->required();
    command
        ->add_option("--to", *to,
                     isExport ? "the file to write or replace (- for standard output)"
                              : "the new file to write (- for standard output)")
        ->required();
    options->AddTo(command);
    command->callback([=, &action] {
      action = [=] {
        StartLibrary();
        AuditFilters filters = options->Resolved();
        const SelectionWritten written = WriteSelection(*log, *to, filters, isExport);
        std::cerr << WrittenText(written, *to) << "\n";
        return 0;
      };
    });
  }
}

// One audited action through CLyrLog, exactly as a suite application makes it.
void AddAppend(CLI::App& audit, Action& action) {
  auto* append = audit.add_subcommand("append", "record one audited action");
  struct Fields {
    std::string log, user, message, systemMessage, author, system, project, sampleId, sample, ar,
        method, type, channel, time;
  };
  auto f = std::make_shared<Fields>();
  append->add_option("LOG", f->log, "the audit log (made if need be, in a folder that exists)")
      ->required();
  append->add_option("--user", f->user, "who acted")->required();
  append->add_option("--message", f->message, "the user's comment")->required();
  append->add_option("--system-message", f->systemMessage, "what the system did");
  append->add_option("--author", f->author, "on whose behalf");
  append->add_option("--system", f->system, "the system id");
  append->add_option("--project", f->project, "the project id");
  append->add_option("--sample-id", f->sampleId, "the sample id");
  append->add_option("--sample", f->sample, "the sample name");
  append->add_option("--ar", f->ar, "the analysis report");
  append->add_option("--method", f->method, "the method name");
  append->add_option("--type", f->type, "the method type");
  append->add_option("--channel", f->channel, "the channel, one character");
  append->add_option("--time", f->time, "when (read as --since of show; default now)");
  append->callback([=, &action] {
    action = [=] {
      StartLibrary();
      if (f->channel.size() > 1) throw ToolError("--channel: one character");
      int32_t when = 0;
      if (!f->time.empty() && !ParseTimeText(f->time, std::time(nullptr), &when))
        throw ToolError("--time: cannot read \"" + f->time + "\"");
      RequireAppendableLog(f->log);
      std::string dos = DosName(f->log);
      size_t parkedBefore = ReadBacklog().size();
      CLyrLog log;
      log.InitEntry();
      auto text = [](const std::string& utf8) { return Utf8ToCp1252(utf8); };
      log.SetUsrId(text(f->user).c_str());
      log.SetAuthId(text(f->author.empty() ? f->user : f->author).c_str());
      if (!f->system.empty()) log.SetSysId(text(f->system).c_str());
      if (!f->project.empty()) log.SetPrjId(text(f->project).c_str());
      if (!f->sampleId.empty()) log.SetSmpId(text(f->sampleId).c_str());
      if (!f->sample.empty()) log.SetSmpName(text(f->sample).c_str());
      if (!f->ar.empty()) log.SetARName(text(f->ar).c_str());
      if (!f->method.empty()) log.SetMethName(text(f->method).c_str());
      if (!f->type.empty()) log.SetMethType(text(f->type).c_str());
      if (!f->channel.empty()) log.SetChannel(f->channel[0]);
      if (!f->systemMessage.empty()) log.SetSysMess(text(f->systemMessage).c_str());
      log.SetUsrMess(text(f->message).c_str());
      if (!f->time.empty()) log.SetTime(when);
      log.SetFile(&dos[0]);
      log.FixLogMess(0);
      if (ReadBacklog().size() > parkedBefore) {
        std::cerr << f->log
                  << ": could not be written; the entry is safe in the backlog and moves into the "
                     "log with its next append (lyrutil audit backlog --flush)\n";
        return kExitParked;
      }
      std::cerr << "recorded\n";
      return 0;
    };
  });
}

bool SameEntry(const LOG_ENTRY_STRUCT& a, const LOG_ENTRY_STRUCT& b) {
  auto same = [](const char* x, const char* y, size_t n) { return strncmp(x, y, n) == 0; };
  return a.Time == b.Time && a.Channel == b.Channel && same(a.UsrId, b.UsrId, 16) &&
         same(a.AuthId, b.AuthId, 16) && same(a.SysId, b.SysId, 16) && same(a.PrjId, b.PrjId, 16) &&
         same(a.SmpId, b.SmpId, 16) && same(a.SmpName, b.SmpName, 64) &&
         same(a.ARName, b.ARName, 260) && same(a.MethName, b.MethName, 260) &&
         same(a.MethType, b.MethType, 32) && same(a.SysMess, b.SysMess, 256) &&
         same(a.UsrMess, b.UsrMess, 259);
}

// Takes the flush's own record back out of the backlog when the log refused it too, so that a
// failed flush leaves the backlog as it was. Only the last record, and only when it is that one:
// anything parked after it by others stays.
void TakeBackParkedEntry(const std::string& logFile, const LOG_ENTRY_STRUCT& entry) {
  std::string backlog = std::string(GetWorkingDirectory()) + "\\error.blg";
  CFile file;
  if (LyrOpenFile(&file, &backlog[0], CFile::modeReadWrite | CFile::shareExclusive) != 0) return;
  try {
    const ULONGLONG length = file.GetLength();
    if (length >= sizeof(LOG_BACKLOG_STRUCT) && length % sizeof(LOG_BACKLOG_STRUCT) == 0) {
      LOG_BACKLOG_STRUCT last;
      file.Seek(static_cast<LONGLONG>(length - sizeof last), CFile::begin);
      if (file.Read(&last, sizeof last) == sizeof last &&
          lstrcmpiA(last.LogFile, logFile.c_str()) == 0 && SameEntry(last.Entry, entry))
        file.SetLength(length - sizeof last);
    }
    file.Close();
  } catch (CFileException* e) {
    e->Delete();
    file.Abort();
  }
}

// Records the move in `logFile`, which brings its parked entries in behind it. False when the
// log still refused the append (the record of the move is then taken back).
bool FlushInto(const std::string& logFile, size_t count, const std::string& user) {
  const size_t parkedBefore = ReadBacklog().size();
  CLyrLog log;
  log.InitEntry();
  log.SetUsrId(Utf8ToCp1252(user).c_str());
  log.SetAuthId(Utf8ToCp1252(user).c_str());
  log.SetSysMess(("Moved " + std::to_string(count) + " parked entries in").c_str());
  log.SetUsrMess("backlog flushed with lyrutil");
  std::string name = logFile;
  log.SetFile(&name[0]);
  log.FixLogMess(0);
  if (ReadBacklog().size() <= parkedBefore) return true;
  TakeBackParkedEntry(logFile, CopyEntry(log));
  return false;
}

// Lists the parked entries; --flush moves them in by an audited action in each of their logs,
// since an append is what moves a log's parked entries behind it. Only into files that are audit
// logs: an entry naming anything else stays parked.
void AddBacklog(CLI::App& audit, Action& action) {
  auto* backlog = audit.add_subcommand("backlog", "entries waiting for their log");
  auto flush = std::make_shared<bool>(false);
  auto user = std::make_shared<std::string>("lyrutil");
  backlog->add_flag("--flush", *flush,
                    "move them into their logs, recording the move there as an action");
  backlog->add_option("--user", *user, "who flushes (recorded with the move)");
  backlog->callback([=, &action] {
    action = [=] {
      StartLibrary();
      std::vector<BacklogRecord> parked = ReadBacklog();
      std::map<std::string, size_t> perLog;
      for (const BacklogRecord& r : parked) {
        std::string logName = Cp1252ToUtf8(r.record.LogFile);
        if (!r.intact) {
          std::cout << "(torn record, fails its seal)\n";
          continue;
        }
        std::cout << logName << "  ";
        WriteRecordLine(r.record.Entry, OutputFormat::kText, std::cout);
        ++perLog[r.record.LogFile];
      }
      if (parked.empty()) std::cout << "the backlog is empty\n";
      if (!*flush) return 0;
      bool anyLeft = false;
      for (const auto& [logFile, count] : perLog) {
        const std::string shown = Cp1252ToUtf8(logFile);
        std::string host;
        if (!LyrDosToHostPath(logFile.c_str(), &host)) {
          std::cerr << shown << ": cannot be found; " << count << " entries stay parked\n";
          anyLeft = true;
          continue;
        }
        try {
          RequireAppendableLog(host);
        } catch (const ToolError& e) {
          std::cerr << e.what() << "; " << count << " entries stay parked\n";
          anyLeft = true;
          continue;
        }
        if (!FlushInto(logFile, count, *user)) {
          std::cerr << shown << ": still cannot be written; " << count << " entries stay parked\n";
          anyLeft = true;
        }
      }
      const size_t left = ReadBacklog().size();
      std::cerr << parked.size() - std::min(parked.size(), left) << " moved in, " << left
                << " still waiting\n";
      return anyLeft || left != 0 ? 1 : 0;
    };
  });
}

// What `verify` finds in one log: each count a kind of damage, 0 when whole.
nlohmann::json VerifyLog(const std::string& hostPath, const std::vector<BacklogRecord>& backlog) {
  std::string bytes = ReadWholeFile(hostPath);
  const size_t size = sizeof(LOG_ENTRY_STRUCT);
  nlohmann::json report;
  report["log"] = HostPathText(hostPath);
  report["records"] = bytes.size() / size;
  report["torn_tail_bytes"] = bytes.size() % size;
  size_t outOfOrder = 0;
  size_t garbled = 0;
  nlohmann::json garbledRecords = nlohmann::json::array();
  int32_t previous = INT32_MIN;
  for (size_t i = 0; i + size <= bytes.size(); i += size) {
    LOG_ENTRY_STRUCT r;
    std::memcpy(&r, bytes.data() + i, size);
    if (r.Time < previous) ++outOfOrder;
    previous = r.Time;
    if (UnterminatedFields(r)) {
      ++garbled;
      if (garbledRecords.size() < 20) garbledRecords.push_back(i / size);
    }
  }
  report["out_of_order"] = outOfOrder;
  report["unterminated_records"] = garbled;
  report["unterminated_record_indexes"] = garbledRecords;
  std::string dos = DosName(hostPath);
  size_t parked = 0;
  for (const BacklogRecord& b : backlog)
    parked += b.intact && lstrcmpiA(b.record.LogFile, dos.c_str()) == 0;
  report["parked_in_backlog"] = parked;
  report["clean"] =
      report["torn_tail_bytes"] == 0 && outOfOrder == 0 && garbled == 0 && parked == 0;
  return report;
}

}  // namespace

int RunVerify(const std::vector<std::string>& logs, bool json, std::ostream& out) {
  std::vector<BacklogRecord> backlog = ReadBacklog();
  size_t torn = std::count_if(backlog.begin(), backlog.end(),
                              [](const BacklogRecord& b) { return !b.intact; });
  nlohmann::json all;
  all["logs"] = nlohmann::json::array();
  bool clean = torn == 0;
  for (const std::string& log : logs) {
    RequireReadableFile(log);
    nlohmann::json report = VerifyLog(log, backlog);
    clean = clean && report["clean"].get<bool>();
    all["logs"].push_back(report);
  }
  all["backlog_records_failing_seal"] = torn;
  all["clean"] = clean;
  if (json) {
    out << DumpJson(all, 2) << "\n";
    return clean ? 0 : 1;
  }
  for (const nlohmann::json& r : all["logs"]) {
    out << r["log"].get<std::string>() << ": " << r["records"] << " records";
    if (r["clean"].get<bool>()) {
      out << ", whole\n";
      continue;
    }
    out << "\n";
    if (r["torn_tail_bytes"] != 0)
      out << "  torn tail: " << r["torn_tail_bytes"] << " bytes after the last record\n";
    if (r["out_of_order"] != 0)
      out << "  records earlier than the one before them: " << r["out_of_order"] << "\n";
    if (r["unterminated_records"] != 0)
      out << "  records with a text field not ended inside it: " << r["unterminated_records"]
          << " (first: record " << r["unterminated_record_indexes"][0] << ")\n";
    if (r["parked_in_backlog"] != 0)
      out << "  entries still parked in the backlog: " << r["parked_in_backlog"]
          << " (lyrutil audit backlog --flush)\n";
  }
  if (torn) out << "backlog records failing their seal: " << torn << "\n";
  return clean ? 0 : 1;
}

namespace {

void AddVerify(CLI::App& audit, Action& action) {
  auto* verify = audit.add_subcommand(
      "verify", "check logs are whole: exit 0 when clean, 1 with findings, 2 on errors");
  auto logs = std::make_shared<std::vector<std::string>>();
  auto format = std::make_shared<std::string>("text");
  verify->add_option("LOG", *logs, "audit log files")->required();
  verify->add_option("-o,--output", *format, "text or json");
  verify->callback([=, &action] {
    action = [=] {
      StartLibrary();
      if (*format != "text" && *format != "json")
        throw ToolError("unknown output format \"" + *format + "\" (text or json)");
      return RunVerify(*logs, *format == "json", std::cout);
    };
  });
}

void AddStats(CLI::App& audit, Action& action) {
  auto* stats = audit.add_subcommand("stats", "counts per user, system and type, and the span");
  auto logs = std::make_shared<std::vector<std::string>>();
  auto format = std::make_shared<std::string>("text");
  stats->add_option("LOG", *logs, "audit log files")->required();
  stats->add_option("-o,--output", *format, "text or json");
  stats->callback([=, &action] {
    action = [=] {
      StartLibrary();
      if (*format != "text" && *format != "json")
        throw ToolError("unknown output format \"" + *format + "\" (text or json)");
      MergedReader reader(*logs, AuditFilters{});
      size_t count = 0;
      int32_t first = INT32_MAX;
      int32_t last = INT32_MIN;
      std::map<std::string, size_t> users, systems, types;
      LOG_ENTRY_STRUCT r;
      while (reader.Next(&r)) {
        ++count;
        first = std::min(first, r.Time);
        last = std::max(last, r.Time);
        ++users[Cp1252ToUtf8(r.UsrId)];
        ++systems[Cp1252ToUtf8(r.SysId)];
        ++types[Cp1252ToUtf8(r.MethType)];
      }
      nlohmann::json s;
      s["records"] = count;
      if (count != 0) {
        s["first"] = IsoTimeText(first);
        s["last"] = IsoTimeText(last);
      }
      s["users"] = users;
      s["systems"] = systems;
      s["types"] = types;
      if (*format == "json") {
        std::cout << DumpJson(s, 2) << "\n";
        return 0;
      }
      std::cout << count << " records";
      if (count != 0)
        std::cout << " from " << LocalTimeText(first) << " to " << LocalTimeText(last);
      std::cout << "\n";
      for (const auto& [title, counts] :
           {std::pair<const char*, const std::map<std::string, size_t>*>{"users", &users},
            {"systems", &systems},
            {"types", &types}}) {
        std::cout << title << ":";
        for (const auto& [name, n] : *counts)
          std::cout << "  " << (name.empty() ? "-" : name) << " " << n;
        std::cout << "\n";
      }
      return 0;
    };
  });
}

}  // namespace

void AddAuditCommands(CLI::App& app, Action& action) {
  auto* audit = app.add_subcommand("audit", "review, export, verify and append to audit trails");
  audit->require_subcommand(1);
  AddShow(*audit, action);
  AddExportAndExtract(*audit, action);
  AddAppend(*audit, action);
  AddBacklog(*audit, action);
  AddVerify(*audit, action);
  AddStats(*audit, action);
}
