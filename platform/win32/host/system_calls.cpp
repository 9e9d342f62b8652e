// The stand-in's file system calls, each passing first by the failure a test may have armed for
// its kind (LyrFailSystemCall) and counted by kind (LyrSystemCallCount). Unarmed, a call costs
// one relaxed atomic load and one relaxed atomic increment more than the kernel's.
#include "internal.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <sys/file.h>
#include <unistd.h>

namespace lyrwin {
namespace {

enum Kind {
  kOpen,
  kRead,
  kWrite,
  kFsync,
  kRename,
  kLink,
  kUnlink,
  kFtruncate,
  kLock,
  kStat,
  kClose,
  kSeek,
  kReadlink,
  kKinds
};

constexpr std::array<const char*, kKinds> kKindNames = {
    "open",      "read", "write", "fsync", "rename", "link",    "unlink",
    "ftruncate", "lock", "stat",  "close", "seek",   "readlink"};

struct Fault {
  std::atomic<unsigned> failing{0};  // calls still to fail; 0: not armed
  unsigned skip = 0;                 // calls to let through first
  int error = 0;
};

std::array<Fault, kKinds> g_faults;
std::mutex g_faultMutex;
std::array<std::atomic<unsigned long long>, kKinds> g_calls{};

// True, with errno set, when this call is one a test armed to fail. Counts the call.
bool Injected(Kind kind) {
  g_calls[kind].fetch_add(1, std::memory_order_relaxed);
  Fault& fault = g_faults[kind];
  if (fault.failing.load(std::memory_order_relaxed) == 0) return false;
  std::lock_guard<std::mutex> lock(g_faultMutex);
  if (fault.failing.load(std::memory_order_relaxed) == 0) return false;
  if (fault.skip > 0) {
    --fault.skip;
    return false;
  }
  fault.failing.fetch_sub(1, std::memory_order_relaxed);
  errno = fault.error;
  return true;
}

}  // namespace

namespace sys {

int Open(const char* path, int flags, mode_t mode) {
  return Injected(kOpen) ? -1 : ::open(path, flags, mode);
}

ssize_t Read(int fd, void* data, size_t size) {
  return Injected(kRead) ? -1 : ::read(fd, data, size);
}

ssize_t Write(int fd, const void* data, size_t size) {
  return Injected(kWrite) ? -1 : ::write(fd, data, size);
}

ssize_t Pread(int fd, void* data, size_t size, off_t offset) {
  return Injected(kRead) ? -1 : ::pread(fd, data, size, offset);
}

ssize_t Pwrite(int fd, const void* data, size_t size, off_t offset) {
  return Injected(kWrite) ? -1 : ::pwrite(fd, data, size, offset);
}

int Fsync(int fd) {
  return Injected(kFsync) ? -1 : ::fsync(fd);
}

int Rename(const char* from, const char* to) {
  return Injected(kRename) ? -1 : ::rename(from, to);
}

int Link(const char* from, const char* to) {
  return Injected(kLink) ? -1 : ::link(from, to);
}

int Unlink(const char* path) {
  return Injected(kUnlink) ? -1 : ::unlink(path);
}

int Ftruncate(int fd, off_t length) {
  return Injected(kFtruncate) ? -1 : ::ftruncate(fd, length);
}

int Flock(int fd, int operation) {
  return Injected(kLock) ? -1 : ::flock(fd, operation);
}

int FcntlLock(int fd, int command, struct flock* lock) {
  return Injected(kLock) ? -1 : ::fcntl(fd, command, lock);
}

int Stat(const char* path, struct stat* st) {
  return Injected(kStat) ? -1 : ::stat(path, st);
}

int Lstat(const char* path, struct stat* st) {
  return Injected(kStat) ? -1 : ::lstat(path, st);
}

int Fstat(int fd, struct stat* st) {
  return Injected(kStat) ? -1 : ::fstat(fd, st);
}

int Close(int fd) {
  return Injected(kClose) ? -1 : ::close(fd);
}

off_t Lseek(int fd, off_t offset, int whence) {
  return Injected(kSeek) ? -1 : ::lseek(fd, offset, whence);
}

ssize_t Readlink(const char* path, char* buffer, size_t size) {
  return Injected(kReadlink) ? -1 : ::readlink(path, buffer, size);
}

}  // namespace sys
}  // namespace lyrwin

unsigned long long LyrSystemCallCount(const char* kind) {
  unsigned long long total = 0;
  for (size_t k = 0; k < lyrwin::kKindNames.size(); ++k) {
    if (kind == nullptr || std::strcmp(kind, lyrwin::kKindNames[k]) == 0)
      total += lyrwin::g_calls[k].load(std::memory_order_relaxed);
  }
  return total;
}

BOOL LyrFailSystemCall(const char* kind, unsigned nth, unsigned count, int error) {
  if (kind == nullptr) return FALSE;
  for (size_t k = 0; k < lyrwin::kKindNames.size(); ++k) {
    if (std::strcmp(kind, lyrwin::kKindNames[k]) != 0) continue;
    if (count != 0 && nth == 0) return FALSE;
    lyrwin::Fault& fault = lyrwin::g_faults[k];
    std::lock_guard<std::mutex> lock(lyrwin::g_faultMutex);
    fault.skip = count == 0 ? 0 : nth - 1;
    fault.error = error;
    fault.failing.store(count, std::memory_order_relaxed);
    return TRUE;
  }
  return FALSE;
}
