// Constants and small helpers shared by the audit trail's units.
#ifndef LYRUTIL_AUDIT_FILES_H
#define LYRUTIL_AUDIT_FILES_H

#include <LyrUtil.h>

#include <string>

namespace lyrutil {

constexpr UINT kEntryBytes = sizeof(LOG_ENTRY_STRUCT);
constexpr UINT kBacklogRecordBytes = sizeof(LOG_BACKLOG_STRUCT);
constexpr unsigned short kBufferRecords = 53;
constexpr unsigned short kBufferEmpty = 99;

// The MFC open flags of the audit trail. The creating open keeps a file that another party made
// between the existence test and the open (modeNoTruncate), where a plain modeCreate would empty
// it.
constexpr unsigned short kOpenRead = CFile::modeRead | CFile::shareExclusive;            // 16
constexpr unsigned short kOpenWrite = CFile::modeWrite | CFile::shareExclusive;          // 17
constexpr unsigned short kOpenReadWrite = CFile::modeReadWrite | CFile::shareExclusive;  // 18
constexpr unsigned short kOpenCreate =
    CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite | CFile::shareExclusive;  // 4113+
// A log that is sealed is read back while it is held, to seal what was appended.
constexpr unsigned short kOpenCreateReadWrite =
    CFile::modeCreate | CFile::modeNoTruncate | CFile::modeReadWrite | CFile::shareExclusive;

// Cuts a file back to `length` after a failed write, so that no partial record stays; false when
// the cut itself failed (no exception: the caller is already on its failure path).
bool CutBack(CFile& file, ULONGLONG length);

// Every text field of an entry read from a file ends inside its field, even when the file's
// bytes did not: a field without a terminator is cut to its size less one, as a writer cuts.
void TerminateFields(LOG_ENTRY_STRUCT* entry);

// The backlog's path, "error.blg" in the working directory (read from the installation's
// settings), in a buffer of the caller's: an append costs no allocation for it. The working
// directory is at most 255 characters.
constexpr size_t kBacklogPathBytes = 256 + sizeof "\\error.blg";
void BacklogPath(char (&path)[kBacklogPathBytes]);

}  // namespace lyrutil

#endif  // LYRUTIL_AUDIT_FILES_H
