// An audit log's records read in loads through the suite's own file layer: each load opens the
// log as the library's readers do (no sharing, retried for about five seconds while another
// party holds it), reads, and closes, so that a suite program that appends waits for one load
// at most. Records are reached by their index, from the start or from the end.
#ifndef LYRUTIL_TOOLS_LOG_LOADS_H
#define LYRUTIL_TOOLS_LOG_LOADS_H

#include <LyrUtil.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Whether a piece shorter than a record at the end refuses the log (a review reads audit logs
// only) or is left aside (verify reports it).
enum class TornTail { kRefused, kLeftAside };

class LogLoads {
 public:
  // Throws ToolError unless `hostPath` is a readable file, and with kRefused an audit log (a
  // whole number of records).
  LogLoads(const std::string& hostPath, TornTail tail);

  const std::string& HostPath() const { return host_; }
  // The whole records the log held when this object was made.
  int64_t Records() const { return records_; }

  // Reads up to `count` records from index `first` into `into`: how many were read, fewer only
  // when the log is shorter now. Throws ToolError naming the log and the reason when the log
  // cannot be opened within the retries or read ("cannot be read" before any load succeeded,
  // "could not be read to its end" after).
  size_t Read(int64_t first, size_t count, LOG_ENTRY_STRUCT* into);

 private:
  std::string host_;
  std::string dos_;  // the library's file calls take a writable name
  int64_t records_ = 0;
  bool readAny_ = false;
};

// Walks a log one record at a time in loads of a fixed size, from its first record on
// (kOldestFirst) or from its last back (kNewestFirst); memory is one load whatever the log's size.
enum class ReadOrder { kOldestFirst, kNewestFirst };
class LogCursor {
 public:
  LogCursor(const std::string& hostPath, ReadOrder order, TornTail tail = TornTail::kRefused);
  const std::string& HostPath() const { return log_.HostPath(); }
  // The next record in the walk's order; null after the last. Valid until the next call.
  const LOG_ENTRY_STRUCT* Next();

 private:
  static constexpr size_t kLoadRecords = 1024;  // 1.2 MB: a writer waits well under a millisecond
  LogLoads log_;
  ReadOrder order_;
  int64_t next_;  // the first record of the next load (oldest first), or one past its last
  std::vector<LOG_ENTRY_STRUCT> load_;
  size_t inLoad_ = 0;
  size_t used_ = 0;
};

#endif  // LYRUTIL_TOOLS_LOG_LOADS_H
