// Audit records written out for people (text) and for programs (CSV, JSON, JSON lines).
#ifndef LYRUTIL_TOOLS_AUDIT_OUTPUT_H
#define LYRUTIL_TOOLS_AUDIT_OUTPUT_H

#include <LyrUtil.h>

#include <nlohmann/json.hpp>

#include <ostream>
#include <string>
#include <vector>

enum class OutputFormat { kText, kCsv, kJson, kJsonLines };

// Reads "text", "csv", "json" or "jsonl"; throws ToolError otherwise.
OutputFormat ParseOutputFormat(const std::string& name);

// A record as a JSON object: the time as seconds and as local ISO 8601 text, texts in UTF-8.
nlohmann::json RecordJson(const LOG_ENTRY_STRUCT& record);

// Writes the records; CSV starts with its header line, JSON is one array.
void WriteRecords(const std::vector<LOG_ENTRY_STRUCT>& records, OutputFormat format,
                  std::ostream& out);
// One record as a line of its format (text, CSV row, JSON line), for following a log.
void WriteRecordLine(const LOG_ENTRY_STRUCT& record, OutputFormat format, std::ostream& out);

#endif  // LYRUTIL_TOOLS_AUDIT_OUTPUT_H
