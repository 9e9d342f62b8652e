// Host paths as the stand-in's units build them, flushing a folder's entries, and the read-only
// attribute as the host's permission bits give it.
#include "internal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lyrwin {

std::string HostFolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string HostChild(const std::string& folder, const std::string& name) {
  return folder == "/" ? "/" + name : folder + "/" + name;
}

bool IsReadOnlyMode(mode_t mode) {
  return (mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

void SyncFolder(const std::string& folder) {
  const int fd = OpenRetrying(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return;
  lyrwin::sys::Fsync(fd);
  CloseRetrying(fd);
}

}  // namespace lyrwin
