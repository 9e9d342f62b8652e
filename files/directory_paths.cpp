// Checking a directory path that a user typed: cleaning it, and creating what is missing after
// asking. Both routines move the process's current directory while they test; CheckPath always
// puts it back.
#include <LyrUtil.h>

#include <cstring>
#include <string>

#include "text_buffer.h"

namespace {

constexpr size_t kMaxDirectoryPath = 256;
constexpr size_t kMaxDirectoryName = 256;

// Puts the process's current directory back on every way out.
class CurrentDirectoryKeeper final {
 public:
  CurrentDirectoryKeeper() {
    if (GetCurrentDirectoryA(sizeof saved_, saved_) >= sizeof saved_) saved_[0] = '\0';
  }
  ~CurrentDirectoryKeeper() {
    if (saved_[0] != '\0') SetCurrentDirectoryA(saved_);
  }
  CurrentDirectoryKeeper(const CurrentDirectoryKeeper&) = delete;
  CurrentDirectoryKeeper& operator=(const CurrentDirectoryKeeper&) = delete;

 private:
  char saved_[MAX_PATH] = {};
};

bool IsAsciiLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsRemovedCharacter(unsigned char c) {
  return c < 32 || c > 127 || std::strchr("/|*?:,><[]", c) != nullptr;
}

// Cleans the path from its third character (the backslash after the colon): characters that
// cannot stand in a directory name go, runs of backslashes become one, and each name keeps at
// most 256 characters.
std::string CleanFromRoot(const std::string& path) {
  std::string clean = path.substr(0, 2);
  size_t sinceBackslash = 0;
  bool skippingRestOfName = false;
  for (size_t i = 2; i < path.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (c == '\\') {
      skippingRestOfName = false;
      sinceBackslash = 0;
      if (clean.back() != '\\') clean += '\\';
      continue;
    }
    if (skippingRestOfName || IsRemovedCharacter(c)) continue;
    if (++sinceBackslash > kMaxDirectoryName) {
      skippingRestOfName = true;
      continue;
    }
    clean += static_cast<char>(c);
  }
  return clean;
}

// Steps 3 to 7 of the check: the drive, the backslash after it, the cleaning and the length.
std::string NormalisedDirectory(const std::string& given) {
  std::string path = given;
  if (path.size() < 2 || path[1] != ':') {
    if (path.size() <= 2) return path.substr(0, 1) + ":\\";
    path = path.substr(0, 1) + ":\\" + path;
  }
  if (path.size() < 3 || path[2] != '\\') path.insert(2, "\\");
  path = CleanFromRoot(path);
  if (path.size() > 3 && path.back() == '\\') path.pop_back();
  if (path.size() >= kMaxDirectoryPath) path.resize(kMaxDirectoryPath);
  return path;
}

}  // namespace

unsigned short CheckPath(char* path, int create, int message) {
  if (path == nullptr) return 3;
  CurrentDirectoryKeeper keeper;
  if (!IsAsciiLetter(path[0])) {
    CString text;
    char first[2] = {path[0], '\0'};
    AfxFormatString1(text, IDS_LYR_NO_DRIVE_LETTER, first);
    if (message) AfxMessageBox(text, MB_OK, IDS_LYR_NO_DRIVE_LETTER);
    return 3;
  }
  std::string clean = NormalisedDirectory(path);
  std::strcpy(path, clean.c_str());  // at most 256 characters; the caller's buffer holds 260

  if (SetCurrentDirectoryA(path)) return 0;
  if (!create) {
    if (message) {
      CString directoryWord;
      directoryWord.LoadString(IDS_LYR_DIRECTORY_WORD);
      CString text;
      AfxFormatString2(text, IDS_LYR_PATH_MISSING, directoryWord, path);
      AfxMessageBox(text, MB_OK, IDS_LYR_PATH_MISSING);
    }
    return 3;
  }
  if (message) {
    CString text;
    AfxFormatString1(text, IDS_LYR_CREATE_DIRS, path);
    if (AfxMessageBox(text, MB_YESNO | MB_ICONQUESTION, IDS_LYR_CREATE_DIRS) == IDNO) return 1;
  }
  return MakeNewDir(path, message);
}

unsigned short MakeNewDir(char* path, int message) {
  if (path == nullptr || path[0] == '\0') return 0;
  std::string prefix;
  const char* p = path;
  for (;;) {
    const char* end = std::strchr(p, '\\');
    std::string name = end ? std::string(p, static_cast<size_t>(end - p)) : std::string(p);
    if (prefix.empty()) {
      prefix = name + "\\";  // the drive keeps its backslash: C: becomes C:\ .
    } else {
      prefix += name;
    }
    if (!SetCurrentDirectoryA(prefix.c_str()) &&
        (!CreateDirectoryA(prefix.c_str(), nullptr) || !SetCurrentDirectoryA(prefix.c_str()))) {
      if (message) {
        CString text;
        AfxFormatString1(text, IDS_LYR_CANNOT_MAKE_DIR, prefix.c_str());
        AfxMessageBox(text, MB_OK, IDS_LYR_CANNOT_MAKE_DIR);
      }
      return 1;
    }
    if (prefix.back() != '\\') prefix += '\\';
    if (end == nullptr || end[1] == '\0') return 0;
    p = end + 1;
  }
}
