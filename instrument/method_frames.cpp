// Decoding the instrument's packed method frames: numbers separated by ";", then optionally a
// time table of programmed events and a name text.
//
// Frames come from an instrument and from files people edit, so every frame is checked before
// anything is stored: a frame that breaks the format (a field of more than 9 characters, fewer
// fixed fields than its kind has) is refused whole and fills nothing. A time table that does not
// fit the event table (more than 15 events, more than 511 characters, a field of more than 9
// characters) is not valid: no event is read, as for any invalid table.
#include <LyrUtil.h>

#include <cstring>
#include <string>
#include <vector>

#include "numeric/numeric_text.h"

namespace {

constexpr size_t kMaxField = 9;
constexpr size_t kMaxTail = 511;
constexpr size_t kMaxEvents = 15;
constexpr size_t kMaxName = 19;
constexpr int kFullFields = 18;
constexpr int kShortFields = 13;
constexpr double kPascalsToPsi = 0.00014503683935719673;  // 1 / 6894.8

// The fields of a frame: each the text before a ';' (or before the end, for the last).
struct Field {
  std::string text;
  bool closed;  // ended with ';'
};

// Splits `text` from `start` into at most `count` fields; stops early at the end of the text.
std::vector<Field> Fields(const std::string& text, size_t* position, int count) {
  std::vector<Field> fields;
  while (static_cast<int>(fields.size()) < count && *position < text.size()) {
    size_t end = text.find(';', *position);
    if (end == std::string::npos) {
      fields.push_back({text.substr(*position), false});
      *position = text.size();
    } else {
      fields.push_back({text.substr(*position, end - *position), true});
      *position = end + 1;
    }
  }
  return fields;
}

bool FieldsFit(const std::vector<Field>& fields) {
  for (const Field& f : fields) {
    if (f.text.size() > kMaxField) return false;
  }
  return true;
}

int32_t Int(const Field& f) {
  return static_cast<int32_t>(lyrutil::ClassicAtol(f.text.c_str()));
}
double Real(const Field& f) {
  return lyrutil::ClassicAtof(f.text.c_str());
}

bool IsEventCode(char c) {
  return c == 'P' || c == 'T' || c == 'S';
}

// The time table's triples, when the text is one that the event table can hold.
bool ReadEvents(const std::string& table, std::vector<Field>* triples) {
  if (table.size() > kMaxTail) return false;
  std::vector<char> copy(table.begin(), table.end());
  copy.push_back('\0');
  if (!CheckTTValid(copy.data())) return false;
  size_t position = 0;
  *triples = Fields(table, &position, static_cast<int>(kMaxEvents * 3 + 1));
  return triples->size() <= kMaxEvents * 3 && FieldsFit(*triples);
}

void UnzipFull(const std::string& frame, Q7400Struct& m, __structProgPressTemp& events) {
  size_t position = 0;
  std::vector<Field> f = Fields(frame, &position, kFullFields);
  // A frame that ends right after field 17's ';' has an empty field 18.
  if (f.size() == kFullFields - 1 && f.back().closed) f.push_back({"", false});
  if (f.size() < kFullFields || !FieldsFit(f)) return;
  for (int i = 0; i < kFullFields - 1; ++i) {
    if (!f[i].closed) return;
  }
  m.nField1 = Int(f[0]);
  m.dField2 = Real(f[1]);
  m.nField3 = Int(f[2]);
  m.dField4 = Real(f[3]);
  m.nField5 = Int(f[4]);
  m.dField6 = Real(f[5]);
  m.dField7 = Real(f[6]);
  m.dField8 = Real(f[7]);
  m.dField9 = Real(f[8]);
  m.dField10 = Real(f[9]);
  m.dField11 = Real(f[10]);
  if (m.dField11 > 0.0) m.bField11Positive = 1;
  m.nField12 = Int(f[11]);
  m.nField13 = Int(f[12]);
  m.dField14 = Real(f[13]);
  m.dField15 = Real(f[14]);
  m.dField16 = Real(f[15]);
  m.dField17 = Real(f[16]);
  m.nField18 = Int(f[17]);
  if (!f[17].closed || position >= frame.size()) return;

  std::vector<Field> triples;
  if (!ReadEvents(frame.substr(position), &triples)) return;
  for (size_t k = 0; k * 3 + 2 < triples.size(); ++k) {
    events.bUsed[k] = 1;
    events.nTime[k] = Int(triples[k * 3]) / 1000;
    events.cCode[k] = triples[k * 3 + 1].text.empty() ? '\0' : triples[k * 3 + 1].text[0];
    int32_t value = Int(triples[k * 3 + 2]);
    if (events.cCode[k] == 'P') value = static_cast<int32_t>(value * kPascalsToPsi);
    events.nValue[k] = value;
  }
}

void UnzipShort(const std::string& frame, Q7400Struct& m) {
  size_t position = 0;
  std::vector<Field> f = Fields(frame, &position, kShortFields);
  if (f.size() < kShortFields || !FieldsFit(f)) return;
  for (const Field& field : f) {
    if (!field.closed) return;
  }
  m.dField6 = Real(f[5]);
  m.dField7 = Real(f[6]);
  m.dField8 = Real(f[7]);
  m.dShortField9 = Real(f[8]);
  m.dField10 = Real(f[9]);
  m.dField11 = Real(f[10]);
  m.nField12 = Int(f[11]);
  m.nField13 = Int(f[12]);
}

// The name after '#' up to its ';'; empty when it has no ';' or is longer than 19 characters.
CString NameAfterHash(const std::string& text) {
  size_t end = text.find(';', 1);
  if (text.empty() || text[0] != '#' || end == std::string::npos || end - 1 > kMaxName)
    return CString();
  return CString(text.c_str() + 1, static_cast<int>(end - 1));
}

CString FullFrameName(const std::string& frame) {
  size_t position = 0;
  std::vector<Field> f = Fields(frame, &position, kFullFields);
  if (f.size() < kFullFields || !f.back().closed) return CString();
  for (const Field& field : f) {
    if (!field.closed) return CString();
  }
  std::string rest = frame.substr(position);
  if (rest.size() > kMaxTail) return CString();
  if (!rest.empty() && rest[0] == '#') return NameAfterHash(rest);
  size_t hash = rest.find('#');
  if (hash == std::string::npos) return CString();
  std::string table = rest.substr(0, hash);
  std::vector<char> copy(table.begin(), table.end());
  copy.push_back('\0');
  if (!CheckTTValid(copy.data())) return CString();
  // A valid table ends right after a value's ';', so the walk of its triples ends on the '#'.
  return NameAfterHash(rest.substr(hash));
}

CString ShortFrameName(const std::string& frame) {
  size_t position = 0;
  std::vector<Field> f = Fields(frame, &position, 18);
  if (f.size() < 18 || position >= frame.size()) return CString();
  for (int i = 0; i < 17; ++i) {
    if (!f[i].closed) return CString();
  }
  if (!f[17].closed) return CString();
  size_t end = frame.find(';', position);
  std::string name =
      frame.substr(position, end == std::string::npos ? std::string::npos : end - position);
  if (name.size() > kMaxName) return CString();
  return CString(name.c_str());
}

}  // namespace

