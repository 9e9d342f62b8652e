#include "profile_text.h"

#include "internal.h"

namespace lyrwin {

bool IsProfileSpace(char c) {
  return (c >= 0x09 && c <= 0x0d) || c == 0x1a || c == 0x20;
}

std::string_view TrimmedProfileView(std::string_view s) {
  size_t b = 0;
  size_t e = s.size();
  while (b < e && IsProfileSpace(s[b])) ++b;
  while (e > b && IsProfileSpace(s[e - 1])) --e;
  return s.substr(b, e - b);
}

std::string TrimProfileSpace(const std::string& s) {
  return std::string(TrimmedProfileView(s));
}

namespace {

ProfileLine ClassifyLine(std::string raw, std::string eol) {
  ProfileLine line;
  line.raw = std::move(raw);
  line.eol = std::move(eol);
  std::string text = TrimProfileSpace(line.raw);
  if (text.empty()) return line;
  if (text[0] == '[') {
    size_t close = text.rfind(']');
    if (close != std::string::npos && close > 0) {
      line.kind = ProfileLine::kSection;
      line.name = TrimProfileSpace(text.substr(1, close - 1));
      return line;
    }
  }
  line.kind = ProfileLine::kEntry;
  size_t equals = text.find('=');
  if (equals == std::string::npos) {
    line.name = text;
    return line;
  }
  line.name = TrimProfileSpace(text.substr(0, equals));
  line.value = TrimProfileSpace(text.substr(equals + 1));
  line.hasValue = true;
  return line;
}

}  // namespace

// Lines end with "\r\n", "\n" or a "\r" alone, as Windows reads them: files written by old tools
// and some editors end their lines with a bare carriage return, and one file may mix the three.
ProfileText::ProfileText(const std::string& text) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    std::string eol;
    if (end == std::string::npos) {
      end = text.size();
    } else if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') {
      eol = "\r\n";
    } else {
      eol = std::string(1, text[end]);
    }
    lines_.push_back(ClassifyLine(text.substr(start, end - start), eol));
    start = end + eol.size();
  }
}

std::string ProfileText::Text() const {
  std::string text;
  for (const ProfileLine& line : lines_) text += line.raw + line.eol;
  return text;
}

std::vector<std::string> ProfileText::SectionNames() const {
  std::vector<std::string> names;
  for (const ProfileLine& line : lines_) {
    if (line.kind == ProfileLine::kSection && !line.name.empty()) names.push_back(line.name);
  }
  return names;
}

bool ProfileText::FindSection(std::string_view section, int* header) const {
  const std::string_view wanted = TrimmedProfileView(section);
  if (wanted.empty()) {
    // The unnamed part before the first header, if it holds anything.
    for (const ProfileLine& line : lines_) {
      if (line.kind == ProfileLine::kSection) break;
      if (line.kind == ProfileLine::kEntry) {
        *header = -1;
        return true;
      }
    }
  }
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind == ProfileLine::kSection && EqualNoCase(lines_[i].name, wanted)) {
      *header = static_cast<int>(i);
      return true;
    }
  }
  return false;
}

size_t ProfileText::SectionEnd(int header) const {
  size_t i = static_cast<size_t>(header + 1);
  while (i < lines_.size() && lines_[i].kind != ProfileLine::kSection) ++i;
  return i;
}

std::string ProfileText::NewLineEnd() const {
  for (const ProfileLine& line : lines_) {
    if (!line.eol.empty()) return line.eol;
  }
  return "\r\n";
}

std::vector<const ProfileLine*> ProfileText::Entries(int header) const {
  std::vector<const ProfileLine*> entries;
  for (size_t i = static_cast<size_t>(header + 1); i < SectionEnd(header); ++i) {
    if (lines_[i].kind == ProfileLine::kEntry) entries.push_back(&lines_[i]);
  }
  return entries;
}

const ProfileLine* ProfileText::Find(std::string_view section, std::string_view key) const {
  int header;
  if (!FindSection(section, &header)) return nullptr;
  const std::string_view wanted = TrimmedProfileView(key);
  for (size_t i = static_cast<size_t>(header + 1); i < SectionEnd(header); ++i) {
    const ProfileLine& line = lines_[i];
    if (line.kind == ProfileLine::kEntry && EqualNoCase(line.name, wanted)) return &line;
  }
  return nullptr;
}

bool ProfileText::Set(const std::string& section, const std::string& key,
                      const std::string& value) {
  std::string name = TrimProfileSpace(key);
  size_t skip = 0;
  while (skip < value.size() && IsProfileSpace(value[skip])) ++skip;
  std::string text = value.substr(skip);
  const std::string eol = NewLineEnd();
  int header;
  if (FindSection(section, &header)) {
    size_t end = SectionEnd(header);
    for (size_t i = static_cast<size_t>(header + 1); i < end; ++i) {
      ProfileLine& line = lines_[i];
      if (line.kind != ProfileLine::kEntry || !EqualNoCase(line.name, name)) continue;
      if (line.hasValue && line.value == text) return false;
      line = ClassifyLine(line.name + "=" + text, line.eol.empty() ? eol : line.eol);
      return true;
    }
    // A new key goes after the section's last line that is not blank.
    size_t at = end;
    while (at > static_cast<size_t>(header + 1) && lines_[at - 1].kind == ProfileLine::kBlank) --at;
    if (at > 0 && lines_[at - 1].eol.empty()) lines_[at - 1].eol = eol;
    lines_.insert(lines_.begin() + static_cast<long>(at), ClassifyLine(name + "=" + text, eol));
    return true;
  }
  if (!lines_.empty() && lines_.back().eol.empty()) lines_.back().eol = eol;
  lines_.push_back(ClassifyLine("[" + TrimProfileSpace(section) + "]", eol));
  lines_.push_back(ClassifyLine(name + "=" + text, eol));
  return true;
}

bool ProfileText::DeleteKey(const std::string& section, const std::string& key) {
  std::string wantedSection = TrimProfileSpace(section);
  std::string wantedKey = TrimProfileSpace(key);
  bool inSection = wantedSection.empty();
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind == ProfileLine::kSection) {
      inSection = EqualNoCase(lines_[i].name, wantedSection);
    } else if (inSection && lines_[i].kind == ProfileLine::kEntry &&
               EqualNoCase(lines_[i].name, wantedKey)) {
      lines_.erase(lines_.begin() + static_cast<long>(i));
      return true;
    }
  }
  return false;
}

bool ProfileText::DeleteSection(const std::string& section) {
  int header;
  if (!FindSection(section, &header) || header < 0) return false;
  lines_.erase(lines_.begin() + header, lines_.begin() + static_cast<long>(SectionEnd(header)));
  return true;
}

}  // namespace lyrwin
