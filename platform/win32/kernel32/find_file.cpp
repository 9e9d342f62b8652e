// FindFirstFileA / FindNextFileA with Windows wildcards.
#include "internal.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

namespace lyrwin {
namespace {

// Windows wildcards: '*' any run, '?' any one character, no regard to case.
bool MatchWildcard(const char* pattern, const char* name) {
  if (*pattern == '\0') return *name == '\0';
  if (*pattern == '*') {
    while (pattern[1] == '*') ++pattern;
    for (const char* n = name;; ++n) {
      if (MatchWildcard(pattern + 1, n)) return true;
      if (*n == '\0') return false;
    }
  }
  if (*name == '\0') return false;
  if (*pattern == '?' || FoldLower(static_cast<unsigned char>(*pattern)) ==
                             FoldLower(static_cast<unsigned char>(*name)))
    return MatchWildcard(pattern + 1, name + 1);
  return false;
}

// A search pattern as FindFirstFile reads it: one ending in ".*" also matches a name without a
// dot ("*.*" matches everything), and one ending in a period matches only names without an
// extension ("*." finds "README" but not "a.txt").
bool MatchPattern(const std::string& pattern, const char* name) {
  const size_t n = pattern.size();
  if (n >= 2 && pattern.compare(n - 2, 2, ".*") == 0 && std::strchr(name, '.') == nullptr &&
      MatchWildcard(pattern.substr(0, n - 2).c_str(), name))
    return true;
  if (n >= 2 && pattern.back() == '.' && pattern.find_first_not_of('.') != std::string::npos) {
    return std::strchr(name, '.') == nullptr &&
           MatchWildcard(pattern.substr(0, n - 1).c_str(), name);
  }
  return MatchWildcard(pattern.c_str(), name);
}

// The last component as typed: normalising would drop the period that "*." depends on.
std::string PatternAsTyped(const char* path, const std::string& normalised) {
  const char* last = path;
  for (const char* p = path; *p; ++p) {
    if (*p == '\\' || *p == '/' || (p == path + 1 && *p == ':')) last = p + 1;
  }
  std::string typed = last;
  std::string trimmed = typed;
  while (!trimmed.empty() && (trimmed.back() == '.' || trimmed.back() == ' ')) trimmed.pop_back();
  return !typed.empty() && trimmed == normalised && typed.back() == '.' ? typed : normalised;
}

struct FoundEntry {
  std::string name;
  struct stat st;
};

struct FindObject final : KernelObject {
  std::vector<FoundEntry> entries;
  size_t next = 0;
  void Retire(std::shared_ptr<KernelObject> self) override {
    entries.clear();
    next = 0;
    SpareObjects<FindObject>::Keep(std::static_pointer_cast<FindObject>(std::move(self)));
  }
};

void Fill(const FoundEntry& entry, LPWIN32_FIND_DATAA data) {
  std::memset(data, 0, sizeof *data);
  if (S_ISDIR(entry.st.st_mode)) {
    data->dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
  } else {
    data->dwFileAttributes = FILE_ATTRIBUTE_ARCHIVE;
    if (IsReadOnlyMode(entry.st.st_mode)) data->dwFileAttributes |= FILE_ATTRIBUTE_READONLY;
    data->nFileSizeLow = static_cast<DWORD>(entry.st.st_size);
    data->nFileSizeHigh = static_cast<DWORD>(static_cast<uint64_t>(entry.st.st_size) >> 32);
  }
  ToFileTime(entry.st.st_mtim, &data->ftCreationTime);
  ToFileTime(entry.st.st_atim, &data->ftLastAccessTime);
  ToFileTime(entry.st.st_mtim, &data->ftLastWriteTime);
  std::strncpy(data->cFileName, entry.name.c_str(), MAX_PATH - 1);
}

// Returns the handle of a search with its first entry filled in, or INVALID_HANDLE_VALUE with
// ERROR_FILE_NOT_FOUND when it found nothing.
HANDLE StartSearch(std::shared_ptr<FindObject> find, LPWIN32_FIND_DATAA data) {
  if (find->entries.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  Fill(find->entries[0], data);
  find->next = 1;
  return InsertHandle(std::move(find));
}

// A search in a folder on a share: a plain name costs the server one lookup, a pattern a listing.
HANDLE FindOnShare(DosPath& dos, const std::string& pattern, LPWIN32_FIND_DATAA data) {
  std::shared_ptr<FindObject> find = SpareObjects<FindObject>::Take();
  if (pattern.find_first_of("*?") == std::string::npos && pattern.back() != '.') {
    FoundEntry exact{dos.parts.back(), {}};
    const DWORD err = NetworkStat(dos, &exact.st);
    if (err != 0) {
      SetLastError(err);
      return INVALID_HANDLE_VALUE;
    }
    find->entries.push_back(exact);
    return StartSearch(std::move(find), data);
  }
  dos.parts.pop_back();
  std::vector<NetworkEntry> listed;
  if (const DWORD err = NetworkList(dos, &listed)) {
    SetLastError(err);
    return INVALID_HANDLE_VALUE;
  }
  for (const NetworkEntry& entry : listed) {
    if (MatchPattern(pattern, entry.name.c_str())) find->entries.push_back({entry.name, entry.st});
  }
  std::sort(find->entries.begin(), find->entries.end(),
            [](const FoundEntry& a, const FoundEntry& b) {
              return CompareNoCase(a.name.c_str(), b.name.c_str()) < 0;
            });
  return StartSearch(std::move(find), data);
}

}  // namespace
}  // namespace lyrwin

extern "C" HANDLE WINAPI FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData) {
  using namespace lyrwin;
  thread_local DosPath dos;  // its buffers serve every call of the thread
  DWORD err = NormalizeDosPath(lpFileName, &dos);
  if (err == 0 && (dos.parts.empty() || dos.trailingSeparator)) err = ERROR_FILE_NOT_FOUND;
  if (err != 0) {
    SetLastError(err);
    return INVALID_HANDLE_VALUE;
  }
  std::string pattern = PatternAsTyped(lpFileName, dos.parts.back());
  if (dos.IsNetwork()) return FindOnShare(dos, pattern, lpFindFileData);
  // A plain name (no wildcard, no trailing period) whose folders are spelt as on disk is looked
  // up through the drive's link: found with one stat when it is spelt as on disk too, else in
  // the folder without regard to case (FindNoCase, which remembers a name that is not there at
  // all, so that a missing name costs two stats). Otherwise its folder is looked up first.
  const bool plain = pattern.find_first_of("*?") == std::string::npos && pattern.back() != '.' &&
                     pattern != "." && pattern != "..";
  std::shared_ptr<FindObject> find;
  auto answer = [&](const FoundEntry& entry) {
    find = SpareObjects<FindObject>::Take();
    find->entries.push_back(entry);
    Fill(find->entries[0], lpFindFileData);
    find->next = 1;
    return InsertHandle(find);
  };
  if (plain) {
    FoundEntry exact{pattern, {}};
    thread_local std::string linked, linkedFolder;
    if (PathThroughDriveLink(dos, &linked) && lyrwin::sys::Stat(linked.c_str(), &exact.st) == 0)
      return answer(exact);
    // The folder through the same link: the path without its last component.
    if (!linked.empty()) linkedFolder.assign(linked, 0, linked.rfind('/'));
    struct stat folderSt;
    if (!linked.empty() && lyrwin::sys::Stat(linkedFolder.c_str(), &folderSt) == 0 &&
        S_ISDIR(folderSt.st_mode)) {
      exact.name = FindNoCase(linkedFolder, folderSt, pattern);
      if (!exact.name.empty() &&
          lyrwin::sys::Stat(HostChild(linkedFolder, exact.name).c_str(), &exact.st) == 0)
        return answer(exact);
      SetLastError(ERROR_FILE_NOT_FOUND);
      return INVALID_HANDLE_VALUE;
    }
  }
  std::string last = std::move(dos.parts.back());
  dos.parts.pop_back();
  HostPath folder;
  err = MapToHost(dos, &folder);
  if (err == ERROR_NOT_SUPPORTED) {  // a folder on a drive mapped to a share
    dos.parts.push_back(std::move(last));
    if (RedirectToShare(&dos)) return FindOnShare(dos, pattern, lpFindFileData);
  }
  if (err == 0 && (!folder.exists || !folder.isDirectory)) err = ERROR_PATH_NOT_FOUND;
  if (err != 0) {
    SetLastError(err);
    return INVALID_HANDLE_VALUE;
  }
  const bool atRoot = dos.parts.empty();
  if (plain) {
    FoundEntry exact{pattern, {}};
    bool found = lyrwin::sys::Stat(HostChild(folder.host, pattern).c_str(), &exact.st) == 0;
    if (!found) {
      exact.name = FindNoCase(folder.host, pattern);
      found = !exact.name.empty() &&
              lyrwin::sys::Stat(HostChild(folder.host, exact.name).c_str(), &exact.st) == 0;
    }
    if (!found) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return INVALID_HANDLE_VALUE;
    }
    return answer(exact);
  }
  DIR* dir = ::opendir(folder.host.c_str());
  if (dir == nullptr) {
    SetLastError(Win32ErrorFromErrno(errno));
    return INVALID_HANDLE_VALUE;
  }
  find = SpareObjects<FindObject>::Take();
  while (struct dirent* entry = ::readdir(dir)) {
    std::string name = entry->d_name;
    // A drive's root has no "." and ".." entries on Windows.
    if (atRoot && (name == "." || name == "..")) continue;
    if (!MatchPattern(pattern, name.c_str())) continue;
    FoundEntry found{name, {}};
    if (lyrwin::sys::Stat(HostChild(folder.host, name).c_str(), &found.st) != 0)
      continue;  // dangling link
    find->entries.push_back(found);
  }
  ::closedir(dir);
  std::sort(find->entries.begin(), find->entries.end(),
            [](const FoundEntry& a, const FoundEntry& b) {
              return CompareNoCase(a.name.c_str(), b.name.c_str()) < 0;
            });
  if (find->entries.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  Fill(find->entries[0], lpFindFileData);
  find->next = 1;
  return InsertHandle(find);
}

extern "C" BOOL WINAPI FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData) {
  auto find = lyrwin::LookupHandleAs<lyrwin::FindObject>(hFindFile);
  if (!find) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (find->next >= find->entries.size()) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  lyrwin::Fill(find->entries[find->next++], lpFindFileData);
  return TRUE;
}

extern "C" BOOL WINAPI FindClose(HANDLE hFindFile) {
  if (!lyrwin::LookupHandleAs<lyrwin::FindObject>(hFindFile)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return CloseHandle(hFindFile);
}