void Unzip(int fullFrame, char* const frame, Q7400Struct& method, __structProgPressTemp& events) {
  if (frame == nullptr) return;
  if (fullFrame) {
    UnzipFull(frame, method, events);
  } else {
    UnzipShort(frame, method);
  }
}

int CheckTTValid(char* const timeTable) {
  if (timeTable == nullptr) return 0;
  const char* p = timeTable;
  if (*p == '\0') return 1;
  for (;;) {
    while (*p && *p != ';') ++p;  // the time
    if (*p++ != ';') return 0;
    if (!IsEventCode(*p)) return 0;
    while (*p && *p != ';') ++p;  // the rest of the code
    if (*p++ != ';') return 0;
    while (*p && *p != ';') ++p;  // the value
    if (*p++ != ';') return 0;
    if (*p == '\0') return 1;
  }
}

void CopyString(int position, char* const source, char* const destination) {
  if (destination == nullptr) return;
  destination[0] = '\0';
  if (source == nullptr || position < 0) return;
  size_t length = std::strlen(source);
  if (static_cast<size_t>(position) > length) return;
  const char* from = source + position;
  if (*from == ';') ++from;
  std::memmove(destination, from, std::strlen(from) + 1);
}

CString UnZipTrame(int fullFrame, char* const frame) {
  if (frame == nullptr || frame[0] == '\0') return CString();
  return fullFrame ? FullFrameName(frame) : ShortFrameName(frame);
}
