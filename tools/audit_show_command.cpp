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
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <iostream>
#include <memory>
#include <optional>
#include <regex>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

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

// --grep: an extended regular expression searched in every text of a record (-i: case ignored).
// Without a pattern every record passes.
class Grep {
 public:
  Grep(const std::string& pattern, bool ignoreCase) {
    if (pattern.empty()) return;
    try {
      pattern_.emplace(
          pattern, ignoreCase ? std::regex::extended | std::regex::icase : std::regex::extended);
    } catch (const std::regex_error&) {
      throw ToolError("--grep: not a regular expression: " + pattern);
    }
  }
  bool Passes(const LOG_ENTRY_STRUCT& record) const {
    if (!pattern_) return true;
    for (const std::string& text : RecordTexts(record))
      if (std::regex_search(text, *pattern_)) return true;
    return false;
  }

 private:
  std::optional<std::regex> pattern_;
};

// A log being followed, as `tail -F` follows a file: new records are read from an open
// descriptor at the offset reached, in loads of a fixed size, so memory stays flat whatever the
// log's size. A log cut shorter is followed from its new end; a log replaced by another file
// (renamed over, deleted and made again) is followed from the new file's start.
class FollowedLog {
 public:
  explicit FollowedLog(const std::string& path) : path_(path) {
    Open();
    records_ = RecordsOf(fd_);
  }
  ~FollowedLog() {
    if (fd_ >= 0) ::close(fd_);
  }
  FollowedLog(const FollowedLog&) = delete;
  FollowedLog& operator=(const FollowedLog&) = delete;

  // Writes the records appended since the last call that pass the filters.
  void WriteNew(const AuditFilters& filters, const Grep& grep, OutputFormat format) {
    struct stat named;
    if (::stat(path_.c_str(), &named) == 0 && (named.st_dev != dev_ || named.st_ino != ino_)) {
      std::cerr << "lyrutil: " << path_ << ": replaced; following the new file from its start\n";
      ::close(fd_);
      Open();
      records_ = 0;
    }
    const off_t now = RecordsOf(fd_);
    if (now < records_) {
      std::cerr << "lyrutil: " << path_ << ": truncated; following from its new end\n";
      records_ = now;
      return;
    }
    constexpr off_t kLoad = 256;
    std::vector<LOG_ENTRY_STRUCT> load(kLoad);
    while (records_ < now) {
      const off_t count = std::min(kLoad, now - records_);
      const ssize_t read = ::pread(fd_, load.data(), static_cast<size_t>(count) * kRecordBytes,
                                   records_ * kRecordBytes);
      if (read < 0) throw ToolError(path_ + ": " + std::strerror(errno));
      const off_t whole = read / kRecordBytes;
      if (whole == 0) break;  // cut between fstat and read: seen as a truncation next time
      for (off_t k = 0; k < whole; ++k)
        if (Matches(load[static_cast<size_t>(k)], filters) &&
            grep.Passes(load[static_cast<size_t>(k)]))
          WriteRecordLine(load[static_cast<size_t>(k)], format, std::cout);
      records_ += whole;
    }
  }

 private:
  static constexpr off_t kRecordBytes = sizeof(LOG_ENTRY_STRUCT);

  void Open() {
    fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) throw ToolError(path_ + ": " + std::strerror(errno));
    dev_ = st.st_dev;
    ino_ = st.st_ino;
  }
  static off_t RecordsOf(int fd) {
    struct stat st;
    return ::fstat(fd, &st) == 0 ? st.st_size / kRecordBytes : 0;
  }

  std::string path_;
  int fd_ = -1;
  dev_t dev_ = 0;
  ino_t ino_ = 0;
  off_t records_ = 0;
};

// Prints records appended to the logs after the ones already shown, until the process is
// interrupted. The logs are opened, and their lengths taken, before the records already there are
// shown, so that nothing appended in between is missed (such a record may show twice; none is
// lost).
[[noreturn]] void Follow(std::vector<std::unique_ptr<FollowedLog>>& logs,
                         const AuditFilters& filters, const Grep& grep, OutputFormat format) {
  for (;;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    for (auto& log : logs) log->WriteNew(filters, grep, format);
    FlushStandardOutput();
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
  auto grep = std::make_shared<std::string>();
  auto ignoreCase = std::make_shared<bool>(false);
  show->add_option("-g,--grep", *grep,
                   "only records with a text that matches this extended regular expression");
  show->add_flag("-i,--ignore-case", *ignoreCase, "--grep ignores case");
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
      const Grep matching(*grep, *ignoreCase);
      std::vector<std::unique_ptr<FollowedLog>> followed;
      if (*follow)
        for (const std::string& log : *logs) followed.push_back(std::make_unique<FollowedLog>(log));
      MergedReader reader(*logs, filters);
      RecordWriter writer(out, std::cout);
      LOG_ENTRY_STRUCT record;
      if (*last < 0 && !*reverse) {
        while (reader.Next(&record))  // as they come: flat memory
          if (matching.Passes(record)) writer.Write(record);
      } else {
        // The last N need only N kept; newest first needs all the matching records kept.
        std::deque<LOG_ENTRY_STRUCT> kept;
        while (reader.Next(&record)) {
          if (*last == 0 || !matching.Passes(record)) continue;
          kept.push_back(record);
          if (*last > 0 && kept.size() > static_cast<size_t>(*last)) kept.pop_front();
        }
        if (*reverse) std::reverse(kept.begin(), kept.end());
        for (const LOG_ENTRY_STRUCT& r : kept) writer.Write(r);
      }
      writer.Finish();
      FlushStandardOutput();
      if (*follow) Follow(followed, filters, matching, out);
      return 0;
    };
  });
}
