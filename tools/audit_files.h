// Audit logs and the backlog as files: host names turned into DOS names for the library, checks
// of what a user names on the command line, and the raw records for the checks of `verify`.
#ifndef LYRUTIL_TOOLS_AUDIT_FILES_H
#define LYRUTIL_TOOLS_AUDIT_FILES_H

#include <LyrUtil.h>

#include <cstddef>
#include <cstdint>
#include <sys/types.h>
#include <string>
#include <vector>

// Whether a path names a file on a network share (\\server\share\..., or with slashes), which
// the tool reaches through the library's stand-in rather than the host's file system.
bool IsNetworkName(const std::string& path);

// The DOS name of a host file through drive Z: (the whole host tree). Throws ToolError when the
// suite could not name exactly this file: a path too long for its 260-byte paths, a name the DOS
// layer takes for a device (con, nul, com1, ... with any extension) or splits (a backslash), a
// character DOS names cannot hold, or a name ending in a dot or a space, which DOS drops. A
// network name is its own DOS name.
std::string DosName(const std::string& hostPath);

// Whether two host names are one existing file (any spelling, links included).
bool SameHostFile(const std::string& a, const std::string& b);

// Throws ToolError unless `hostPath` is a regular file this process may read (checked at once:
// the library would retry an unreadable log for five seconds and then read nothing). Returns its
// size.
off_t RequireReadableFile(const std::string& hostPath);

// Throws ToolError unless `hostPath` is a readable regular file whose size is a whole number of
// audit records. Returns its size.
off_t RequireAuditLog(const std::string& hostPath);

// The size of a host file; 0 when it cannot be read.
off_t HostFileSize(const std::string& hostPath);

// The whole records a log holds now; 0 when it cannot be read.
off_t RecordsInLog(const std::string& hostPath);

// How many text fields of the record are not ended inside their field: 0 for a record as the
// suite writes it.
int UnterminatedFields(const LOG_ENTRY_STRUCT& r);

// Throws ToolError unless `hostPath` is a file the library may append audit records to: missing,
// or an audit log whose first and last records read as records (their texts end inside their
// fields). A text file that happens to be a multiple of 1216 bytes long fails the second test.
void RequireAppendableLog(const std::string& hostPath);

// The whole of a regular file of at most `maxBytes` ("-": standard input, as much as that);
// throws ToolError for a device, a FIFO, a folder, a larger file or a read error.
std::string ReadWholeFile(const std::string& hostPath, size_t maxBytes = SIZE_MAX);

// The backlog's records ("error.blg" in the working directory), and whether each passes its seal
// (records torn by a crash fail it; records written without a seal pass).
struct BacklogRecord {
  LOG_BACKLOG_STRUCT record;
  bool intact;
};
std::vector<BacklogRecord> ReadBacklog();

#endif  // LYRUTIL_TOOLS_AUDIT_FILES_H
