// The installation that plays the part of the Windows machine, laid out as a Wine prefix:
//
//   dosdevices/c:  -> ../drive_c    one symbolic link per drive letter, to any host folder
//   dosdevices/z:  -> /             so that every host path has a DOS name
//   drive_c/windows/                the Windows directory, C:\windows
//   system.reg                      the registry, in the text format of .reg files
//
// The prefix is process-wide; LyrSetPrefix switches it (tests give each case a fresh one).
#include "internal.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lyrwin {
namespace {

std::mutex g_prefixMutex;
std::string g_prefix;  // guarded by g_prefixMutex; empty until first use
// Changes with g_prefix (under its mutex), from 1 on: the threads' copies compare with it.
std::atomic<unsigned> g_prefixGeneration{0};

bool MakeDirs(const std::string& path) {
  std::string partial;
  size_t pos = 0;
  while (pos != std::string::npos) {
    pos = path.find('/', pos + 1);
    partial = path.substr(0, pos);
    if (partial.empty()) continue;
    if (::mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST) return false;
  }
  struct stat st;
  return lyrwin::sys::Stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void EnsureLink(const std::string& link, const char* target) {
  struct stat st;
  if (lyrwin::sys::Lstat(link.c_str(), &st) == 0) return;  // a drive the user set up stays as it is
  if (::symlink(target, link.c_str()) != 0 && errno != EEXIST) {
    // A drive that cannot be made is a missing drive; paths on it fail as on Windows.
  }
}

const char kEmptyRegistry[] =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion]\r\n"
    "\"SystemRoot\"=\"C:\\\\windows\"\r\n"
    "\r\n";

bool Populate(const std::string& dir) {
  if (!MakeDirs(dir + "/dosdevices") || !MakeDirs(dir + "/drive_c/windows")) return false;
  EnsureLink(dir + "/dosdevices/c:", "../drive_c");
  EnsureLink(dir + "/dosdevices/z:", "/");
  std::string reg = dir + "/system.reg";
  struct stat st;
  if (lyrwin::sys::Stat(reg.c_str(), &st) != 0) {
    ReplaceFileAtomically(reg, kEmptyRegistry, 0666);
  }
  return true;
}

std::string DefaultPrefix() {
  if (const char* env = std::getenv("LYRUTIL_PREFIX"); env && *env) return env;
  const char* home = std::getenv("HOME");
  if (home == nullptr || *home == '\0') {
    struct passwd* pw = ::getpwuid(::getuid());
    home = pw ? pw->pw_dir : "/tmp";
  }
  return std::string(home) + "/.lyrutil";
}

std::string Absolute(std::string dir) {
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  if (!dir.empty() && dir[0] == '/') return dir;
  char cwd[4096];
  if (::getcwd(cwd, sizeof cwd) == nullptr) return dir;
  return std::string(cwd) + "/" + dir;
}

}  // namespace

// Every path the stand-in resolves starts here, so each thread keeps a copy and takes a fresh
// one only when the prefix has changed: no lock and no allocation per call.
const std::string& PrefixDir() {
  thread_local std::string copy;
  thread_local unsigned copiedGeneration = 0;
  if (!copy.empty() && copiedGeneration == g_prefixGeneration.load(std::memory_order_acquire))
    return copy;
  std::lock_guard<std::mutex> lock(g_prefixMutex);
  if (g_prefix.empty()) {
    std::string dir = Absolute(DefaultPrefix());
    if (Populate(dir)) {
      g_prefix = dir;
      g_prefixGeneration.fetch_add(1, std::memory_order_release);
    }
  }
  copy = g_prefix;
  copiedGeneration = g_prefixGeneration.load(std::memory_order_relaxed);
  return copy;
}

const std::string& RegistryFile() {
  thread_local std::string file;
  const std::string& prefix = PrefixDir();
  if (file.size() != prefix.size() + 11 || file.compare(0, prefix.size(), prefix) != 0)
    file = prefix + "/system.reg";
  return file;
}

}  // namespace lyrwin

BOOL LyrSetPrefix(const char* hostDir) {
  if (hostDir == nullptr || *hostDir == '\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string dir = lyrwin::Absolute(hostDir);
  if (!lyrwin::Populate(dir)) {
    lyrwin::SetLastErrorFromErrno();
    return FALSE;
  }
  std::lock_guard<std::mutex> lock(lyrwin::g_prefixMutex);
  lyrwin::g_prefix = dir;
  lyrwin::g_prefixGeneration.fetch_add(1, std::memory_order_release);
  return TRUE;
}

std::string LyrGetPrefix() {
  return lyrwin::PrefixDir();
}

std::string LyrDefaultPrefix() {
  return lyrwin::Absolute(lyrwin::DefaultPrefix());
}
