#include "audit_output.h"

#include "text_encoding.h"
#include "time_text.h"
#include "tool_error.h"

#include <array>
#include <cstring>
#include <iterator>

namespace {

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

char* Put(const char* text, size_t size, char* p) {
  std::memcpy(p, text, size);
  return p + size;
}

char* Put(const std::string& text, char* p) {
  return Put(text.data(), text.size(), p);
}

// A text as a JSON string, quotes included: at most six characters a byte and the quotes.
char* PutJsonString(FieldText field, char* p) {
  *p++ = '"';
  for (size_t i = 0; i < field.size; ++i) {
    // Most texts are plain ASCII: a run of it is copied in one piece.
    size_t run = i;
    while (run < field.size && IsPlainJson(static_cast<unsigned char>(field.text[run]))) ++run;
    p = Put(field.text + i, run - i, p);
    if (run == field.size) break;
    i = run;
    const unsigned char c = static_cast<unsigned char>(field.text[i]);
    const char* escape = c == '"'    ? "\\\""
                         : c == '\\' ? "\\\\"
                         : c == '\n' ? "\\n"
                         : c == '\r' ? "\\r"
                         : c == '\t' ? "\\t"
                                     : nullptr;
    if (escape != nullptr) {
      p = Put(escape, 2, p);
    } else if (c < 0x20) {
      p = Put("\\u00", 4, p);
      *p++ = kHex[c >> 4];
      *p++ = kHex[c & 15];
    } else {
      const uint32_t cp = Cp1252CodePoint(c);  // U+0080 to U+FFFF: two or three bytes
      if (cp < 0x800) {
        *p++ = static_cast<char>(0xC0 | (cp >> 6));
      } else {
        *p++ = static_cast<char>(0xE0 | (cp >> 12));
        *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      }
      *p++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  *p++ = '"';
  return p;
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
  return {FieldOf(r.UsrId),    FieldOf(r.AuthId),
          FieldOf(r.SysId),    FieldOf(r.PrjId),
          FieldOf(r.SmpId),    FieldOf(r.SmpName),
          FieldOf(r.ARName),   {&r.Channel, r.Channel ? 1u : 0u},
          FieldOf(r.MethName), FieldOf(r.MethType),
          FieldOf(r.SysMess),  FieldOf(r.UsrMess)};
}

void AppendCsvRow(const LOG_ENTRY_STRUCT& r, std::string* out) {
  AppendCsvCell(IsoTimeText(r.Time), out);
  for (FieldText text : Texts(r)) {
    out->push_back(',');
    AppendCsvCell(Utf8(text), out);
  }
  out->append("\r\n");
}

char* PutDecimal(int32_t value, char* p) {
  char digits[12];
  size_t at = sizeof digits;
  uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
  do {
    digits[--at] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) digits[--at] = '-';
  return Put(digits + at, sizeof digits - at, p);
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

// The most a record takes as a JSON object: six characters for each byte of its texts, and the
// members' names, the time and the layout.
constexpr size_t kMaxJsonObject = 6 * sizeof(LOG_ENTRY_STRUCT) + 1024;

char* PutJsonObject(const LOG_ENTRY_STRUCT& r, bool indented, char* p) {
  static const MemberPrefixes kPrefixes;
  const std::string* prefix = indented ? kPrefixes.indented : kPrefixes.line;
  p = Put(prefix[0], p);
  p = PutDecimal(r.Time, p);
  p = Put(prefix[1], p);
  *p++ = '"';
  p += PutIsoTimeText(r.Time, p);
  *p++ = '"';
  const std::array<FieldText, 12> texts = Texts(r);
  for (size_t i = 0; i < texts.size(); ++i) {
    p = Put(prefix[i + 2], p);
    p = PutJsonString(texts[i], p);
  }
  return indented ? Put("\n  }", 4, p) : Put("}", 1, p);
}

// One line for people: when, who on which system, the action, and the user's comment.
void AppendTextLine(const LOG_ENTRY_STRUCT& r, bool isoTime, std::string* out) {
  if (isoTime)
    AppendIsoTimeText(r.Time, out);
  else
    AppendLocalTimeText(r.Time, out);
  out->append("  ");
  AppendShown(FieldOf(r.UsrId), out);
  if (FieldOf(r.AuthId).size != 0 && !Same(FieldOf(r.AuthId), FieldOf(r.UsrId))) {
    out->append(" (for ");
    AppendShown(FieldOf(r.AuthId), out);
    out->push_back(')');
  }
  out->append(" @");
  AppendShown(FieldOf(r.SysId), out);
  const FieldText project = FieldOf(r.PrjId);
  const FieldText sample = FieldOf(r.SmpName);
  if (project.size != 0 || sample.size != 0) {
    out->append(" [");
    AppendShown(project, out);
    if (project.size != 0 && sample.size != 0) out->push_back('/');
    AppendShown(sample, out);
    out->push_back(']');
  }
  out->append("  ");
  AppendShown(FieldOf(r.SysMess), out);
  if (FieldOf(r.UsrMess).size != 0) {
    out->append(" -- ");
    AppendShown(FieldOf(r.UsrMess), out);
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
    case OutputFormat::kJsonLines: {
      char object[kMaxJsonObject];
      out->append(object, static_cast<size_t>(PutJsonObject(record, false, object) - object));
      out->push_back('\n');
      break;
    }
  }
}

// Output is gathered in loads of this size, written with one call each.
constexpr size_t kOutputLoad = 64 * 1024;

}  // namespace

std::vector<std::string> RecordTexts(const LOG_ENTRY_STRUCT& r) {
  return {Utf8(FieldOf(r.UsrId)),   Utf8(FieldOf(r.AuthId)),   Utf8(FieldOf(r.SysId)),
          Utf8(FieldOf(r.PrjId)),   Utf8(FieldOf(r.SmpId)),    Utf8(FieldOf(r.SmpName)),
          Utf8(FieldOf(r.ARName)),  Utf8(FieldOf(r.MethName)), Utf8(FieldOf(r.MethType)),
          Utf8(FieldOf(r.SysMess)), Utf8(FieldOf(r.UsrMess))};
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

// Room for a whole load and one more record in any format (a text or CSV line is shorter than
// a JSON object).
constexpr size_t kWriterBytes = kOutputLoad + kMaxJsonObject + 16;

RecordWriter::RecordWriter(OutputFormat format, std::ostream& out)
    : format_(format), out_(out), buffer_(new char[kWriterBytes]) {
  if (format_ == OutputFormat::kCsv) {
    std::string header;
    for (const char* column : kColumns) header.append(header.empty() ? "" : ",").append(column);
    header.append("\r\n");
    used_ = static_cast<size_t>(Put(header, buffer_.get()) - buffer_.get());
  }
  if (format_ == OutputFormat::kJson) buffer_[used_++] = '[';
}

RecordWriter::~RecordWriter() {
  Finish();
}

// A JSON array of objects, each member on a line of its own.
void RecordWriter::Write(const LOG_ENTRY_STRUCT& record) {
  char* p = buffer_.get() + used_;
  switch (format_) {
    case OutputFormat::kJson:
      p = Put(first_ ? "\n  " : ",\n  ", first_ ? 3 : 4, p);
      p = PutJsonObject(record, true, p);
      break;
    case OutputFormat::kJsonLines:
      p = PutJsonObject(record, false, p);
      *p++ = '\n';
      break;
    default:
      line_.clear();
      AppendRecordLine(record, format_, &line_);
      p = Put(line_, p);
  }
  used_ = static_cast<size_t>(p - buffer_.get());
  first_ = false;
  if (used_ >= kOutputLoad) Drain();
}

void RecordWriter::Drain() {
  out_.write(buffer_.get(), static_cast<std::streamsize>(used_));
  used_ = 0;
}

void RecordWriter::Finish() {
  if (finished_) return;
  finished_ = true;
  if (format_ == OutputFormat::kJson) {
    const char* end = first_ ? "]\n" : "\n]\n";
    used_ = static_cast<size_t>(Put(end, std::strlen(end), buffer_.get() + used_) - buffer_.get());
  }
  Drain();
}

void WriteRecords(const std::vector<LOG_ENTRY_STRUCT>& records, OutputFormat format,
                  std::ostream& out) {
  RecordWriter writer(format, out);
  for (const LOG_ENTRY_STRUCT& r : records) writer.Write(r);
}
