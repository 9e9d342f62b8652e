#include "output_file.h"

#include "tool_error.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <iostream>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char kFolderPrefix[] =
    ".lyrutil-";  // then the writer's process id, a dash, a random part
constexpr char kFolderSuffix[] = ".tmp";
constexpr char kFileName[] = "output";
constexpr time_t kAbandonedAfterSeconds = 60;

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string Reason() {
  return std::strerror(errno);
}

// What an interrupt removes: plain buffers, since only async-signal-safe calls may touch them.
struct InterruptCleanup {
  volatile sig_atomic_t armed = 0;
  char file[PATH_MAX] = "";
  char folder[PATH_MAX] = "";
};
InterruptCleanup g_cleanup;

extern "C" void RemovePendingAndDie(int signal) {
  if (g_cleanup.armed) {
    ::unlink(g_cleanup.file);
    ::rmdir(g_cleanup.folder);
  }
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

void ArmCleanup(const std::string& file, const std::string& folder) {
  static bool installed = false;
  if (!installed) {
    installed = true;
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
      struct sigaction action = {};
      action.sa_handler = RemovePendingAndDie;
      sigemptyset(&action.sa_mask);
      ::sigaction(signal, &action, nullptr);
    }
  }
  g_cleanup.armed = 0;
  std::snprintf(g_cleanup.file, sizeof g_cleanup.file, "%s", file.c_str());
  std::snprintf(g_cleanup.folder, sizeof g_cleanup.folder, "%s", folder.c_str());
  g_cleanup.armed = 1;
}

void DisarmCleanup() {
  g_cleanup.armed = 0;
}

void RemoveFolderAndFile(const std::string& folder) {
  ::unlink((folder + "/" + kFileName).c_str());
  ::rmdir(folder.c_str());
}

// A private folder whose writer is gone (killed, so its handlers never ran) and that has not
// changed for a minute: ours to remove. Folders of live writers, of other users and of any other
// shape are left alone.
void SweepAbandoned(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  const size_t prefix = std::strlen(kFolderPrefix);
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.compare(0, prefix, kFolderPrefix) != 0 || name.size() < prefix + 6 ||
        name.compare(name.size() - std::strlen(kFolderSuffix), std::string::npos, kFolderSuffix) !=
            0)
      continue;
    char* end = nullptr;
    const long pid = std::strtol(name.c_str() + prefix, &end, 10);
    if (pid <= 0 || *end != '-') continue;
    const std::string path = folder + "/" + name;
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
      continue;
    if (std::time(nullptr) - st.st_mtime < kAbandonedAfterSeconds) continue;
    if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
    RemoveFolderAndFile(path);
  }
  ::closedir(dir);
}

std::string RandomPart() {
  static std::mt19937_64 generator{std::random_device{}()};
  static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";  // one case: DOS names
  std::string part;
  for (int i = 0; i < 12; ++i) part += kDigits[generator() % 36];
  return part;
}

// Makes a folder beside `target` that no one else can have made or can write into, and arms the
// interrupt's clean-up for it before it exists: armed after, a signal between the two would leave
// the folder behind. (Its name holds this process's id, so the clean-up of a name that turned out
// taken removes nothing of anyone else's.)
std::string MakePrivateFolder(const std::string& besideFolder) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string folder = besideFolder + "/" + kFolderPrefix + std::to_string(::getpid()) +
                               "-" + RandomPart() + kFolderSuffix;
    ArmCleanup(folder + "/" + kFileName, folder);
    if (::mkdir(folder.c_str(), 0700) == 0) return folder;
    const int error = errno;
    DisarmCleanup();
    errno = error;
    if (errno != EEXIST) throw ToolError(besideFolder + ": cannot write here: " + Reason());
  }
  throw ToolError(besideFolder + ": cannot make a private folder");
}

bool FlushToDisk(const std::string& path, int flags) {
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
  if (fd < 0) return false;
  const bool flushed = ::fsync(fd) == 0;
  return ::close(fd) == 0 && flushed;
}

