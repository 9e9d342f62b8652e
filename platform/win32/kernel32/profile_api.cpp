// The profile (INI) functions, with Windows' rules for reading them: sections and keys matched
// without case and with blanks trimmed, only the first section of a name searched, one pair of
// enclosing quotes removed from a value, the result truncated to the buffer as the documentation
// says, and a missing or unreadable file read as an empty one. A change rewrites the file in place
// (see in_place_rewrite.cpp) under an exclusive lock on its folder, so two writers never lose each
// other's keys; readers take the lock shared, so they never see a change halfway.
#include "internal.h"
#include "profile_share.h"
#include "profile_text.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <time.h>

namespace lyrwin {
namespace {

// A name without any folder is looked for in the Windows directory.
// The text is the calling thread's own, valid until its next call: the suite reads its INI file
// on every audited append, and the name's buffer is reused.
const std::string& ProfilePath(LPCSTR fileName) {
  thread_local std::string name;
  name = fileName ? fileName : "win.ini";
  if (name.find_first_of("\\/:") == std::string::npos) {
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    std::string directory = windows;
    if (directory.back() != '\\') directory += '\\';
    name.insert(0, directory);
  }
  return name;
}

// Reads the text from an open profile: what an interrupted rewrite left in its journal, else the
// file from its start. True when the text is the file's own.
bool ReadOpenProfile(HANDLE file, std::string* text) {
  text->clear();
  if (InterruptedRewrite(HandleDescriptor(file), text)) return false;
  SetFilePointer(file, 0, nullptr, FILE_BEGIN);
  char buffer[8192];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) text->append(buffer, got);
  return true;
}

// Profiles read lately, kept while their files are unchanged, so that the suite's INI file, read
// on every audited append, is not opened, locked and parsed each time. A file counts as unchanged
// while its identity, size and modification and change times (in nanoseconds) are those seen
// under the readers' lock when it was read: a writer of this process or another, in place or by
// rename (a text editor), changes one of them. File times advance in clock ticks, so two changes
// within one tick can leave the same times and size; an entry whose file changed less than a
// second before it was read is therefore not trusted, and the file is read again until then.
struct CachedProfile {
  struct stat file = {};
  struct timespec readAt = {};
  std::shared_ptr<const ProfileText> profile;  // parsed: a read of an unchanged file parses nothing
};

struct ProfileCache {
  std::mutex mutex;
  std::map<std::string, CachedProfile> entries;  // by host path
};

ProfileCache& Profiles() {
  static ProfileCache cache;
  return cache;
}

constexpr size_t kCachedProfiles = 32;

bool SameFileState(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
         a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

// The cached profile of the file at `hostPath` when it is unchanged since it was read (null
// otherwise); `now` is the file's stat, as the name's lookup took it a moment ago.
std::shared_ptr<const ProfileText> CachedProfileText(const std::string& hostPath,
                                                     const struct stat& now) {
  ProfileCache& cache = Profiles();
  std::lock_guard<std::mutex> lock(cache.mutex);
  auto it = cache.entries.find(hostPath);
  if (it == cache.entries.end() || !SameFileState(it->second.file, now) ||
      !SettledBefore(now.st_mtim, it->second.readAt) ||
      !SettledBefore(now.st_ctim, it->second.readAt))
    return nullptr;
  return it->second.profile;
}

void KeepProfileText(const std::string& hostPath, const struct stat& file,
                     const struct timespec& readAt, std::shared_ptr<const ProfileText> profile) {
  ProfileCache& cache = Profiles();
  std::lock_guard<std::mutex> lock(cache.mutex);
  if (cache.entries.size() >= kCachedProfiles && cache.entries.count(hostPath) == 0)
    cache.entries.erase(cache.entries.begin());
  cache.entries[hostPath] = CachedProfile{file, readAt, std::move(profile)};
}

void ForgetProfileText(const std::string& hostPath) {
  ProfileCache& cache = Profiles();
  std::lock_guard<std::mutex> lock(cache.mutex);
  cache.entries.erase(hostPath);
}

// Whether a handle open on the file denies others reading it (the file then reads as absent).
bool ReadingDenied(const std::string& hostPath) {
  const int fd = OpenRetrying(hostPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return true;
  const bool denied = SomeoneDeniesRead(fd);
  CloseRetrying(fd);
  return denied;
}

std::shared_ptr<const ProfileText> ParsedProfile(const std::string& bytes);

// Reads the file through CreateFileA, so that one held without read sharing reads as absent,
// as on Windows, under the writers' lock taken shared (an existing file's folder). Null when it
// cannot be opened; CreateFileA then says why.
std::shared_ptr<const ProfileText> ReadProfile(const std::string& path) {
  thread_local DosPath dos;  // the buffers serve every read of the thread
  thread_local HostPath host;
  std::unique_ptr<FileLock> reading;
  const DWORD resolved = ResolvePath(path.c_str(), &dos, &host);
  if (resolved == ERROR_NOT_SUPPORTED) {  // on a share: the server keeps the readers' lock
    std::string bytes;
    return ReadProfileOnShare(path, &bytes) ? ParsedProfile(bytes) : nullptr;
  }
  const bool exists = resolved == 0 && host.exists;
  if (exists && !host.isDirectory) {
    std::shared_ptr<const ProfileText> cached = CachedProfileText(host.host, host.st);
    if (cached && !ReadingDenied(host.host)) return cached;
  }
  if (exists) reading = std::make_unique<FileLock>(HostFolderOf(host.host), true, true);
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  struct stat before = {};
  struct timespec readAt = {};
  const bool known =
      lyrwin::sys::Fstat(HandleDescriptor(file), &before) == 0 && reading && reading->Held();
  ::clock_gettime(CLOCK_REALTIME, &readAt);
  std::string bytes;
  const bool own = ReadOpenProfile(file, &bytes);
  CloseHandle(file);
  std::shared_ptr<const ProfileText> profile = ParsedProfile(bytes);
  if (own && known) KeepProfileText(host.host, before, readAt, profile);
  return profile;
}

// A value as Windows returns it: one pair of matching single or double quotes removed.
std::string_view Unquoted(std::string_view value) {
  if (value.size() >= 2 && (value[0] == '\'' || value[0] == '"') && value.back() == value[0])
    return value.substr(1, value.size() - 2);
  return value;
}

// Copies a text cut to the buffer: at most size - 1 characters and the terminator, nothing after
// it, so that the caller's bytes past the result stay as they were. Returns the characters copied.
DWORD CopyText(char* buffer, std::string_view text, DWORD size) {
  if (size == 0) return 0;
  const void* nul = std::memchr(text.data(), '\0', text.size());  // the text ends at a NUL
  const size_t length =
      nul ? static_cast<size_t>(static_cast<const char*>(nul) - text.data()) : text.size();
  size_t n = std::min<size_t>(length, size - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return static_cast<DWORD>(n);
}

// A list of NUL-separated names ending in an extra NUL, truncated as the documentation says:
// the last name cut and followed by two NULs, and the result then the size less two.
DWORD CopyNameList(const std::vector<std::string>& names, char* buffer, DWORD size) {
  if (size == 0) return 0;
  if (size == 1) {
    buffer[0] = '\0';
    return 0;
  }
  DWORD left = size - 1;
  char* out = buffer;
  for (const std::string& name : names) {
    DWORD needed = static_cast<DWORD>(name.size() + 1);
    if (needed >= left) {
      if (left > 0) {
        std::memcpy(out, name.data(), left - 1);
        out += left - 1;
        *out++ = '\0';
      }
      *out = '\0';
      return size - 2;
    }
    std::memcpy(out, name.c_str(), needed);
    out += needed;
    left -= needed;
  }
  *out = '\0';
  return static_cast<DWORD>(out - buffer);
}

// The keys of a section: entries with '=' that are not comments.
std::vector<std::string> KeyNames(const ProfileText& profile, int header) {
  std::vector<std::string> keys;
  for (const ProfileLine* entry : profile.Entries(header)) {
    if (!entry->hasValue || entry->name.empty() || entry->name[0] == ';') continue;
    keys.push_back(entry->name);
  }
  return keys;
}

// A file that starts with the UTF-16 byte-order mark is a Unicode profile, read and written in
// UTF-16 as Windows does; its text reaches the ANSI functions in code page 1252. False in
// `whole` when some character has no ANSI byte (it reads as '?').
std::string ProfileTextOf(const std::string& bytes, bool* utf16, bool* whole) {
  *utf16 = IsUtf16Text(bytes);
  *whole = true;
  if (!*utf16) return bytes;
  std::string text;
  *whole = Utf16ToAnsi(bytes, &text);
  return text;
}

std::shared_ptr<const ProfileText> ParsedProfile(const std::string& bytes) {
  bool utf16, whole;
  return std::make_shared<const ProfileText>(ProfileTextOf(bytes, &utf16, &whole));
}

// Reads the profile; a file that cannot be opened reads as empty, and the last error says why
// (ERROR_FILE_NOT_FOUND for a missing one, as the documentation says).
std::shared_ptr<const ProfileText> ReadProfileOrEmpty(LPCSTR fileName, bool* opened) {
  std::shared_ptr<const ProfileText> profile = ReadProfile(ProfilePath(fileName));
  *opened = profile != nullptr;
  if (profile) return profile;
  static const std::shared_ptr<const ProfileText> empty = ParsedProfile(std::string());
  return empty;
}

std::string DefaultWithoutTrailingBlanks(LPCSTR lpDefault) {
  std::string text = lpDefault ? lpDefault : "";
  while (text.size() > 1 && text.back() == ' ') text.pop_back();
  return text;
}

}  // namespace
}  // namespace lyrwin

using namespace lyrwin;

extern "C" DWORD WINAPI GetPrivateProfileSectionNamesA(LPSTR lpszReturnBuffer, DWORD nSize,
                                                       LPCSTR lpFileName) {
  bool opened;
  const std::shared_ptr<const ProfileText> profile = ReadProfileOrEmpty(lpFileName, &opened);
  if (lpszReturnBuffer == nullptr) return 0;
  return CopyNameList(profile->SectionNames(), lpszReturnBuffer, nSize);
}

extern "C" DWORD WINAPI GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName,
                                                 LPCSTR lpDefault, LPSTR lpReturnedString,
                                                 DWORD nSize, LPCSTR lpFileName) {
  if (lpAppName == nullptr)
    return GetPrivateProfileSectionNamesA(lpReturnedString, nSize, lpFileName);
  bool opened;
  const std::shared_ptr<const ProfileText> read = ReadProfileOrEmpty(lpFileName, &opened);
  const ProfileText& profile = *read;
  if (lpReturnedString == nullptr) return 0;
  if (lpKeyName == nullptr) {
    int header;
    std::vector<std::string> keys;
    if (profile.FindSection(lpAppName, &header)) keys = KeyNames(profile, header);
    if (keys.empty())
      return CopyText(lpReturnedString, Unquoted(lpDefault ? lpDefault : ""), nSize);
    return CopyNameList(keys, lpReturnedString, nSize);
  }
  if (!opened) return CopyText(lpReturnedString, DefaultWithoutTrailingBlanks(lpDefault), nSize);
  const ProfileLine* entry = profile.Find(lpAppName, lpKeyName);
  if (entry && entry->hasValue) return CopyText(lpReturnedString, Unquoted(entry->value), nSize);
  return CopyText(lpReturnedString, Unquoted(DefaultWithoutTrailingBlanks(lpDefault)), nSize);
}

extern "C" UINT WINAPI GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, INT nDefault,
                                             LPCSTR lpFileName) {
  char buffer[30];
  if (GetPrivateProfileStringA(lpAppName, lpKeyName, "", buffer, sizeof buffer, lpFileName) == 0)
    return static_cast<UINT>(nDefault);
  // The number is read as the system's string-to-integer conversion reads it: leading blanks, a
  // sign, an optional 0x/0o/0b base prefix, then digits up to the first other character.
  const char* p = buffer;
  while (*p && static_cast<unsigned char>(*p) <= ' ') ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  unsigned base = 10;
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    base = 16;
    p += 2;
  } else if (p[0] == '0' && (p[1] == 'o' || p[1] == 'O')) {
    base = 8;
    p += 2;
  } else if (p[0] == '0' && (p[1] == 'b' || p[1] == 'B')) {
    base = 2;
    p += 2;
  }
  uint32_t value = 0;
  for (;; ++p) {
    unsigned digit;
    if (*p >= '0' && *p <= '9') {
      digit = static_cast<unsigned>(*p - '0');
    } else if ((*p | 0x20) >= 'a' && (*p | 0x20) <= 'f') {
      digit = static_cast<unsigned>((*p | 0x20) - 'a' + 10);
    } else {
      break;
    }
    if (digit >= base) break;
    value = value * base + digit;  // wraps at 32 bits, as the system's conversion does
  }
  return negative ? static_cast<UINT>(0u - value) : value;
}

