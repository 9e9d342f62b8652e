#include "record_filter.h"

#include "audit_output.h"
#include "text_encoding.h"
#include "tool_error.h"

#include <cstddef>
#include <cstring>

RecordFilter::RecordFilter(const AuditFilters& f) : since_(f.since), until_(f.until) {
  const std::pair<const std::vector<std::string>*, std::pair<size_t, size_t>> fields[] = {
      {&f.user, {offsetof(LOG_ENTRY_STRUCT, UsrId), sizeof LOG_ENTRY_STRUCT::UsrId}},
      {&f.author, {offsetof(LOG_ENTRY_STRUCT, AuthId), sizeof LOG_ENTRY_STRUCT::AuthId}},
      {&f.system, {offsetof(LOG_ENTRY_STRUCT, SysId), sizeof LOG_ENTRY_STRUCT::SysId}},
      {&f.project, {offsetof(LOG_ENTRY_STRUCT, PrjId), sizeof LOG_ENTRY_STRUCT::PrjId}},
      {&f.sampleId, {offsetof(LOG_ENTRY_STRUCT, SmpId), sizeof LOG_ENTRY_STRUCT::SmpId}},
      {&f.sample, {offsetof(LOG_ENTRY_STRUCT, SmpName), sizeof LOG_ENTRY_STRUCT::SmpName}},
      {&f.ar, {offsetof(LOG_ENTRY_STRUCT, ARName), sizeof LOG_ENTRY_STRUCT::ARName}},
      {&f.method, {offsetof(LOG_ENTRY_STRUCT, MethName), sizeof LOG_ENTRY_STRUCT::MethName}},
      {&f.type, {offsetof(LOG_ENTRY_STRUCT, MethType), sizeof LOG_ENTRY_STRUCT::MethType}},
      {&f.action, {offsetof(LOG_ENTRY_STRUCT, SysMess), sizeof LOG_ENTRY_STRUCT::SysMess}},
  };
  for (const auto& [values, where] : fields) {
    if (values->empty()) continue;
    Field field{where.first, where.second, {}};
    for (const std::string& value : *values) field.values.push_back(Utf8ToCp1252(value));
    fields_.push_back(std::move(field));
  }
  if (f.grep.empty()) return;
  try {
    grep_.emplace(f.grep,
                  f.ignoreCase ? std::regex::extended | std::regex::icase : std::regex::extended);
  } catch (const std::regex_error&) {
    throw ToolError("--grep: not a regular expression: " + f.grep);
  }
}

bool RecordFilter::Passes(const LOG_ENTRY_STRUCT& record) const {
  if (since_ && record.Time < *since_) return false;
  if (until_ && record.Time > *until_) return false;
  for (const Field& field : fields_) {
    const std::string text =
        FieldOf(reinterpret_cast<const char*>(&record) + field.offset, field.size).str();
    bool any = false;
    for (const std::string& value : field.values)
      if (lstrcmpiA(text.c_str(), value.c_str()) == 0) any = true;
    if (!any) return false;
  }
  if (!grep_) return true;
  for (const std::string& text : RecordTexts(record))
    if (std::regex_search(text, *grep_)) return true;
  return false;
}
