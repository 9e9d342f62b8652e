// Audit records read for review, merged across logs by time; and the library's own navigation
// (its masks and time window) as the export and extract run it, with its failures told apart
// from its end.
#ifndef LYRUTIL_TOOLS_AUDIT_READER_H
#define LYRUTIL_TOOLS_AUDIT_READER_H

#include "log_loads.h"
#include "record_filter.h"

#include <LyrUtil.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Sets the filters on a log object, ready for SetMask: the first value of each text filter (the
// library's masks hold one) and the time window.
void ApplyFilters(const AuditFilters& filters, CLyrLog& log);

// The entry of a log object as a record.
LOG_ENTRY_STRUCT CopyEntry(CLyrLog& log);

// The library's navigation (SetMask, then GetNext until 0), with what it cannot say itself: its 0
// means "no more records" and also "a load could not be made" (the log held by another program
// beyond the retries, a read error). These tell the two apart and throw ToolError, naming
// `hostPath` and the reason, for the second.
//
// The end makes no file call: a navigation that found the end stays there, and one stopped by
// its end time stops without reading. A load that failed is tried again by the next GetNext.
// So one more GetNext, watched through the stand-in's count of failed file calls
// (LyrFileFailureCount), either resumes the reading, ends without a failure, or fails again.

// SetMask: true with the first matching record in the entry, false when none matches.
bool StartNavigation(CLyrLog& log, const std::string& hostPath);
// GetNext: true with the next matching record in the entry, false at the end.
bool NextRecord(CLyrLog& log, const std::string& hostPath);
// After a library call that ran a navigation of `log` through (ExportASCIILog, CreateTempLog):
// whether it reached the end, rather than stopping at a load that failed.
bool NavigationReachedEnd(CLyrLog& log);

// Counts failed file calls from its construction on.
class FileFailureWatch {
 public:
  FileFailureWatch();
  bool Failed() const;

 private:
  unsigned long long start_;
};
// A Win32 error in words ("held by another program", "the disk is full").
std::string ErrorText(DWORD error);
// The last failed file call's error, in words.
std::string LastFileFailureText();

// The records of several logs (host paths) that pass a filter, one at a time: each log walked in
// the order its records are stored, the logs merged by time. Oldest first, the next record is
// the earliest of the logs' current ones (equal times: the earlier log); newest first, the latest
// of the logs' current ones read from their ends (equal times: the later log). A record stored out
// of time order, as an entry from the backlog is, therefore comes where it is stored, as `verify`
// reports it. Memory is one load per log, whatever the logs' size. Throws ToolError for a file
// that is not an audit log, and for a log that cannot be read to its end.
class MergedReader {
 public:
  MergedReader(const std::vector<std::string>& hostPaths, const AuditFilters& filters,
               ReadOrder order = ReadOrder::kOldestFirst);
  ~MergedReader();
  MergedReader(const MergedReader&) = delete;
  MergedReader& operator=(const MergedReader&) = delete;

  // The next record, valid until the next call; null after the last. Records stay where their
  // load put them: none is copied on the way.
  const LOG_ENTRY_STRUCT* Next();
  // How many of the records given so far fail verify's test of a record (a text not ended
  // inside its field): not written by the suite, or damaged.
  unsigned long Damaged() const { return damaged_; }

 private:
  struct Source;
  static void Advance(Source& source, const RecordFilter& filter);
  RecordFilter filter_;
  ReadOrder order_;
  std::vector<Source> sources_;
  Source* given_ = nullptr;  // the source of the record Next gave last, advanced by the next call
  unsigned long damaged_ = 0;
};

// All the records MergedReader gives, for the small selections that are wanted whole.
std::vector<LOG_ENTRY_STRUCT> ReadMerged(const std::vector<std::string>& hostPaths,
                                         const AuditFilters& filters);

#endif  // LYRUTIL_TOOLS_AUDIT_READER_H
