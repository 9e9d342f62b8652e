// lyrutil audit show: the records of one or more logs, merged by time, in pages or followed.
#include "audit_commands.h"
#include "audit_files.h"
#include "audit_filter_options.h"
#include "audit_output.h"
#include "audit_reader.h"
#include "pager.h"
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
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Records that fail verify's test are shown as the library would read them, with a warning: a
// file of the right size holding anything else reads as records without a word otherwise.
void WarnOfDamagedRecords(unsigned long count, const std::string& where) {
  if (count == 0) return;
  std::cerr << "lyrutil: warning: " << count << (count == 1 ? " record" : " records") << where
            << " with a text not ended inside its field: not written by the suite, or damaged "
               "(lyrutil audit verify)\n";
}

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
  void WriteNew(const RecordFilter& filter, OutputFormat format) {
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
      for (off_t k = 0; k < whole; ++k) {
        const LOG_ENTRY_STRUCT& record = load[static_cast<size_t>(k)];
        if (!filter.Passes(record)) continue;
        if (UnterminatedFields(record))
          WarnOfDamagedRecords(1, " at index " + std::to_string(records_ + k) + " of " + path_);
        WriteRecordLine(record, format, std::cout);
      }
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
                         const RecordFilter& filter, OutputFormat format) {
  for (;;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    for (auto& log : logs) log->WriteNew(filter, format);
    FlushStandardOutput();
  }
}

// Writes the selected records: oldest first as they come; newest first (-r) from the logs' ends
// as they come; the last N (-n) read from the ends and turned round. Memory stays flat but for
// the N kept. With `page`, a terminal gets them through a pager, started once the logs are known
// to be audit logs (an error then reaches the terminal, not the pager). Returns how many records
// shown fail verify's test.
unsigned long ShowRecords(const std::vector<std::string>& logs, const AuditFilters& filters,
                          int last, bool reverse, OutputFormat format, bool page) {
  const bool fromTheEnd = reverse || last >= 0;
  MergedReader reader(logs, filters,
                      fromTheEnd ? ReadOrder::kNewestFirst : ReadOrder::kOldestFirst);
  if (page) StartPagerOnATerminal();
  RecordWriter writer(format, std::cout);
  if (last < 0) {
    while (const LOG_ENTRY_STRUCT* record = reader.Next()) writer.Write(*record);
  } else {
    std::vector<LOG_ENTRY_STRUCT> kept;
    const LOG_ENTRY_STRUCT* record;
    for (int n = 0; n < last && (record = reader.Next()) != nullptr; ++n) {
      if (reverse)
        writer.Write(*record);
      else
        kept.push_back(*record);
    }
    std::for_each(kept.rbegin(), kept.rend(), [&](const LOG_ENTRY_STRUCT& r) { writer.Write(r); });
  }
  writer.Finish();
  return reader.Damaged();
}

}  // namespace

void AddShow(CLI::App& audit, Action& action) {
  auto* show = audit.add_subcommand("show", "the records that pass the filters, one line each");
  auto logs = std::make_shared<std::vector<std::string>>();
  auto options = std::make_shared<FilterOptions>();
  auto last = std::make_shared<int>(-1);
  auto reverse = std::make_shared<bool>(false);
  auto follow = std::make_shared<bool>(false);
  auto noPager = std::make_shared<bool>(false);
  auto format = std::make_shared<std::string>("text");
  show->add_option("LOG", *logs, "audit log files (several merge by time)")->required();
  options->AddTo(show, FilterScope::kReview);
  show->add_option("-n,--lines", *last, "only the last N records")->check([](const std::string& n) {
    return !n.empty() && n[0] == '-' ? "a count of records is 0 or more" : "";
  });
  show->add_flag("-r,--reverse", *reverse, "newest first");
  show->add_flag("-f,--follow", *follow, "then print new records as they are appended");
  show->add_flag(
      "--no-pager", *noPager,
      "never through a pager (a terminal otherwise gets $LYRUTIL_PAGER, $PAGER or less)");
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
      const AuditFilters filters = options->Resolved();
      const RecordFilter filter(filters);
      std::vector<std::unique_ptr<FollowedLog>> followed;
      if (*follow)
        for (const std::string& log : *logs) followed.push_back(std::make_unique<FollowedLog>(log));
      const unsigned long damaged =
          ShowRecords(*logs, filters, *last, *reverse, out, !*follow && !*noPager);
      FlushStandardOutput();
      WarnOfDamagedRecords(damaged, " shown");
      if (*follow) Follow(followed, filter, out);
      return 0;
    };
  });
}
