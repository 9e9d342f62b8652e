#include "audit_reader.h"

#include "audit_files.h"
#include "text_encoding.h"
#include "tool_error.h"

#include <lyrhost.h>

#include <cstring>

namespace {

template <size_t N>
void CopyField(char (&field)[N], const char* text) {
  size_t n = strnlen(text, N - 1);
  std::memcpy(field, text, n);
  field[n] = '\0';
}

// The library's masks hold one value: the first.
std::string Mask(const std::vector<std::string>& values) {
  return Utf8ToCp1252(values.front());
}

}  // namespace

void ApplyFilters(const AuditFilters& f, CLyrLog& log) {
  if (!f.user.empty()) log.SetUsrIdMask(Mask(f.user).c_str());
  if (!f.author.empty()) log.SetAuthIdMask(Mask(f.author).c_str());
  if (!f.system.empty()) log.SetSysIdMask(Mask(f.system).c_str());
  if (!f.project.empty()) log.SetPrjIdMask(Mask(f.project).c_str());
  if (!f.sampleId.empty()) log.SetSmpIdMask(Mask(f.sampleId).c_str());
  if (!f.sample.empty()) log.SetSmpNameMask(Mask(f.sample).c_str());
  if (!f.ar.empty()) log.SetARNameMask(Mask(f.ar).c_str());
  if (!f.method.empty()) log.SetMethNameMask(Mask(f.method).c_str());
  if (!f.type.empty()) log.SetMethTypeMask(Mask(f.type).c_str());
  if (f.since) log.SetBeginTimeMask(*f.since);
  if (f.until) log.SetEndTimeMask(*f.until);
}

LOG_ENTRY_STRUCT CopyEntry(CLyrLog& log) {
  LOG_ENTRY_STRUCT e{};
  e.Time = log.GetTime();
  CopyField(e.UsrId, log.GetUsrId());
  CopyField(e.AuthId, log.GetAuthId());
  CopyField(e.SysId, log.GetSysId());
  CopyField(e.PrjId, log.GetPrjId());
  CopyField(e.SmpId, log.GetSmpId());
  CopyField(e.SmpName, log.GetSmpName());
  CopyField(e.ARName, log.GetARName());
  e.Channel = log.GetChannel();
  CopyField(e.MethName, log.GetMethName());
  CopyField(e.MethType, log.GetMethType());
  CopyField(e.SysMess, log.GetSysMess());
  CopyField(e.UsrMess, log.GetUsrMess());
  return e;
}

FileFailureWatch::FileFailureWatch() : start_(LyrFileFailureCount(nullptr)) {}

bool FileFailureWatch::Failed() const {
  return LyrFileFailureCount(nullptr) != start_;
}

std::string ErrorText(DWORD error) {
  switch (error) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return "held by another program beyond the library's retries";
    case ERROR_ACCESS_DENIED:
      return "access denied";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return "the disk is full";
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return "no such file or folder";
    case ERROR_CANCELLED:
      return "cancelled";
    case ERROR_BAD_NETPATH:
      return "the server cannot be reached";
    case ERROR_BAD_NET_NAME:
      return "the server has no such share";
    case ERROR_NETNAME_DELETED:
    case ERROR_UNEXP_NET_ERR:
      return "the connection to the server was lost";
    case ERROR_SEM_TIMEOUT:
      return "the server did not answer in time";
    case ERROR_LOGON_FAILURE:
      return "the server refused the login (lyrutil install --network-login)";
    default:
      return "error " + std::to_string(error);
  }
}

std::string LastFileFailureText() {
  DWORD error = 0;
  LyrFileFailureCount(&error);
  return ErrorText(error);
}

bool StartNavigation(CLyrLog& log, const std::string& hostPath) {
  // A log held for a moment makes the open retry and then succeed, and the navigation may still
  // have found nothing: a second start tells that from a log that stays unreadable.
  for (int attempt = 0;; ++attempt) {
    FileFailureWatch watch;
    if (log.SetMask()) return true;
    if (!watch.Failed()) {
      RequireReadableFile(hostPath);  // not removed meanwhile: the library reads that as empty
      return false;
    }
    if (attempt == 1) throw ToolError(hostPath + ": cannot be read: " + LastFileFailureText());
  }
}

bool NextRecord(CLyrLog& log, const std::string& hostPath) {
  if (log.GetNext()) return true;
  for (int attempt = 0; attempt < 2; ++attempt) {
    FileFailureWatch watch;
    if (log.GetNext()) return true;
    if (!watch.Failed()) return false;
  }
  throw ToolError(hostPath + ": could not be read to its end: " + LastFileFailureText());
}

bool NavigationReachedEnd(CLyrLog& log) {
  FileFailureWatch watch;
  return !log.GetNext() && !watch.Failed();
}

struct MergedReader::Source {
  std::unique_ptr<LogCursor> cursor;
  const LOG_ENTRY_STRUCT* current = nullptr;  // the log's next record that passes; null at its end
};

MergedReader::MergedReader(const std::vector<std::string>& hostPaths, const AuditFilters& filters,
                           ReadOrder order)
    : filter_(filters), order_(order) {
  sources_.resize(hostPaths.size());
  for (size_t i = 0; i < hostPaths.size(); ++i)
    sources_[i].cursor = std::make_unique<LogCursor>(hostPaths[i], order);
  for (Source& source : sources_) Advance(source, filter_);
}

MergedReader::~MergedReader() = default;

void MergedReader::Advance(Source& source, const RecordFilter& filter) {
  do {
    source.current = source.cursor->Next();
  } while (source.current != nullptr && !filter.Passes(*source.current));
}

const LOG_ENTRY_STRUCT* MergedReader::Next() {
  if (given_ != nullptr) Advance(*given_, filter_);
  given_ = nullptr;
  for (Source& source : sources_) {
    if (source.current == nullptr) continue;
    const bool better = given_ == nullptr || (order_ == ReadOrder::kOldestFirst
                                                  ? source.current->Time < given_->current->Time
                                                  : source.current->Time >= given_->current->Time);
    if (better) given_ = &source;
  }
  if (given_ == nullptr) return nullptr;
  if (UnterminatedFields(*given_->current)) ++damaged_;
  return given_->current;
}

std::vector<LOG_ENTRY_STRUCT> ReadMerged(const std::vector<std::string>& hostPaths,
                                         const AuditFilters& filters) {
  MergedReader reader(hostPaths, filters);
  std::vector<LOG_ENTRY_STRUCT> records;
  while (const LOG_ENTRY_STRUCT* record = reader.Next()) records.push_back(*record);
  return records;
}
