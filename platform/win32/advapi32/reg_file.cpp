#include "reg_file.h"

#include "internal.h"

#include <cstdio>
#include <cstring>

namespace lyrwin {

const char* HiveName(int hive) {
  static const char* const kNames[kHiveCount] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",
                                                 "HKEY_LOCAL_MACHINE"};
  return kNames[hive];
}

namespace {

std::string Folded(const std::string& name) {
  std::string folded = name;
  for (char& c : folded) c = static_cast<char>(FoldLower(static_cast<unsigned char>(c)));
  return folded;
}

}  // namespace

const RegKey* RegKey::Child(const std::string& childName) const {
  auto it = byName_.find(Folded(childName));
  return it == byName_.end() ? nullptr : it->second;
}

RegKey* RegKey::Child(const std::string& childName) {
  return const_cast<RegKey*>(static_cast<const RegKey*>(this)->Child(childName));
}

RegKey* RegKey::AddChild(const std::string& childName) {
  if (RegKey* existing = Child(childName)) return existing;
  children.push_back(std::make_unique<RegKey>());
  children.back()->name = childName;
  byName_[Folded(childName)] = children.back().get();
  return children.back().get();
}

bool RegKey::RemoveChild(const std::string& childName) {
  auto found = byName_.find(Folded(childName));
  if (found == byName_.end()) return false;
  for (auto it = children.begin(); it != children.end(); ++it) {
    if (it->get() == found->second) {
      children.erase(it);
      break;
    }
  }
  byName_.erase(found);
  return true;
}

const RegValue* RegKey::Value(const std::string& valueName) const {
  for (const RegValue& value : values) {
    if (EqualNoCase(value.name, valueName)) return &value;
  }
  return nullptr;
}

RegValue* RegKey::Value(const std::string& valueName) {
  return const_cast<RegValue*>(static_cast<const RegKey*>(this)->Value(valueName));
}

void RegKey::SetValue(const std::string& valueName, DWORD type, std::string data) {
  if (RegValue* existing = Value(valueName)) {
    existing->type = type;
    existing->data = std::move(data);
    return;
  }
  values.push_back(RegValue{valueName, type, std::move(data)});
}

bool RegKey::RemoveValue(const std::string& valueName) {
  for (auto it = values.begin(); it != values.end(); ++it) {
    if (EqualNoCase(it->name, valueName)) {
      values.erase(it);
      return true;
    }
  }
  return false;
}

void SplitKeyPath(std::string_view path, std::vector<std::string>* parts) {
  parts->clear();
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) parts->emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
}

std::vector<std::string> SplitKeyPath(const std::string& path) {
  std::vector<std::string> parts;
  SplitKeyPath(path, &parts);
  return parts;
}

// --- Parsing ---

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The byte of the two hex digits at text[at]; -1 when they are not there.
int EscapedByte(const std::string& text, size_t at) {
  if (at + 1 >= text.size()) return -1;
  int high = HexDigit(text[at]);
  int low = HexDigit(text[at + 1]);
  return high < 0 || low < 0 ? -1 : high * 16 + low;
}

