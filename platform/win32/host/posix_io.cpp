// System calls retried on EINTR, and reads and writes looped until done, in one place.
#include "internal.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace lyrwin {

int OpenRetrying(const char* path, int flags, mode_t mode) {
  int fd;
  do {
    fd = lyrwin::sys::Open(path, flags | O_CLOEXEC, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

int CloseRetrying(int fd) {
  // Linux releases the descriptor even when close reports EINTR, so it is never retried.
  return lyrwin::sys::Close(fd);
}

size_t WriteAll(int fd, const void* data, size_t size, off_t offset) {
  const char* p = static_cast<const char*>(data);
  size_t done = 0;
  while (done < size) {
    ssize_t n = offset < 0 ? lyrwin::sys::Write(fd, p + done, size - done)
                           : lyrwin::sys::Pwrite(fd, p + done, size - done,
                                                 offset + static_cast<off_t>(done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return done;
    }
    if (n == 0) {
      errno = ENOSPC;
      return done;
    }
    done += static_cast<size_t>(n);
  }
  return done;
}

ssize_t ReadFull(int fd, void* data, size_t size, off_t offset) {
  char* p = static_cast<char*>(data);
  size_t done = 0;
  while (done < size) {
    ssize_t n = offset < 0 ? lyrwin::sys::Read(fd, p + done, size - done)
                           : lyrwin::sys::Pread(fd, p + done, size - done,
                                                offset + static_cast<off_t>(done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

bool ReadWholeFile(const std::string& hostPath, std::string* contents) {
  int fd = OpenRetrying(hostPath.c_str(), O_RDONLY);
  if (fd < 0) return false;
  contents->clear();
  char buffer[65536];
  for (;;) {
    ssize_t n = ReadFull(fd, buffer, sizeof buffer);
    if (n < 0) {
      int saved = errno;
      CloseRetrying(fd);
      errno = saved;
      return false;
    }
    contents->append(buffer, static_cast<size_t>(n));
    if (static_cast<size_t>(n) < sizeof buffer) break;
  }
  CloseRetrying(fd);
  return true;
}

}  // namespace lyrwin
