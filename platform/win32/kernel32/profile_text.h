// The text of a profile (INI) file as Windows reads it, kept line by line so that a change
// rewrites one line and leaves the user's comments, blank lines and layout as they were.
#ifndef LYRWIN_PROFILE_TEXT_H
#define LYRWIN_PROFILE_TEXT_H

#include <string>
#include <string_view>
#include <vector>

namespace lyrwin {

struct ProfileLine {
  enum Kind { kBlank, kSection, kEntry };
  Kind kind = kBlank;
  std::string raw;    // the line as it stands, without its terminator
  std::string eol;    // "\r\n", "\n", "\r" or "" for a last line without one
  std::string name;   // section or key name, blanks trimmed
  std::string value;  // for an entry with '=': the text after it, blanks trimmed
  bool hasValue = false;
};

class ProfileText {
 public:
  explicit ProfileText(const std::string& text);
  std::string Text() const;

  // Section names in file order (the unnamed part before the first header left out).
  std::vector<std::string> SectionNames() const;
  // The first section of that name (blanks trimmed, case ignored); -1 when none. Index -1 stands
  // for the unnamed part before the first header, which an empty name finds when it has lines.
  bool FindSection(std::string_view section, int* header) const;
  // Entries of the section that starts after line `header` (-1: the unnamed part).
  std::vector<const ProfileLine*> Entries(int header) const;
  // The first entry of `key` in the first section named `section`; nullptr when none.
  const ProfileLine* Find(std::string_view section, std::string_view key) const;

  // Edits; each returns whether the text changed.
  bool Set(const std::string& section, const std::string& key, const std::string& value);
  bool DeleteKey(const std::string& section, const std::string& key);
  bool DeleteSection(const std::string& section);

 private:
  size_t SectionEnd(int header) const;  // index one past the section's last line
  // The line end that new lines get: the file's first, so that an edit keeps its style.
  std::string NewLineEnd() const;
  std::vector<ProfileLine> lines_;
};

// Profile white space: the control characters 9 to 13, ^Z (a DOS end of file) and the blank.
bool IsProfileSpace(char c);
std::string TrimProfileSpace(const std::string& s);
// The same, as a view of `s`.
std::string_view TrimmedProfileView(std::string_view s);

}  // namespace lyrwin

#endif  // LYRWIN_PROFILE_TEXT_H
