#include "log_loads.h"

#include "audit_files.h"
#include "audit_reader.h"
#include "tool_error.h"

#include <lyrhost.h>

#include <algorithm>

namespace {

// The library's readers open a log for reading with no sharing.
constexpr unsigned short kOpenRead = CFile::modeRead | CFile::shareExclusive;
constexpr int64_t kRecordBytes = sizeof(LOG_ENTRY_STRUCT);

}  // namespace

LogLoads::LogLoads(const std::string& hostPath, TornTail tail)
    : host_(hostPath),
      dos_(DosName(hostPath)),
      records_(
          (tail == TornTail::kRefused ? RequireAuditLog(hostPath) : RequireReadableFile(hostPath)) /
          kRecordBytes) {}

size_t LogLoads::Read(int64_t first, size_t count, LOG_ENTRY_STRUCT* into) {
  const auto fail = [&](const std::string& reason) {
    return ToolError(
        host_ + (readAny_ ? ": could not be read to its end: " : ": cannot be read: ") + reason);
  };
  CFile file;
  if (LyrOpenFile(&file, &dos_[0], kOpenRead) != 0) {
    RequireReadableFile(host_);  // removed meanwhile: say so rather than "held"
    throw fail(LastFileFailureText());
  }
  UINT read = 0;
  try {
    file.Seek(first * kRecordBytes, CFile::begin);
    read = file.Read(into, static_cast<UINT>(count * kRecordBytes));
    file.Close();
  } catch (CFileException* e) {
    const DWORD error = static_cast<DWORD>(e->m_lOsError);
    e->Delete();
    file.Abort();
    throw fail(ErrorText(error));
  }
  readAny_ = true;
  return read / kRecordBytes;
}

LogCursor::LogCursor(const std::string& hostPath, ReadOrder order, TornTail tail)
    : log_(hostPath, tail),
      order_(order),
      next_(order == ReadOrder::kOldestFirst ? 0 : log_.Records()) {}

const LOG_ENTRY_STRUCT* LogCursor::Next() {
  if (used_ == inLoad_) {
    if (load_.empty()) load_.resize(kLoadRecords);
    used_ = 0;
    if (order_ == ReadOrder::kOldestFirst) {
      // Records appended while the walk goes on are left out: the walk is of the log as it was.
      const int64_t left = log_.Records() - next_;
      inLoad_ =
          left <= 0 ? 0 : log_.Read(next_, std::min<int64_t>(left, kLoadRecords), load_.data());
      next_ += static_cast<int64_t>(inLoad_);
    } else {
      const int64_t first = std::max<int64_t>(0, next_ - static_cast<int64_t>(kLoadRecords));
      const size_t wanted = static_cast<size_t>(next_ - first);
      inLoad_ = wanted == 0 ? 0 : log_.Read(first, wanted, load_.data());
      if (inLoad_ != wanted)
        throw ToolError(log_.HostPath() + ": became shorter while it was read");
      next_ = first;
    }
    if (inLoad_ == 0) return nullptr;
  }
  const size_t at = order_ == ReadOrder::kOldestFirst ? used_ : inLoad_ - 1 - used_;
  ++used_;
  return &load_[at];
}
