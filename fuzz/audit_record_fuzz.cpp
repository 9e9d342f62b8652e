// A record read from a log is outside input: any 1216 bytes. Every output format takes it without
// reading or writing past a buffer; JSON and JSON lines parse back with the record's epoch; a
// text line is one line with no control character; the review filter decides without fault.
#include "audit_output.h"
#include "record_filter.h"

#include <LyrUtil.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

namespace {

std::string Written(const LOG_ENTRY_STRUCT& record, OutputFormat format) {
  std::ostringstream out;
  RecordWriter writer(format, out);
  writer.Write(record);
  writer.Write(record);
  writer.Finish();
  return out.str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < sizeof(LOG_ENTRY_STRUCT)) return 0;
  LOG_ENTRY_STRUCT record;
  std::memcpy(&record, data, sizeof record);

  const nlohmann::json array = nlohmann::json::parse(Written(record, OutputFormat::kJson));
  if (array.size() != 2 || array[0]["epoch"] != record.Time || array[0] != array[1]) std::abort();
  std::istringstream lines(Written(record, OutputFormat::kJsonLines));
  for (std::string line; std::getline(lines, line);)
    if (nlohmann::json::parse(line) != array[0]) std::abort();
  for (OutputFormat format : {OutputFormat::kText, OutputFormat::kShortIso}) {
    const std::string text = Written(record, format);
    if (std::count(text.begin(), text.end(), '\n') != 2) std::abort();
    if (std::any_of(text.begin(), text.end(),
                    [](char c) { return c != '\n' && static_cast<unsigned char>(c) < 0x20; }))
      std::abort();
  }
  Written(record, OutputFormat::kCsv);

  // The rest of the input as a user's filter values, any bytes.
  const std::string rest(reinterpret_cast<const char*>(data) + sizeof record, size - sizeof record);
  AuditFilters filters;
  filters.user = {rest};
  filters.action = {rest, "Logged on"};
  RecordFilter(filters).Passes(record);
  return 0;
}