// Writes all of `size` bytes, through short writes and interrupts; false with errno set.
bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool CopyToStandardOutput(const std::string& path) {
  std::cout.flush();
  if (!std::cout) return false;
  const int in = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  char buffer[65536];
  ssize_t n;
  while ((n = ::read(in, buffer, sizeof buffer)) != 0) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || !WriteAll(STDOUT_FILENO, buffer, static_cast<size_t>(n))) break;
  }
  const int error = errno;
  ::close(in);
  errno = error;
  return n == 0;
}

}  // namespace

OutputTarget ResolveOutput(const std::string& named, ExistingFile existing) {
  OutputTarget target;
  target.named = named;
  if (named == "-") return target;
  if (named.empty()) throw ToolError("no output file named");
  std::string path = named;
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr)
      throw ToolError(named + ": a symbolic link to nothing (" + Reason() + "); name the file");
    path = resolved;
  }
  if (::stat(path.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode))
      throw ToolError(named +
                      ": not a regular file; only regular files are written (- for "
                      "standard output)");
    if (existing == ExistingFile::kRefuse) throw ToolError(named + ": exists; name a new file");
    // As root, access() grants writing to anything: the file's own mode says what it is meant for.
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(path.c_str(), W_OK) != 0)
      throw ToolError(named + ": read-only; not replaced");
    target.exists = true;
    target.mode = st.st_mode & 07777;
    target.owner = st.st_uid;
    target.group = st.st_gid;
  } else if (errno != ENOENT) {
    throw ToolError(named + ": " + Reason());
  }
  const std::string folder = FolderOf(path);
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    throw ToolError(named + ": the folder " + folder + " does not exist");
  if (::access(folder.c_str(), W_OK) != 0)
    throw ToolError(named + ": cannot write in " + folder + ": " + Reason());
  target.host = path;
  return target;
}

PendingFile::PendingFile(const OutputTarget& target) : target_(target) {
  std::string beside;
  if (target.IsStandardOutput()) {
    const char* tmp = std::getenv("TMPDIR");
    beside = tmp && *tmp ? tmp : "/tmp";
  } else {
    beside = FolderOf(target.host);
  }
  SweepAbandoned(beside);
  folder_ = MakePrivateFolder(beside);
  file_ = folder_ + "/" + kFileName;
}

PendingFile::~PendingFile() {
  DisarmCleanup();
  if (!committed_) ::unlink(file_.c_str());
  ::rmdir(folder_.c_str());
}

bool PendingFile::Exists() const {
  return ::access(file_.c_str(), F_OK) == 0;
}

long long PendingFile::Size() const {
  struct stat st;
  return ::stat(file_.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

void PendingFile::Commit() {
  const std::string& named = target_.named;
  if (!FlushToDisk(file_, O_RDONLY)) throw ToolError(named + ": cannot be written: " + Reason());
  if (target_.IsStandardOutput()) {
    if (!CopyToStandardOutput(file_)) throw ToolError("standard output: " + Reason());
    return;
  }
  if (target_.exists) {
    ::chmod(file_.c_str(), target_.mode);
    // A failure is not fatal: the file is then the caller's, as a new file would be.
    if (::geteuid() == 0 && ::chown(file_.c_str(), target_.owner, target_.group) != 0) errno = 0;
  }
  // The target may have changed kind since it was checked: never rename over anything else.
  struct stat st;
  if (::lstat(target_.host.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
    throw ToolError(named + ": is no longer a regular file; not replaced");
  if (std::rename(file_.c_str(), target_.host.c_str()) != 0)
    throw ToolError(named + ": " + Reason());
  committed_ = true;
  FlushToDisk(FolderOf(target_.host), O_RDONLY | O_DIRECTORY);
}

void WriteFileWhole(const std::string& hostPath, const std::string& contents) {
  const OutputTarget target = ResolveOutput(hostPath, ExistingFile::kReplace);
  PendingFile pending(target);
  const int fd = ::open(pending.Path().c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) throw ToolError(hostPath + ": cannot be written: " + Reason());
  const bool written = WriteAll(fd, contents.data(), contents.size());
  const std::string reason = written ? std::string() : Reason();
  if (::close(fd) != 0 || !written)
    throw ToolError(hostPath + ": cannot be written: " + (written ? Reason() : reason));
  pending.Commit();
}
