// Looking a name up in a folder without regard to case, which on Linux means reading the whole
// folder. A name that is not there (a log's backlog that nobody has needed yet, looked for on
// every audited action) is remembered, so that looking again costs one stat of the folder: any
// entry made, removed or renamed in it changes its modification and change times, and the change
// time cannot be set back. Only a folder whose last change had settled when it was read is
// trusted, as the other caches do (SettledBefore).
#include "internal.h"

#include <dirent.h>
#include <sys/stat.h>

#include <list>
#include <mutex>
#include <set>
#include <string>

namespace lyrwin {
namespace {

constexpr size_t kFolders = 32;
constexpr size_t kNamesPerFolder = 64;

struct FolderMisses {
  std::string folder;
  dev_t dev = 0;
  ino_t ino = 0;
  struct timespec modified = {};
  struct timespec changed = {};
  std::set<std::string> names;  // folded to lower case
};

std::string Folded(const std::string& name) {
  std::string folded = name;
  for (char& c : folded) c = static_cast<char>(FoldLower(static_cast<unsigned char>(c)));
  return folded;
}

bool SameFolder(const FolderMisses& kept, const struct stat& st) {
  return kept.dev == st.st_dev && kept.ino == st.st_ino &&
         kept.modified.tv_sec == st.st_mtim.tv_sec && kept.modified.tv_nsec == st.st_mtim.tv_nsec &&
         kept.changed.tv_sec == st.st_ctim.tv_sec && kept.changed.tv_nsec == st.st_ctim.tv_nsec;
}

class MissCache {
 public:
  // Whether `name` is known to be missing from `folder` as it stands (`st`).
  bool KnownMissing(const std::string& folder, const struct stat& st, const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const FolderMisses& kept : folders_)
      if (kept.folder == folder) return SameFolder(kept, st) && kept.names.count(Folded(name)) != 0;
    return false;
  }

  // Notes that `name` was not in `folder` when it was read, if the folder had settled then.
  void Remember(const std::string& folder, const struct stat& st, const std::string& name) {
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    if (!SettledBefore(st.st_mtim, now) || !SettledBefore(st.st_ctim, now)) return;
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = folders_.begin();
    while (it != folders_.end() && it->folder != folder) ++it;
    if (it == folders_.end()) {
      if (folders_.size() == kFolders) folders_.pop_back();
      it = folders_.insert(folders_.begin(), FolderMisses{folder, 0, 0, {}, {}, {}});
    }
    if (!SameFolder(*it, st)) {
      it->dev = st.st_dev;
      it->ino = st.st_ino;
      it->modified = st.st_mtim;
      it->changed = st.st_ctim;
      it->names.clear();
    }
    if (it->names.size() < kNamesPerFolder) it->names.insert(Folded(name));
  }

 private:
  std::mutex mutex_;
  std::list<FolderMisses> folders_;  // the most recently added first
};

MissCache& Misses() {
  static MissCache cache;
  return cache;
}

std::string Scan(const std::string& folder, const std::string& name) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return std::string();
  std::string found;
  while (struct dirent* entry = ::readdir(dir)) {
    if (EqualNoCase(entry->d_name, name)) {
      found = entry->d_name;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

}  // namespace

std::string FindNoCase(const std::string& folder, const std::string& name) {
  struct stat st;
  if (lyrwin::sys::Stat(folder.c_str(), &st) != 0) return std::string();
  return FindNoCase(folder, st, name);
}

std::string FindNoCase(const std::string& folder, const struct stat& st, const std::string& name) {
  if (Misses().KnownMissing(folder, st, name)) return std::string();
  std::string found = Scan(folder, name);
  if (found.empty()) Misses().Remember(folder, st, name);
  return found;
}

}  // namespace lyrwin
