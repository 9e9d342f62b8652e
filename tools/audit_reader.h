// Audit records read through the library's own navigation: its masks (whole text, case ignored)
// and its time window, then merged across logs by time.
#ifndef LYRUTIL_TOOLS_AUDIT_READER_H
#define LYRUTIL_TOOLS_AUDIT_READER_H

#include <LyrUtil.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Texts in UTF-8 as typed; empty means no filter.
struct AuditFilters {
  std::string user, author, system, project, sampleId, sample, ar, method, type;
  std::optional<int32_t> since, until;
};

// Sets the filters on a log object, ready for SetMask.
void ApplyFilters(const AuditFilters& filters, CLyrLog& log);

// The entry of a log object as a record.
LOG_ENTRY_STRUCT CopyEntry(CLyrLog& log);

// The records of one log (a host path) that pass the filters, in file order.
std::vector<LOG_ENTRY_STRUCT> ReadMatching(const std::string& hostPath,
                                           const AuditFilters& filters);

// The records of several logs merged by time (stable: equal times keep log and file order).
std::vector<LOG_ENTRY_STRUCT> ReadMerged(const std::vector<std::string>& hostPaths,
                                         const AuditFilters& filters);

#endif  // LYRUTIL_TOOLS_AUDIT_READER_H
