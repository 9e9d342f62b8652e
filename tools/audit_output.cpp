#include "audit_output.h"

#include "text_encoding.h"
#include "time_text.h"
#include "tool_error.h"

#include <array>
#include <cstring>
#include <iterator>

namespace {

// A text field as the library reads it: ended inside its field, its last byte never part of it.
struct FieldText {
  const char* text;
  size_t size;
};

template <size_t N>
FieldText Of(const char (&field)[N]) {
  return {field, strnlen(field, N - 1)};
}

bool Same(FieldText a, FieldText b) {
  return a.size == b.size && std::memcmp(a.text, b.text, a.size) == 0;
}

const char kHex[] = "0123456789abcdef";

// A text for a terminal, in UTF-8: control characters written as escapes, so that a line feed
// cannot pass for another record and an escape sequence cannot reach the terminal. The bytes code
// page 1252 leaves undefined stand for C1 controls and are escaped too. A backslash stays as it
// is (DOS paths are full of them).
void AppendShown(FieldText field, std::string* out) {
  for (size_t i = 0; i < field.size; ++i) {
    size_t run = i;  // printable ASCII goes out as it is, a run in one piece
    while (run < field.size && field.text[run] >= 0x20 && field.text[run] < 0x7F) ++run;
    out->append(field.text + i, run - i);
    if (run == field.size) break;
    i = run;
    const unsigned char c = static_cast<unsigned char>(field.text[i]);
    const uint32_t cp = Cp1252CodePoint(c);
    if (c == '\n') {
      out->append("\\n");
    } else if (c == '\r') {
      out->append("\\r");
    } else if (c == '\t') {
      out->append("\\t");
    } else if (cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp <= 0x9F)) {
      out->append("\\x");
      out->push_back(kHex[cp >> 4]);
      out->push_back(kHex[cp & 15]);
    } else {
      AppendUtf8(cp, out);
    }
  }
}

bool IsPlainJson(unsigned char c) {
  return c >= 0x20 && c < 0x80 && c != '"' && c != '\\';
}

// A text as a JSON string, quotes included.
void AppendJsonString(FieldText field, std::string* out) {
  out->push_back('"');
  for (size_t i = 0; i < field.size; ++i) {
    // Most texts are plain ASCII: a run of it is appended in one piece.
    size_t run = i;
    while (run < field.size && IsPlainJson(static_cast<unsigned char>(field.text[run]))) ++run;
    out->append(field.text + i, run - i);
    if (run == field.size) break;
    i = run;
    const unsigned char c = static_cast<unsigned char>(field.text[i]);
    switch (c) {
      case '"':
        out->append("\\\"");
        break;
      case '\\':
        out->append("\\\\");
        break;
      case '\n':
        out->append("\\n");
        break;
      case '\r':
        out->append("\\r");
        break;
      case '\t':
        out->append("\\t");
        break;
      default:
        if (c < 0x20) {
          out->append("\\u00");
          out->push_back(kHex[c >> 4]);
          out->push_back(kHex[c & 15]);
        } else {
          AppendUtf8(Cp1252CodePoint(c), out);
        }
    }
  }
  out->push_back('"');
}

// A text as a CSV cell: quoted when it holds a comma, a quote or a line break.
void AppendCsvCell(const std::string& utf8, std::string* out) {
  if (utf8.find_first_of(",\"\r\n") == std::string::npos) {
    out->append(utf8);
    return;
  }
  out->push_back('"');
  for (char c : utf8) {
    if (c == '"') out->push_back('"');
    out->push_back(c);
  }
  out->push_back('"');
}

std::string Utf8(FieldText field) {
  return Cp1252ToUtf8(std::string(field.text, field.size));
}

const char* const kColumns[] = {"time",      "user",           "author",      "system",  "project",
                                "sample_id", "sample",         "ar",          "channel", "method",
                                "type",      "system_message", "user_message"};

// The record's columns after the time, in kColumns' order.
std::array<FieldText, 12> Texts(const LOG_ENTRY_STRUCT& r) {
  return {Of(r.UsrId),    Of(r.AuthId),   Of(r.SysId),   Of(r.PrjId),
          Of(r.SmpId),    Of(r.SmpName),  Of(r.ARName),  {&r.Channel, r.Channel ? 1u : 0u},
          Of(r.MethName), Of(r.MethType), Of(r.SysMess), Of(r.UsrMess)};
}

void AppendCsvRow(const LOG_ENTRY_STRUCT& r, std::string* out) {
  AppendCsvCell(IsoTimeText(r.Time), out);
  for (FieldText text : Texts(r)) {
    out->push_back(',');
    AppendCsvCell(Utf8(text), out);
  }
  out->append("\r\n");
}

void AppendDecimal(int32_t value, std::string* out) {
  char digits[12];
  size_t at = sizeof digits;
  uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
  do {
    digits[--at] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) digits[--at] = '-';
  out->append(digits + at, sizeof digits - at);
}

// What comes before each member's value in the two layouts: `"key":` on one line, or on a line
// of its own in an object indented by two.
struct MemberPrefixes {
  std::string line[std::size(kColumns) + 1];
  std::string indented[std::size(kColumns) + 1];
  MemberPrefixes() {
    for (size_t i = 0; i <= std::size(kColumns); ++i) {
      const std::string key = i == 0 ? "epoch" : kColumns[i - 1];
      line[i] = (i == 0 ? "{\"" : ",\"") + key + "\":";
      indented[i] = (i == 0 ? "{\n    \"" : ",\n    \"") + key + "\": ";
    }
  }
};

