#include "audit_reader.h"

#include "audit_files.h"
#include "text_encoding.h"

#include <algorithm>
#include <cstring>

namespace {

template <size_t N>
void CopyField(char (&field)[N], const char* text) {
  size_t n = strnlen(text, N - 1);
  std::memcpy(field, text, n);
  field[n] = '\0';
}

std::string Mask(const std::string& utf8) {
  return Utf8ToCp1252(utf8);
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

std::vector<LOG_ENTRY_STRUCT> ReadMatching(const std::string& hostPath,
                                           const AuditFilters& filters) {
  RequireAuditLog(hostPath);
  std::string dos = DosName(hostPath);
  CLyrLog log;
  log.SetFile(&dos[0]);
  ApplyFilters(filters, log);
  std::vector<LOG_ENTRY_STRUCT> records;
  for (int found = log.SetMask(); found; found = log.GetNext()) records.push_back(CopyEntry(log));
  return records;
}

std::vector<LOG_ENTRY_STRUCT> ReadMerged(const std::vector<std::string>& hostPaths,
                                         const AuditFilters& filters) {
  std::vector<LOG_ENTRY_STRUCT> all;
  for (const std::string& path : hostPaths) {
    std::vector<LOG_ENTRY_STRUCT> some = ReadMatching(path, filters);
    all.insert(all.end(), some.begin(), some.end());
  }
  std::stable_sort(
      all.begin(), all.end(),
      [](const LOG_ENTRY_STRUCT& a, const LOG_ENTRY_STRUCT& b) { return a.Time < b.Time; });
  return all;
}
