// Audit records written out for people (text) and for programs (CSV, JSON, JSON lines).
#ifndef LYRUTIL_TOOLS_AUDIT_OUTPUT_H
#define LYRUTIL_TOOLS_AUDIT_OUTPUT_H

#include <LyrUtil.h>

#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

// A text field of a record as the library reads it: ended inside its field, its last byte never
// part of the text, even where the file's bytes carry no terminator.
struct FieldText {
  const char* text;
  size_t size;
  std::string str() const { return std::string(text, size); }
};
inline FieldText FieldOf(const char* field, size_t fieldSize) {
  return {field, strnlen(field, fieldSize - 1)};
}
template <size_t N>
FieldText FieldOf(const char (&field)[N]) {
  return FieldOf(field, N);
}

// kShortIso is the text line with the time in ISO 8601 with its zone offset, which tells apart
// the two hours that share a wall-clock time when summer time ends.
enum class OutputFormat { kText, kShortIso, kCsv, kJson, kJsonLines };

// Reads "text", "short-iso", "csv", "json" or "jsonl"; throws ToolError otherwise.
OutputFormat ParseOutputFormat(const std::string& name);

// The record's eleven text fields in UTF-8, as the other outputs show them (no time, no channel).
std::vector<std::string> RecordTexts(const LOG_ENTRY_STRUCT& record);

// Writes records as they come, gathered in loads of 64 KB: CSV starts with its header line, JSON
// is one array (closed by Finish or the destructor), the other formats a line each. JSON objects
// hold "epoch" (seconds since 1970) and then the CSV columns in their order, "time" the local
// time in ISO 8601 with its offset, texts in UTF-8. Finish writes what is gathered; a writer
// destroyed without it, by an error, writes it too.
class RecordWriter {
 public:
  RecordWriter(OutputFormat format, std::ostream& out);
  ~RecordWriter();
  RecordWriter(const RecordWriter&) = delete;
  RecordWriter& operator=(const RecordWriter&) = delete;
  void Write(const LOG_ENTRY_STRUCT& record);
  void Finish();

 private:
  void Drain();
  OutputFormat format_;
  std::ostream& out_;
  bool first_ = true;
  bool finished_ = false;
  std::unique_ptr<char[]> buffer_;  // what is gathered, up to a load and one more record
  size_t used_ = 0;
  std::string line_;  // a text or CSV line before it joins the buffer
};

// Writes the records with a RecordWriter.
void WriteRecords(const std::vector<LOG_ENTRY_STRUCT>& records, OutputFormat format,
                  std::ostream& out);
// One record as a line of its format (text, CSV row, JSON line), for following a log.
void WriteRecordLine(const LOG_ENTRY_STRUCT& record, OutputFormat format, std::ostream& out);

#endif  // LYRUTIL_TOOLS_AUDIT_OUTPUT_H
