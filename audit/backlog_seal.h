// A seal on backlog records, so that a record torn by a crash while the backlog was rewritten is
// recognised and never moved into a log as a garbled entry.
//
// The record format leaves the bytes after the log path's terminator undefined; when the path
// leaves room, the seal sits there: the four bytes "LYRC" and a CRC-32 of the path and the entry.
// Readers of other makes ignore those bytes, and records without a seal are taken as they are.
#ifndef LYRUTIL_BACKLOG_SEAL_H
#define LYRUTIL_BACKLOG_SEAL_H

#include <LyrUtil.h>

namespace lyrutil {

void SealBacklogRecord(LOG_BACKLOG_STRUCT* record);
// False for a record whose seal does not match its contents, or whose path is not terminated.
bool BacklogRecordIntact(const LOG_BACKLOG_STRUCT& record);

}  // namespace lyrutil

#endif  // LYRUTIL_BACKLOG_SEAL_H
