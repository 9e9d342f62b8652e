// Whole-file replacement that never leaves a half-written file, and the lock that serialises
// read-modify-write cycles between processes.
#include "internal.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lyrwin {
namespace {}  // namespace

DWORD ReplaceFileAtomically(const std::string& hostPath, const std::string& contents, mode_t mode) {
  std::string temp = hostPath + ".lyrtmp" + std::to_string(::getpid());
  int fd = OpenRetrying(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd < 0) return Win32ErrorFromErrno(errno);
  DWORD err = 0;
  if (WriteAll(fd, contents.data(), contents.size()) != contents.size() ||
      lyrwin::sys::Fsync(fd) != 0 || ::fchmod(fd, mode & 07777) != 0)
    err = Win32ErrorFromErrno(errno);
  if (CloseRetrying(fd) != 0 && err == 0) err = Win32ErrorFromErrno(errno);
  if (err == 0 && lyrwin::sys::Rename(temp.c_str(), hostPath.c_str()) != 0)
    err = Win32ErrorFromErrno(errno);
  if (err != 0) {
    lyrwin::sys::Unlink(temp.c_str());
    return err;
  }
  // The rename itself must reach the disk, or a crash could bring the old file back.
  SyncFolder(HostFolderOf(hostPath));
  return 0;
}

FileLock::FileLock(const std::string& hostPath, bool directory, bool shared) {
  fd_ = directory ? OpenRetrying(hostPath.c_str(), O_RDONLY | O_DIRECTORY)
                  : OpenRetrying(hostPath.c_str(), O_RDWR | O_CREAT, 0666);
  // A reader that may not make the lock file still finds one a writer made.
  if (fd_ < 0 && shared && !directory) fd_ = OpenRetrying(hostPath.c_str(), O_RDONLY);
  if (fd_ < 0) return;
  int rc;
  do {
    rc = lyrwin::sys::Flock(fd_, shared ? LOCK_SH : LOCK_EX);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    CloseRetrying(fd_);
    fd_ = -1;
  }
}

FileLock::~FileLock() {
  if (fd_ >= 0) CloseRetrying(fd_);  // closing the descriptor releases the flock
}

}  // namespace lyrwin