namespace lyrwin {
namespace {

// What a write makes of the file's bytes: the section deleted (no key), the key deleted (no
// value) or the value set, in the file's own encoding. A Unicode profile holding characters the
// ANSI code page lacks is not rewritten through it: they would be lost, so the change fails.
DWORD ChangedProfileBytes(LPCSTR app, LPCSTR key, LPCSTR value, const std::string& before,
                          std::string* after, bool* changed) {
  bool utf16, whole;
  ProfileText profile(ProfileTextOf(before, &utf16, &whole));
  if (key == nullptr) {
    *changed = profile.DeleteSection(app);
  } else if (value == nullptr) {
    *changed = profile.DeleteKey(app, key);
  } else {
    *changed = profile.Set(app, key, value);
  }
  if (*changed && !whole) return ERROR_NO_UNICODE_TRANSLATION;
  if (*changed) *after = utf16 ? AnsiToUtf16(profile.Text()) : profile.Text();
  return 0;
}

}  // namespace
}  // namespace lyrwin

extern "C" BOOL WINAPI WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName,
                                                  LPCSTR lpString, LPCSTR lpFileName) {
  // With everything null this only flushes Windows' cache; the stand-in keeps none.
  if (lpAppName == nullptr && lpKeyName == nullptr && lpString == nullptr) return FALSE;
  std::string path = ProfilePath(lpFileName);
  DosPath dos;
  HostPath host;
  DWORD err = ResolvePath(path.c_str(), &dos, &host);
  if (err != 0 && err != ERROR_NOT_SUPPORTED) {
    SetLastError(err);
    return FALSE;
  }
  if (lpAppName == nullptr) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  auto change = [&](const std::string& before, std::string* after, bool* changed) {
    return ChangedProfileBytes(lpAppName, lpKeyName, lpString, before, after, changed);
  };
  if (err == ERROR_NOT_SUPPORTED) return ChangeProfileOnShare(path, change);
  FileLock lock(HostFolderOf(host.host), true);

  // A holder that does not share writing makes the change fail with a sharing violation, as on
  // Windows; one that does sees the change in the file it holds.
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_NOT_FOUND) return FALSE;
  std::string bytes;
  if (file != INVALID_HANDLE_VALUE) {
    err = FinishInterruptedRewrite(HandleDescriptor(file));
    if (err != 0) {
      CloseHandle(file);
      SetLastError(err);
      return FALSE;
    }
    ReadOpenProfile(file, &bytes);
  }
  std::string contents;
  bool changed = false;
  err = change(bytes, &contents, &changed);
  if (err != 0 || !changed) {
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    if (err != 0) SetLastError(err);
    return err == 0;
  }
  if (file == INVALID_HANDLE_VALUE) {
    // A new file: nothing to lose, so it is written in place.
    file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       CREATE_NEW, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return FALSE;
    DWORD written = 0;
    BOOL ok =
        WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr) &&
        FlushFileBuffers(file);
    DWORD writeError = GetLastError();
    CloseHandle(file);
    if (!ok) {
      DeleteFileA(path.c_str());
      SetLastError(writeError);
    }
    return ok;
  }
  err = RewriteInPlace(HandleDescriptor(file), bytes, contents);
  CloseHandle(file);
  ForgetProfileText(host.host);  // the times show the change too; this needs no tick to pass
  if (err != 0) {
    SetLastError(err);
    return FALSE;
  }
  return TRUE;
}
