// DOS paths over the host's file system.
//
// Windows names files by drive letter and backslash-separated components that match without
// regard to case; Linux names them by one tree of case-sensitive names. The mapping works like
// Wine's: each drive letter is a symbolic link in the prefix's dosdevices folder, and each
// component is looked up first by its exact name, then by a case-insensitive scan of the folder,
// so that C:\DATA\Method.M3 finds /…/drive_c/data/method.m3. Names that do not exist yet keep the
// case they were given. Normalisation (separators, "." and "..", trailing dots and blanks, the
// current directory and drive) follows GetFullPathName.
#include "internal.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string_view>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace lyrwin {
namespace {

constexpr size_t kMaxComponent = 255;

bool IsDriveLetter(unsigned char c) {
  return (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
}

bool IsInvalidNameChar(unsigned char c) {
  return c < 32 || std::strchr("<>:\"|?*", c) != nullptr;
}

std::string HostCwd() {
  char buffer[PATH_MAX];
  if (::getcwd(buffer, sizeof buffer) == nullptr) return "/";
  return buffer;
}

// The drives of the prefix: each letter's canonical host folder (empty: no such drive), read
// from the links in its dosdevices folder. Resolving a link canonically costs a readlink per
// component of its target, and every path resolution needs its drive (finding the DOS name of a
// host folder needs all 26), so the table is kept while the dosdevices folder is unchanged: its
// identity and its modification time. Making, removing or re-pointing a link changes that time
// (`ln -sfn` removes the link and makes it anew), so a changed drive is seen at the next call;
// what a link's target itself points to is not watched. File times advance in clock ticks of a
// few milliseconds, so two changes within one tick leave the same time: a table read less than
// a second after the folder's last change is not trusted, and is read again at every call until
// that second has passed.
using DriveFolderList = std::array<std::string, 26>;

struct DriveTable {
  std::mutex mutex;
  std::string prefix;
  struct stat folder = {};
  struct timespec readAt = {};
  std::shared_ptr<const DriveFolderList> folders;  // null until read
};

// A drive mapped to a share: its link's text is a UNC name (//server/share/folder, or with
// backslashes); kept with backslashes, which no host folder starts with.
bool IsShareFolder(const std::string& folder) {
  return !folder.empty() && folder[0] == '\\';
}

std::string ResolveDriveLink(const std::string& devices, char letter) {
  const std::string link = devices + "/" + static_cast<char>(letter | 0x20) + ":";
  char text[PATH_MAX];
  const ssize_t length = lyrwin::sys::Readlink(link.c_str(), text, sizeof text - 1);
  if (length >= 2 && (text[0] == '/' || text[0] == '\\') && (text[1] == '/' || text[1] == '\\')) {
    std::string share(text, static_cast<size_t>(length));
    std::replace(share.begin(), share.end(), '/', '\\');
    while (share.size() > 2 && share.back() == '\\') share.pop_back();
    return share;
  }
  char resolved[PATH_MAX];
  if (::realpath(link.c_str(), resolved) == nullptr) return std::string();
  struct stat st;
  if (lyrwin::sys::Stat(resolved, &st) != 0 || !S_ISDIR(st.st_mode)) return std::string();
  return resolved;
}

// The canonical host folders of the drives A: to Z:, as the links say now.
std::shared_ptr<const DriveFolderList> DriveFolders() {
  static DriveTable table;
  const std::string& prefix = PrefixDir();
  thread_local std::string devices;  // reused: no allocation per lookup
  devices.assign(prefix).append("/dosdevices");
  struct stat now = {};
  const bool present = lyrwin::sys::Stat(devices.c_str(), &now) == 0;
  std::lock_guard<std::mutex> lock(table.mutex);
  const bool same = present && table.folders && table.prefix == prefix &&
                    table.folder.st_dev == now.st_dev && table.folder.st_ino == now.st_ino &&
                    table.folder.st_mtim.tv_sec == now.st_mtim.tv_sec &&
                    table.folder.st_mtim.tv_nsec == now.st_mtim.tv_nsec &&
                    SettledBefore(now.st_mtim, table.readAt);
  if (!same) {
    ::clock_gettime(CLOCK_REALTIME, &table.readAt);
    auto folders = std::make_shared<DriveFolderList>();
    for (int i = 0; i < 26 && present; ++i)
      (*folders)[i] = ResolveDriveLink(devices, static_cast<char>('a' + i));
    table.prefix = prefix;
    table.folder = now;
    table.folders = present ? folders : nullptr;
    return folders;
  }
  return table.folders;
}

// The canonical host folder of a drive as its link names it, into `folder` (whose room a caller
// that keeps it reuses); empty when there is no link.
void AssignLinkedDriveFolder(char drive, std::string* folder) {
  folder->clear();
  if (IsDriveLetter(static_cast<unsigned char>(drive)))
    *folder = (*DriveFolders())[(drive | 0x20) - 'a'];
}

std::string LinkedDriveFolder(char drive) {
  std::string folder;
  AssignLinkedDriveFolder(drive, &folder);
  return folder;
}

// The canonical host folder of a drive, or empty when the drive does not exist (its folder
// included: a drive whose folder was removed has none).
std::string DriveFolder(char drive) {
  std::string folder = LinkedDriveFolder(drive);
  if (IsShareFolder(folder)) return std::string();
  struct stat st;
  if (folder.empty() || lyrwin::sys::Stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    return std::string();
  return folder;
}

// Windows keeps the current directory as the text it was set with, made absolute and cleaned of
// "." and "..": after SetCurrentDirectory("C:\\DATA\\RUNS") it answers C:\DATA\RUNS even where
// the folders are spelt data\runs on disk. The process's own working directory is the host
// folder; the text is kept beside it and holds only while the process is still in that folder
// under the same prefix, so a chdir of the host's own or a switch of prefix makes it stale and
// the DOS name is then derived from the host path. Guarded by its mutex: any thread may ask.
struct CurrentDirectoryText {
  std::mutex mutex;
  std::string dos;
  std::string host;
  std::string prefix;
};

CurrentDirectoryText& KeptCurrentDirectory() {
  static CurrentDirectoryText kept;
  return kept;
}

void KeepCurrentDirectoryText(const std::string& dos) {
  CurrentDirectoryText& kept = KeptCurrentDirectory();
  std::lock_guard<std::mutex> lock(kept.mutex);
  kept.dos = dos;
  kept.host = HostCwd();
  kept.prefix = PrefixDir();
}

}  // namespace

std::string CurrentDosDirectory() {
  std::string cwd = HostCwd();
  {
    CurrentDirectoryText& kept = KeptCurrentDirectory();
    std::lock_guard<std::mutex> lock(kept.mutex);
    if (!kept.dos.empty() && kept.host == cwd && kept.prefix == PrefixDir()) return kept.dos;
  }
  std::string dos;
  if (!HostToDosPath(cwd, &dos)) dos = "Z:\\";
  return dos;
}

namespace {

// The current directory as a drive and components.
DosPath CurrentDirectoryParts() {
  std::string cwd = CurrentDosDirectory();
  DosPath current;
  current.drive = cwd[0];
  std::string rest = cwd.substr(3);
  size_t start = 0;
  while (start < rest.size()) {
    size_t end = rest.find('\\', start);
    if (end == std::string::npos) end = rest.size();
    if (end > start) current.parts.push_back(rest.substr(start, end - start));
    start = end + 1;
  }
  return current;
}

}  // namespace

bool HostToDosPath(const std::string& hostPath, std::string* dosPath) {
  std::string best;
  char bestDrive = 0;
  const std::shared_ptr<const DriveFolderList> folders = DriveFolders();
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    const std::string& folder = (*folders)[letter - 'A'];
    if (folder.empty() || IsShareFolder(folder)) continue;
    bool inside = folder == "/" || hostPath == folder ||
                  (hostPath.compare(0, folder.size(), folder) == 0 &&
                   hostPath.size() > folder.size() && hostPath[folder.size()] == '/');
    if (inside && (bestDrive == 0 || folder.size() > best.size())) {
      best = folder;
      bestDrive = letter;
    }
  }
  if (bestDrive == 0) return false;
  std::string rest = hostPath.substr(best == "/" ? 1 : best.size());
  if (!rest.empty() && rest[0] == '/') rest.erase(0, 1);
  for (char& c : rest) {
    if (c == '/') c = '\\';
  }
  *dosPath = std::string(1, bestDrive) + ":\\" + rest;
  return true;
}

namespace {

// Appends the components of `rest` to `result`'s, as GetFullPathName reads them: "." stays, ".."
// goes up (never above the root the components start from), a name ending in one period loses
// it; a trailing separator is noted.
void AppendComponents(std::string_view rest, DosPath* out) {
  DosPath& result = *out;
  size_t start = 0;
  while (start <= rest.size()) {
    size_t end = rest.find('\\', start);
    if (end == std::string_view::npos) end = rest.size();
    std::string_view part = rest.substr(start, end - start);
    if (part == "..") {
      if (!result.parts.empty()) result.parts.pop_back();
    } else if (!part.empty() && part != ".") {
      // A name that ends in a single period loses it ("dir." is "dir"); "..." stays a name.
      if (part.size() >= 2 && part.back() == '.' && part[part.size() - 2] != '.')
        part.remove_suffix(1);
      result.parts.emplace_back(part);
    }
    start = end + 1;
  }
  result.trailingSeparator = !rest.empty() && rest.back() == '\\' && !result.parts.empty();
  if (!result.trailingSeparator && !result.parts.empty()) {
    std::string& last = result.parts.back();
    while (!last.empty() && (last.back() == '.' || last.back() == ' ')) last.pop_back();
    if (last.empty()) result.parts.pop_back();
  }
}

// Spells `out->full` from the drive (or server and share) and the components.
DWORD JoinFullPath(DosPath* out) {
  DosPath& result = *out;
  if (result.IsNetwork())
    result.full.assign("\\\\").append(result.server).append(1, '\\').append(result.share);
  else
    result.full.assign(1, result.drive).append(":\\");
  for (size_t i = 0; i < result.parts.size(); ++i) {
    if (i || result.IsNetwork()) result.full += '\\';
    result.full += result.parts[i];
  }
  if (result.full.size() + (result.trailingSeparator ? 1 : 0) >= MAX_PATH) {
    result = DosPath();
    return ERROR_FILENAME_EXCED_RANGE;
  }
  return 0;
}

// \\server\share\rest, with separators already turned to backslashes. A name without a share
// is no path to a file (ERROR_BAD_PATHNAME); server and share names hold none of the characters
// Windows refuses in names.
DWORD NormalizeNetworkPath(const char* s, size_t length, DosPath* out) {
  std::string_view whole(s + 2, length - 2);
  const size_t serverEnd = whole.find('\\');
  if (serverEnd == 0 || serverEnd == std::string_view::npos) return ERROR_BAD_PATHNAME;
  const size_t shareEnd = std::min(whole.find('\\', serverEnd + 1), whole.size());
  const std::string_view server = whole.substr(0, serverEnd);
  const std::string_view share = whole.substr(serverEnd + 1, shareEnd - serverEnd - 1);
  // \\.\ and \\?\ name devices and long paths, which the stand-in does not have.
  if (server == "." || server == "?") return ERROR_BAD_NETPATH;
  if (share.empty() || share == "." || share == "..") return ERROR_BAD_PATHNAME;
  for (std::string_view name : {server, share}) {
    for (unsigned char c : name) {
      if (IsInvalidNameChar(c)) return ERROR_INVALID_NAME;
    }
  }
  out->server.assign(server);
  out->share.assign(share);
  AppendComponents(shareEnd < whole.size() ? whole.substr(shareEnd + 1) : std::string_view(), out);
  return JoinFullPath(out);
}

}  // namespace

// Fills `out` in place, so that a caller that keeps its DosPath from call to call (the file
// functions keep one per thread) reuses its buffers: the common absolute path costs no
// allocation. On an error `out` is empty.
DWORD NormalizeDosPath(const char* path, DosPath* out) {
  DosPath& result = *out;
  result.parts.clear();
  result.full.clear();
  result.drive = 0;
  result.server.clear();
  result.share.clear();
  result.trailingSeparator = false;
  if (path == nullptr || *path == '\0') return ERROR_PATH_NOT_FOUND;
  const size_t length = std::strlen(path);
  if (length >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
  char s[MAX_PATH];
  for (size_t i = 0; i <= length; ++i) s[i] = path[i] == '/' ? '\\' : path[i];
  if (length >= 2 && s[0] == '\\' && s[1] == '\\') return NormalizeNetworkPath(s, length, out);

  result.parts.reserve(8);  // kept from call to call: the components of most paths
  std::string_view rest;
  const unsigned char first = static_cast<unsigned char>(s[0]);
  if (length >= 3 && s[1] == ':' && s[2] == '\\' && IsDriveLetter(first)) {
    // Absolute: the common case needs no current directory.
    result.drive = static_cast<char>(FoldUpper(first));
    rest = std::string_view(s + 2, length - 2);
  } else {
    DosPath current = CurrentDirectoryParts();
    if (length >= 2 && s[1] == ':' && IsDriveLetter(first)) {
      result.drive = static_cast<char>(FoldUpper(first));
      rest = std::string_view(s + 2, length - 2);
      if (result.drive == current.drive) result.parts = current.parts;  // drive-relative
    } else if (s[0] == '\\') {
      result.drive = current.drive;
      rest = std::string_view(s, length);
    } else {
      result.drive = current.drive;
      result.parts = current.parts;
      rest = std::string_view(s, length);
    }
  }

  AppendComponents(rest, out);
  return JoinFullPath(out);
}

Device ReservedDevice(const DosPath& dos) {
  if (dos.parts.empty() || dos.trailingSeparator) return Device::kNone;
  std::string base = dos.parts.back().substr(0, dos.parts.back().find('.'));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  for (char& c : base) c = static_cast<char>(FoldUpper(static_cast<unsigned char>(c)));
  if (base == "NUL") return Device::kNull;
  if (base == "CON") return Device::kConsole;
  if (base == "PRN" || base == "AUX") return Device::kOther;
  if (base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
      base[3] >= '1' && base[3] <= '9')
    return Device::kOther;
  return Device::kNone;
}

DWORD CheckComponents(const DosPath& dos) {
  for (const std::string& part : dos.parts) {
    if (part.size() > kMaxComponent) return ERROR_FILENAME_EXCED_RANGE;
    for (unsigned char c : part) {
      if (IsInvalidNameChar(c)) return ERROR_INVALID_NAME;
    }
  }
  return 0;
}

bool PathThroughDriveLink(const DosPath& dos, std::string* path) {
  path->clear();
  if (dos.trailingSeparator || !IsDriveLetter(dos.drive) || CheckComponents(dos) != 0) return false;
  const std::string& prefix = PrefixDir();
  if (prefix.empty()) return false;
  size_t size = prefix.size() + 14;
  for (const std::string& part : dos.parts) size += 1 + part.size();
  path->reserve(size);  // at most one allocation, none when the caller's string has room
  *path += prefix;
  *path += "/dosdevices/";
  *path += static_cast<char>(dos.drive | 0x20);
  *path += ':';
  for (const std::string& part : dos.parts) {
    *path += '/';
    *path += part;
  }
  return true;
}

DWORD MapToHost(const DosPath& dos, HostPath* out) {
  if (dos.IsNetwork()) return ERROR_NOT_SUPPORTED;
  if (DWORD err = CheckComponents(dos)) return err;
  // A path spelt as on disk costs one stat: the folders on the way exist if it does. It is
  // built in the caller's string, which a caller that keeps its HostPath has room in already.
  std::string& whole = out->host;
  whole.clear();
  AssignLinkedDriveFolder(dos.drive, &whole);
  if (IsShareFolder(whole)) {
    whole.clear();
    return ERROR_NOT_SUPPORTED;  // a drive mapped to a share: RedirectToShare
  }
  if (dos.parts.empty()) whole.clear();  // a drive's root: its folder as found below
  if (!whole.empty()) {
    for (const std::string& part : dos.parts) {
      if (whole != "/") whole += '/';
      whole += part;
    }
    struct stat st;
    if (lyrwin::sys::Stat(whole.c_str(), &st) == 0) {
      if (dos.trailingSeparator && !S_ISDIR(st.st_mode)) {
        whole.clear();
        return ERROR_PATH_NOT_FOUND;
      }
      out->exists = true;
      out->isDirectory = S_ISDIR(st.st_mode);
      out->st = st;
      return 0;
    }
    whole.clear();
  }
  // Otherwise component by component, scanning a folder for a name in another case.
  std::string folder = DriveFolder(dos.drive);
  if (folder.empty()) return ERROR_PATH_NOT_FOUND;

  HostPath result;
  result.host = folder;
  result.exists = true;
  result.isDirectory = true;
  for (size_t i = 0; i < dos.parts.size(); ++i) {
    const bool last = i + 1 == dos.parts.size();
    std::string candidate = HostChild(result.host, dos.parts[i]);
    struct stat st;
    bool found = lyrwin::sys::Stat(candidate.c_str(), &st) == 0;
    if (!found) {
      std::string name = FindNoCase(result.host, dos.parts[i]);
      if (!name.empty()) {
        candidate = HostChild(result.host, name);
        found = lyrwin::sys::Stat(candidate.c_str(), &st) == 0;
      }
    }
    result.host = candidate;
    if (!found) {
      if (!last) return ERROR_PATH_NOT_FOUND;
      result.exists = false;
      result.isDirectory = false;
      break;
    }
    result.isDirectory = S_ISDIR(st.st_mode);
    result.st = st;
    // A separator after a file's name makes the name a folder, which does not exist:
    // C:\dir\file.txt\ is not found, as on Windows.
    if ((!last || dos.trailingSeparator) && !result.isDirectory) return ERROR_PATH_NOT_FOUND;
  }
  *out = std::move(result);
  return 0;
}

bool RedirectToShare(DosPath* dos) {
  if (dos->IsNetwork()) return true;
  std::string unc;
  AssignLinkedDriveFolder(dos->drive, &unc);
  if (!IsShareFolder(unc)) return false;
  for (const std::string& part : dos->parts) unc.append(1, '\\').append(part);
  if (dos->trailingSeparator) unc += '\\';
  DosPath network;
  if (NormalizeDosPath(unc.c_str(), &network) != 0 || !network.IsNetwork()) return false;
  *dos = std::move(network);
  return true;
}

DWORD ResolvePath(const char* path, DosPath* dos, HostPath* host) {
  DWORD err = NormalizeDosPath(path, dos);
  if (err != 0) return err;
  return MapToHost(*dos, host);
}

}  // namespace lyrwin

using lyrwin::DosPath;
using lyrwin::HostPath;

BOOL LyrDosToHostPath(const char* dosPath, std::string* hostPath) {
  DosPath dos;
  HostPath host;
  DWORD err = lyrwin::ResolvePath(dosPath, &dos, &host);
  if (err != 0) {
    SetLastError(err);
    return FALSE;
  }
  *hostPath = host.host;
  return TRUE;
}

namespace {

// Copies `text` out as the Win32 "required size" convention wants: the length without the
// terminator when it fits, else the size needed with it (the buffer untouched).
DWORD CopyOut(const std::string& text, DWORD capacity, LPSTR buffer) {
  if (buffer != nullptr && capacity > text.size()) {
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
  }
  return static_cast<DWORD>(text.size() + 1);
}

}  // namespace

extern "C" DWORD WINAPI GetFullPathNameA(LPCSTR lpFileName, DWORD nBufferLength, LPSTR lpBuffer,
                                         LPSTR* lpFilePart) {
  thread_local DosPath dos;  // its buffers serve every call of the thread
  DWORD err = lyrwin::NormalizeDosPath(lpFileName, &dos);
  if (err != 0) {
    SetLastError(err);
    return 0;
  }
  std::string& full = dos.full;
  if (dos.trailingSeparator) full += '\\';
  DWORD n = CopyOut(full, nBufferLength, lpBuffer);
  if (lpFilePart != nullptr && n == full.size()) {
    *lpFilePart = (dos.trailingSeparator || dos.parts.empty())
                      ? nullptr
                      : lpBuffer + full.size() - dos.parts.back().size();
  }
  return n;
}

extern "C" DWORD WINAPI GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) {
  return CopyOut(lyrwin::CurrentDosDirectory(), nBufferLength, lpBuffer);
}

extern "C" BOOL WINAPI SetCurrentDirectoryA(LPCSTR lpPathName) {
  DosPath dos;
  HostPath host;
  DWORD err = lyrwin::ResolvePath(lpPathName, &dos, &host);
  if (err == 0 && !host.exists) err = ERROR_FILE_NOT_FOUND;
  if (err == 0 && !host.isDirectory) err = ERROR_DIRECTORY;
  if (err == 0 && ::chdir(host.host.c_str()) != 0) err = lyrwin::Win32ErrorFromErrno(errno);
  if (err != 0) {
    SetLastError(err);
    return FALSE;
  }
  lyrwin::KeepCurrentDirectoryText(dos.full);
  return TRUE;
}