void AppendJsonObject(const LOG_ENTRY_STRUCT& r, bool indented, std::string* out) {
  static const MemberPrefixes kPrefixes;
  const std::string* prefix = indented ? kPrefixes.indented : kPrefixes.line;
  out->append(prefix[0]);
  AppendDecimal(r.Time, out);
  out->append(prefix[1]);
  out->push_back('"');
  AppendIsoTimeText(r.Time, out);
  out->push_back('"');
  const std::array<FieldText, 12> texts = Texts(r);
  for (size_t i = 0; i < texts.size(); ++i) {
    out->append(prefix[i + 2]);
    AppendJsonString(texts[i], out);
  }
  out->append(indented ? "\n  }" : "}");
}

// One line for people: when, who on which system, the action, and the user's comment.
void AppendTextLine(const LOG_ENTRY_STRUCT& r, bool isoTime, std::string* out) {
  if (isoTime)
    AppendIsoTimeText(r.Time, out);
  else
    AppendLocalTimeText(r.Time, out);
  out->append("  ");
  AppendShown(Of(r.UsrId), out);
  if (Of(r.AuthId).size != 0 && !Same(Of(r.AuthId), Of(r.UsrId))) {
    out->append(" (for ");
    AppendShown(Of(r.AuthId), out);
    out->push_back(')');
  }
  out->append(" @");
  AppendShown(Of(r.SysId), out);
  const FieldText project = Of(r.PrjId);
  const FieldText sample = Of(r.SmpName);
  if (project.size != 0 || sample.size != 0) {
    out->append(" [");
    AppendShown(project, out);
    if (project.size != 0 && sample.size != 0) out->push_back('/');
    AppendShown(sample, out);
    out->push_back(']');
  }
  out->append("  ");
  AppendShown(Of(r.SysMess), out);
  if (Of(r.UsrMess).size != 0) {
    out->append(" -- ");
    AppendShown(Of(r.UsrMess), out);
  }
  out->push_back('\n');
}

void AppendRecordLine(const LOG_ENTRY_STRUCT& record, OutputFormat format, std::string* out) {
  switch (format) {
    case OutputFormat::kText:
    case OutputFormat::kShortIso:
      AppendTextLine(record, format == OutputFormat::kShortIso, out);
      break;
    case OutputFormat::kCsv:
      AppendCsvRow(record, out);
      break;
    case OutputFormat::kJson:
    case OutputFormat::kJsonLines:
      AppendJsonObject(record, false, out);
      out->push_back('\n');
      break;
  }
}

// Output is gathered in loads of this size, written with one call each.
constexpr size_t kOutputLoad = 64 * 1024;

}  // namespace

std::vector<std::string> RecordTexts(const LOG_ENTRY_STRUCT& r) {
  return {Utf8(Of(r.UsrId)),    Utf8(Of(r.AuthId)),  Utf8(Of(r.SysId)),  Utf8(Of(r.PrjId)),
          Utf8(Of(r.SmpId)),    Utf8(Of(r.SmpName)), Utf8(Of(r.ARName)), Utf8(Of(r.MethName)),
          Utf8(Of(r.MethType)), Utf8(Of(r.SysMess)), Utf8(Of(r.UsrMess))};
}

OutputFormat ParseOutputFormat(const std::string& name) {
  if (name == "text") return OutputFormat::kText;
  if (name == "short-iso") return OutputFormat::kShortIso;
  if (name == "csv") return OutputFormat::kCsv;
  if (name == "json") return OutputFormat::kJson;
  if (name == "jsonl") return OutputFormat::kJsonLines;
  throw ToolError("unknown output format \"" + name + "\" (text, short-iso, csv, json or jsonl)");
}

void WriteRecordLine(const LOG_ENTRY_STRUCT& record, OutputFormat format, std::ostream& out) {
  std::string line;
  AppendRecordLine(record, format, &line);
  out.write(line.data(), static_cast<std::streamsize>(line.size()));
}

RecordWriter::RecordWriter(OutputFormat format, std::ostream& out) : format_(format), out_(out) {
  buffer_.reserve(kOutputLoad + 4096);
  if (format_ == OutputFormat::kCsv) {
    for (const char* column : kColumns) buffer_.append(buffer_.empty() ? "" : ",").append(column);
    buffer_.append("\r\n");
  }
  if (format_ == OutputFormat::kJson) buffer_.push_back('[');
}

RecordWriter::~RecordWriter() {
  Finish();
}

// A JSON array of objects, each member on a line of its own.
void RecordWriter::Write(const LOG_ENTRY_STRUCT& record) {
  if (format_ == OutputFormat::kJson) {
    buffer_.append(first_ ? "\n  " : ",\n  ");
    AppendJsonObject(record, true, &buffer_);
  } else {
    AppendRecordLine(record, format_, &buffer_);
  }
  first_ = false;
  if (buffer_.size() >= kOutputLoad) Drain();
}

void RecordWriter::Drain() {
  out_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
  buffer_.clear();
}

void RecordWriter::Finish() {
  if (finished_) return;
  finished_ = true;
  if (format_ == OutputFormat::kJson) buffer_.append(first_ ? "]\n" : "\n]\n");
  Drain();
}

void WriteRecords(const std::vector<LOG_ENTRY_STRUCT>& records, OutputFormat format,
                  std::ostream& out) {
  RecordWriter writer(format, out);
  for (const LOG_ENTRY_STRUCT& r : records) writer.Write(r);
}
