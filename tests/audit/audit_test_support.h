// Helpers for the audit trail's tests: records written and read as raw bytes.
#ifndef LYRUTIL_TESTS_AUDIT_SUPPORT_H
#define LYRUTIL_TESTS_AUDIT_SUPPORT_H

#include <LyrUtil.h>

#include <cstring>
#include <string>
#include <vector>

inline LOG_ENTRY_STRUCT MakeEntry(int32_t time, const char* usrId, char channel = ' ',
                                  const char* sysMess = "") {
  LOG_ENTRY_STRUCT e;
  std::memset(&e, 0, sizeof e);
  e.Time = time;
  std::strncpy(e.UsrId, usrId, sizeof e.UsrId - 1);
  e.Channel = channel;
  std::strncpy(e.SysMess, sysMess, sizeof e.SysMess - 1);
  return e;
}

inline std::string Bytes(const void* data, size_t size) {
  return std::string(static_cast<const char*>(data), size);
}

// A backlog record parking `entry` for the log at `logPath`, as the backlog file holds it.
inline std::string ParkedBytes(const std::string& logPath, const LOG_ENTRY_STRUCT& entry) {
  LOG_BACKLOG_STRUCT record;
  std::memset(&record, 0, sizeof record);
  std::strncpy(record.LogFile, logPath.c_str(), sizeof record.LogFile - 1);
  record.Entry = entry;
  return Bytes(&record, sizeof record);
}

inline std::vector<LOG_ENTRY_STRUCT> ParseLog(const std::string& bytes) {
  std::vector<LOG_ENTRY_STRUCT> entries(bytes.size() / sizeof(LOG_ENTRY_STRUCT));
  if (!entries.empty())
    std::memcpy(entries.data(), bytes.data(), entries.size() * sizeof(LOG_ENTRY_STRUCT));
  return entries;
}

inline std::vector<LOG_BACKLOG_STRUCT> ParseBacklog(const std::string& bytes) {
  std::vector<LOG_BACKLOG_STRUCT> records(bytes.size() / sizeof(LOG_BACKLOG_STRUCT));
  if (!records.empty())
    std::memcpy(records.data(), bytes.data(), records.size() * sizeof(LOG_BACKLOG_STRUCT));
  return records;
}

#endif  // LYRUTIL_TESTS_AUDIT_SUPPORT_H
