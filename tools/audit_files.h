// Audit logs and the backlog as files: host names turned into DOS names for the library, checks
// of what a user names on the command line, and the raw records for the checks of `verify`.
#ifndef LYRUTIL_TOOLS_AUDIT_FILES_H
#define LYRUTIL_TOOLS_AUDIT_FILES_H

#include <LyrUtil.h>

#include <cstdint>
#include <string>
#include <vector>

// The DOS name of a host file through drive Z: (the whole host tree); throws ToolError when it
// is too long for the suite's 260-byte paths.
std::string DosName(const std::string& hostPath);

// Whether two host names are one existing file (any spelling, links included).
bool SameHostFile(const std::string& a, const std::string& b);

// Throws ToolError unless `hostPath` is a file whose size is a whole number of audit records.
void RequireAuditLog(const std::string& hostPath);

// The whole file; throws ToolError when it cannot be read.
std::string ReadWholeFile(const std::string& hostPath);

// The host path of the backlog of the installation ("error.blg" in the working directory).
std::string BacklogHostPath();

// The backlog's records, and whether each passes its seal (records torn by a crash fail it;
// records written without a seal pass).
struct BacklogRecord {
  LOG_BACKLOG_STRUCT record;
  bool intact;
};
std::vector<BacklogRecord> ReadBacklog();

// Writes `contents` to a temporary file beside `hostPath`, then renames it over `hostPath`: the
// file appears whole or not at all. Throws ToolError.
void WriteFileWhole(const std::string& hostPath, const std::string& contents);
// A temporary name beside `hostPath` for a file that a library call writes, to be renamed into
// place with CommitFile or removed with DiscardFile.
std::string TemporaryNameBeside(const std::string& hostPath);
void CommitFile(const std::string& temporary, const std::string& hostPath);
void DiscardFile(const std::string& temporary);

#endif  // LYRUTIL_TOOLS_AUDIT_FILES_H