// A key path from a section header: single backslashes separate keys, "\\xNN" is a character of
// a name.
std::vector<std::string> SplitHeaderPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (size_t i = 0; i < path.size(); ++i) {
    if (path[i] != '\\') {
      part += path[i];
      continue;
    }
    int value = path.compare(i, 3, "\\\\x") == 0 ? EscapedByte(path, i + 3) : -1;
    if (value >= 0) {
      part += static_cast<char>(value);
      i += 4;
      continue;
    }
    if (!part.empty()) parts.push_back(part);
    part.clear();
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

int HiveFromName(const std::string& name) {
  for (int hive = 0; hive < kHiveCount; ++hive) {
    if (EqualNoCase(name, HiveName(hive))) return hive;
  }
  return -1;
}

// Reads a quoted string starting at text[pos] == '"'; advances pos past the closing quote.
bool ReadQuoted(const std::string& text, size_t* pos, std::string* out) {
  out->clear();
  size_t i = *pos + 1;
  while (i < text.size()) {
    char c = text[i];
    if (c == '"') {
      *pos = i + 1;
      return true;
    }
    if (c == '\\' && i + 1 < text.size()) {
      ++i;
      c = text[i];
      int value = c == 'x' ? EscapedByte(text, i + 1) : -1;
      if (value >= 0) {
        c = static_cast<char>(value);
        i += 2;
      }
    }
    out->push_back(c);
    ++i;
  }
  return false;
}

bool ParseHexBytes(const std::string& text, std::string* out) {
  out->clear();
  int high = -1;
  for (char c : text) {
    if (c == ',' || c == ' ' || c == '\t') {
      if (high >= 0) return false;  // one digit alone
      continue;
    }
    int digit = HexDigit(c);
    if (digit < 0) return false;
    if (high < 0) {
      high = digit;
    } else {
      out->push_back(static_cast<char>(high * 16 + digit));
      high = -1;
    }
  }
  return high < 0;
}

// Parses the data after '=': "text", dword:, hex:, hex(N):. False when malformed.
bool ParseData(const std::string& text, DWORD* type, std::string* data) {
  if (!text.empty() && text[0] == '"') {
    size_t pos = 0;
    std::string s;
    if (!ReadQuoted(text, &pos, &s)) return false;
    *type = REG_SZ;
    *data = s + '\0';
    return true;
  }
  if (text.compare(0, 6, "dword:") == 0) {
    std::string digits = text.substr(6);
    if (digits.empty() || digits.size() > 8) return false;
    uint32_t v = 0;
    for (char c : digits) {
      int d = HexDigit(c);
      if (d < 0) return false;
      v = v * 16 + static_cast<uint32_t>(d);
    }
    *type = REG_DWORD;
    data->assign(reinterpret_cast<const char*>(&v), 4);
    return true;
  }
  if (text.compare(0, 4, "hex:") == 0) {
    *type = REG_BINARY;
    return ParseHexBytes(text.substr(4), data);
  }
  if (text.compare(0, 4, "hex(") == 0) {
    size_t close = text.find("):", 4);
    if (close == std::string::npos || close == 4 || close > 12) return false;
    uint32_t t = 0;
    for (size_t i = 4; i < close; ++i) {
      int d = HexDigit(text[i]);
      if (d < 0) return false;
      t = t * 16 + static_cast<uint32_t>(d);
    }
    *type = t;
    return ParseHexBytes(text.substr(close + 2), data);
  }
  return false;
}

std::string Trim(const std::string& s) {
  size_t b = 0;
  size_t e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return s.substr(b, e - b);
}

// Splits into logical lines: CR LF or LF ends a line; a hex line ending in ",\" continues.
std::vector<std::string> LogicalLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string current;
  size_t i = 0;
  while (i <= text.size()) {
    size_t end = text.find('\n', i);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(i, end - i);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string trimmed = Trim(line);
    current += current.empty() ? trimmed : trimmed;
    // Hex data continues on the next line after a comma and a backslash, as the registry editor
    // breaks it; a backslash anywhere else is part of the line.
    if (current.size() >= 2 && current.back() == '\\' && current[current.size() - 2] == ',' &&
        current.find("=hex") != std::string::npos) {
      current.pop_back();
    } else {
      lines.push_back(current);
      current.clear();
    }
    i = end + 1;
  }
  if (!current.empty()) lines.push_back(current);
  return lines;
}

}  // namespace

void ParseRegText(const std::string& bytes, RegTree* tree) {
  std::string decoded;
  if (IsUtf16Text(bytes)) {
    tree->utf16 = true;
    tree->whole = Utf16ToAnsi(bytes, &decoded);
  }
  const std::string& text = tree->utf16 ? decoded : bytes;
  RegKey* key = nullptr;
  bool inForeign = false;  // in a section of a hive the stand-in does not keep
  bool anySection = false;
  bool first = true;
  for (const std::string& line : LogicalLines(text)) {
    if (line.empty()) continue;
    const bool header = first && (line.compare(0, 23, "Windows Registry Editor") == 0 ||
                                  line.compare(0, 8, "REGEDIT4") == 0);
    first = false;
    if (header) continue;
    auto keep = [&] {
      if (key != nullptr) {
        key->kept.push_back(line);
      } else {
        (anySection ? tree->foreign : tree->preamble).push_back(line);
      }
    };
    if (line[0] == '[') {
      anySection = true;
      key = nullptr;
      inForeign = false;
      size_t close = line.rfind(']');
      std::string path = close == std::string::npos || close < 2 ? "" : line.substr(1, close - 1);
      bool remove = !path.empty() && path[0] == '-';
      if (remove) path.erase(0, 1);
      std::vector<std::string> parts = SplitHeaderPath(path);
      int hive = parts.empty() ? -1 : HiveFromName(parts[0]);
      if (hive < 0) {
        tree->foreign.push_back(line);
        inForeign = true;
        continue;
      }
      RegKey* node = &tree->hives[hive];
      if (remove) {
        for (size_t i = 1; node && i + 1 < parts.size(); ++i) node = node->Child(parts[i]);
        if (node && parts.size() > 1) node->RemoveChild(parts.back());
        continue;
      }
      for (size_t i = 1; i < parts.size(); ++i) node = node->AddChild(parts[i]);
      key = node;
      continue;
    }
    if (inForeign || line[0] == ';') {
      keep();
      continue;
    }
    std::string name;
    size_t pos = 0;
    if (line[0] == '@') {
      pos = 1;
    } else if (line[0] != '"' || !ReadQuoted(line, &pos, &name)) {
      keep();
      continue;
    }
    std::string rest = Trim(line.substr(pos));
    if (key == nullptr || rest.empty() || rest[0] != '=') {
      keep();
      continue;
    }
    rest = Trim(rest.substr(1));
    if (rest == "-") {
      key->RemoveValue(name);
      continue;
    }
    DWORD type;
    std::string data;
    if (ParseData(rest, &type, &data)) {
      key->SetValue(name, type, std::move(data));
    } else {
      keep();
    }
  }
}

