#include "audit_output.h"

#include "text_encoding.h"
#include "time_text.h"
#include "tool_error.h"

#include <cstring>

namespace {

// A text field as the library reads it: ended inside its field, its last byte never part of it.
template <size_t N>
std::string Field(const char (&field)[N]) {
  return Cp1252ToUtf8(std::string(field, strnlen(field, N - 1)));
}

// A text for a terminal: control bytes written as escapes, so that a line feed cannot pass for
// another record and an escape sequence cannot reach the terminal. A backslash stays as it is
// (DOS paths are full of them).
std::string Shown(const std::string& utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    const bool c1 = c == 0xC2 && i + 1 < utf8.size() &&
                    static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
                    static_cast<unsigned char>(utf8[i + 1]) <= 0x9F;  // U+0080 to U+009F
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F || c1) {
      const unsigned value = c1 ? static_cast<unsigned char>(utf8[++i]) : c;
      static const char kHex[] = "0123456789abcdef";
      out += "\\x";
      out += kHex[value >> 4];
      out += kHex[value & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string Channel(char c) {
  return c ? Cp1252ToUtf8(std::string(1, c)) : std::string();
}

const char* const kColumns[] = {"time",      "user",           "author",      "system",  "project",
                                "sample_id", "sample",         "ar",          "channel", "method",
                                "type",      "system_message", "user_message"};

std::vector<std::string> Columns(const LOG_ENTRY_STRUCT& r) {
  return {IsoTimeText(r.Time), Field(r.UsrId),    Field(r.AuthId),   Field(r.SysId),
          Field(r.PrjId),      Field(r.SmpId),    Field(r.SmpName),  Field(r.ARName),
          Channel(r.Channel),  Field(r.MethName), Field(r.MethType), Field(r.SysMess),
          Field(r.UsrMess)};
}

std::string CsvCell(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

void WriteCsvRow(const std::vector<std::string>& cells, std::ostream& out) {
  for (size_t i = 0; i < cells.size(); ++i) out << (i ? "," : "") << CsvCell(cells[i]);
  out << "\r\n";
}

// One line for people: when, who on which system, the action, and the user's comment.
void WriteTextLine(const LOG_ENTRY_STRUCT& r, bool isoTime, std::ostream& out) {
  const std::string user = Shown(Field(r.UsrId));
  out << (isoTime ? IsoTimeText(r.Time) : LocalTimeText(r.Time)) << "  " << user;
  const std::string author = Shown(Field(r.AuthId));
  if (!author.empty() && author != user) out << " (for " << author << ")";
  out << " @" << Shown(Field(r.SysId));
  std::string where = Shown(Field(r.PrjId));
  const std::string sample = Shown(Field(r.SmpName));
  if (!sample.empty()) where += (where.empty() ? "" : "/") + sample;
  if (!where.empty()) out << " [" << where << "]";
  out << "  " << Shown(Field(r.SysMess));
  const std::string comment = Shown(Field(r.UsrMess));
  if (!comment.empty()) out << " -- " << comment;
  out << "\n";
}

}  // namespace

std::vector<std::string> RecordTexts(const LOG_ENTRY_STRUCT& r) {
  return {Field(r.UsrId),    Field(r.AuthId),  Field(r.SysId),  Field(r.PrjId),
          Field(r.SmpId),    Field(r.SmpName), Field(r.ARName), Field(r.MethName),
          Field(r.MethType), Field(r.SysMess), Field(r.UsrMess)};
}

OutputFormat ParseOutputFormat(const std::string& name) {
  if (name == "text") return OutputFormat::kText;
  if (name == "short-iso") return OutputFormat::kShortIso;
  if (name == "csv") return OutputFormat::kCsv;
  if (name == "json") return OutputFormat::kJson;
  if (name == "jsonl") return OutputFormat::kJsonLines;
  throw ToolError("unknown output format \"" + name + "\" (text, short-iso, csv, json or jsonl)");
}

nlohmann::json RecordJson(const LOG_ENTRY_STRUCT& r) {
  nlohmann::json j;
  j["epoch"] = r.Time;
  std::vector<std::string> cells = Columns(r);
  for (size_t i = 0; i < cells.size(); ++i) j[kColumns[i]] = cells[i];
  return j;
}

void WriteRecordLine(const LOG_ENTRY_STRUCT& record, OutputFormat format, std::ostream& out) {
  switch (format) {
    case OutputFormat::kText:
    case OutputFormat::kShortIso:
      WriteTextLine(record, format == OutputFormat::kShortIso, out);
      break;
    case OutputFormat::kCsv:
      WriteCsvRow(Columns(record), out);
      break;
    case OutputFormat::kJson:
    case OutputFormat::kJsonLines:
      out << RecordJson(record).dump() << "\n";
      break;
  }
}

RecordWriter::RecordWriter(OutputFormat format, std::ostream& out) : format_(format), out_(out) {
  if (format_ == OutputFormat::kCsv)
    WriteCsvRow(std::vector<std::string>(std::begin(kColumns), std::end(kColumns)), out_);
  if (format_ == OutputFormat::kJson) out_ << "[";
}

RecordWriter::~RecordWriter() {
  Finish();
}

// A JSON array laid out as nlohmann's dump(2) lays it out: each object indented by two.
void RecordWriter::Write(const LOG_ENTRY_STRUCT& record) {
  if (format_ != OutputFormat::kJson) {
    WriteRecordLine(record, format_, out_);
    return;
  }
  std::string object = RecordJson(record).dump(2);
  std::string indented = "\n  ";
  for (char c : object) {
    indented += c;
    if (c == '\n') indented += "  ";
  }
  out_ << (first_ ? "" : ",") << indented;
  first_ = false;
}

void RecordWriter::Finish() {
  if (finished_) return;
  finished_ = true;
  if (format_ == OutputFormat::kJson) out_ << (first_ ? "]\n" : "\n]\n");
}

void WriteRecords(const std::vector<LOG_ENTRY_STRUCT>& records, OutputFormat format,
                  std::ostream& out) {
  RecordWriter writer(format, out);
  for (const LOG_ENTRY_STRUCT& r : records) writer.Write(r);
}