// --- Formatting ---

namespace {

std::string Quote(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(c));
      out += escaped;
      continue;
    }
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + '"';
}

// A key's name in a section header: control characters as "\\xNN", so that no name can end the
// line or start a section of its own.
std::string HeaderName(const std::string& name) {
  std::string out;
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\\\x%02x", static_cast<unsigned char>(c));
      out += escaped;
    } else {
      out += c;
    }
  }
  return out;
}

// A string value is written as text when that text reads back to the same bytes: one terminator
// at the end, none inside, and no control characters that would break the line.
bool WritableAsText(const RegValue& value) {
  if (value.type != REG_SZ || value.data.empty() || value.data.back() != '\0') return false;
  for (size_t i = 0; i + 1 < value.data.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(value.data[i]);
    if (c < 0x20) return false;
  }
  return true;
}

std::string FormatData(const RegValue& value) {
  if (WritableAsText(value)) return Quote(value.data.substr(0, value.data.size() - 1));
  if (value.type == REG_DWORD && value.data.size() == 4) {
    uint32_t v;
    std::memcpy(&v, value.data.data(), 4);
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "dword:%08x", v);
    return buffer;
  }
  char prefix[24];
  if (value.type == REG_BINARY) {
    std::snprintf(prefix, sizeof prefix, "hex:");
  } else {
    std::snprintf(prefix, sizeof prefix, "hex(%x):", value.type);
  }
  std::string out = prefix;
  size_t column = out.size();
  for (size_t i = 0; i < value.data.size(); ++i) {
    char byte[4];
    std::snprintf(byte, sizeof byte, "%02x", static_cast<unsigned char>(value.data[i]));
    out += byte;
    column += 2;
    if (i + 1 < value.data.size()) {
      out += ',';
      ++column;
      if (column > 76) {
        out += "\\\r\n  ";
        column = 2;
      }
    }
  }
  return out;
}

void FormatKey(const RegKey& key, const std::string& path, bool isHive, std::string* out) {
  if (!isHive || !key.values.empty() || !key.kept.empty()) {
    *out += "[" + path + "]\r\n";
    for (const RegValue& value : key.values) {
      *out += value.name.empty() ? std::string("@") : Quote(value.name);
      *out += "=" + FormatData(value) + "\r\n";
    }
    for (const std::string& line : key.kept) *out += line + "\r\n";
    *out += "\r\n";
  }
  for (const auto& child : key.children)
    FormatKey(*child, path + "\\" + HeaderName(child->name), false, out);
}

}  // namespace

std::string FormatRegText(const RegTree& tree) {
  std::string out = "Windows Registry Editor Version 5.00\r\n\r\n";
  for (const std::string& line : tree.preamble) out += line + "\r\n";
  if (!tree.preamble.empty()) out += "\r\n";
  for (int hive = 0; hive < kHiveCount; ++hive)
    FormatKey(tree.hives[hive], HiveName(hive), true, &out);
  for (size_t i = 0; i < tree.foreign.size(); ++i) {
    if (i > 0 && tree.foreign[i][0] == '[') out += "\r\n";
    out += tree.foreign[i] + "\r\n";
  }
  return tree.utf16 ? AnsiToUtf16(out) : out;
}

}  // namespace lyrwin
