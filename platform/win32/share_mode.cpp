// Windows share modes between handles, in one process or several.
//
// Windows refuses an open whose access is not allowed by the share mode of every handle already
// open on the file, or whose share mode does not allow the access of every such handle. POSIX has
// no such notion, so the stand-in records each handle's access and denials as locks on fixed
// bytes far beyond any data: one byte per kind of access held (read, write, delete) and one per
// kind denied. A new handle tests for conflicting locks and then takes its own, both under a short
// exclusive "gate" (flock on the same descriptor) so that no other open slips in between.
//
// The locks are Linux open-file-description locks (F_OFD_SETLK), not classic POSIX record locks:
// POSIX locks belong to the process, so two handles of one process would never conflict and
// closing any descriptor of the file would drop them all. OFD locks belong to the descriptor,
// conflict between two descriptors of one process exactly as two handles do on Windows, and vanish
// with the descriptor, so a crashed process leaves nothing behind.
#include "internal.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace lyrwin {
namespace {

// Far beyond any real file's data, yet within off_t.
constexpr off_t kShareLockBase = 0x7FFFFFFF00000000LL;
constexpr off_t kHoldsOffset = 0;   // + bit index: holds read, write, delete
constexpr off_t kDeniesOffset = 3;  // + bit index: denies read, write, delete

constexpr unsigned kAllKinds = kAccessRead | kAccessWrite | kAccessDelete;

off_t ByteFor(off_t group, unsigned kindBit) {
  off_t index = kindBit == kAccessRead ? 0 : (kindBit == kAccessWrite ? 1 : 2);
  return kShareLockBase + group + index;
}

// Whether any other descriptor holds a lock on the byte.
bool Taken(int fd, off_t offset) {
  struct flock fl = {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = offset;
  fl.l_len = 1;
  if (::fcntl(fd, F_OFD_GETLK, &fl) != 0) return false;
  return fl.l_type != F_UNLCK;
}

// The six bytes as bits (holds read, write, delete; denies read, write, delete). Consecutive bytes
// are tested or taken with one call, so an exclusive open costs two tests and two takes instead
// of four of each.
unsigned BitFor(off_t group, unsigned kindBit) {
  return 1u << (ByteFor(group, kindBit) - kShareLockBase);
}

template <class Call>
bool EachRun(unsigned bits, Call call) {
  for (int first = 0; first < 6;) {
    if ((bits & (1u << first)) == 0) {
      ++first;
      continue;
    }
    int end = first;
    while (end < 6 && (bits & (1u << end)) != 0) ++end;
    if (!call(kShareLockBase + first, end - first)) return false;
    first = end;
  }
  return true;
}

// Whether another descriptor holds a lock on any of the bytes.
bool AnyTaken(int fd, unsigned bits) {
  return !EachRun(bits, [fd](off_t start, off_t length) {
    struct flock fl = {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = start;
    fl.l_len = length;
    return ::fcntl(fd, F_OFD_GETLK, &fl) != 0 || fl.l_type == F_UNLCK;
  });
}

bool TakeAll(int fd, unsigned bits) {
  return EachRun(bits, [fd](off_t start, off_t length) {
    struct flock fl = {};
    fl.l_type = F_RDLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = start;
    fl.l_len = length;
    int rc;
    do {
      rc = ::fcntl(fd, F_OFD_SETLK, &fl);
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
  });
}

}  // namespace

unsigned AccessBitsFromDesired(DWORD desiredAccess) {
  unsigned bits = 0;
  // FILE_READ_DATA 0x1, FILE_WRITE_DATA 0x2, FILE_APPEND_DATA 0x4 and the generic rights.
  if (desiredAccess & (GENERIC_READ | GENERIC_ALL | GENERIC_EXECUTE | 0x1)) bits |= kAccessRead;
  if (desiredAccess & (GENERIC_WRITE | GENERIC_ALL | 0x2 | 0x4)) bits |= kAccessWrite;
  if (desiredAccess & (DELETE | GENERIC_ALL)) bits |= kAccessDelete;
  return bits;
}

unsigned ShareBitsFromMode(DWORD shareMode) {
  unsigned bits = 0;
  if (shareMode & FILE_SHARE_READ) bits |= kAccessRead;
  if (shareMode & FILE_SHARE_WRITE) bits |= kAccessWrite;
  if (shareMode & FILE_SHARE_DELETE) bits |= kAccessDelete;
  return bits;
}

DWORD LockGate(int fd) {
  int rc;
  do {
    rc = ::flock(fd, LOCK_EX);
  } while (rc != 0 && errno == EINTR);
  return rc == 0 ? 0 : Win32ErrorFromErrno(errno);
}

void UnlockGate(int fd) {
  ::flock(fd, LOCK_UN);
}

bool SomeoneDeniesDelete(int fd) {
  return Taken(fd, ByteFor(kDeniesOffset, kAccessDelete));
}

bool SomeoneDeniesRead(int fd) {
  return Taken(fd, ByteFor(kDeniesOffset, kAccessRead));
}

DWORD AcquireShareAccess(int fd, unsigned access, unsigned share) {
  // A handle without data access (attributes only) takes part in no sharing, as on Windows.
  if (access == 0) return 0;
  const unsigned denied = kAllKinds & ~share;
  unsigned conflicts = 0;  // others' denials of what we access, others' holds of what we deny
  unsigned ours = 0;       // our holds and denials
  for (unsigned kind : {kAccessRead, kAccessWrite, kAccessDelete}) {
    if (access & kind) {
      conflicts |= BitFor(kDeniesOffset, kind);
      ours |= BitFor(kHoldsOffset, kind);
    }
    if (denied & kind) {
      conflicts |= BitFor(kHoldsOffset, kind);
      ours |= BitFor(kDeniesOffset, kind);
    }
  }
  DWORD err = LockGate(fd);
  if (err != 0) return err;
  if (AnyTaken(fd, conflicts)) {
    UnlockGate(fd);
    return ERROR_SHARING_VIOLATION;
  }
  if (!TakeAll(fd, ours)) {
    err = Win32ErrorFromErrno(errno);
    UnlockGate(fd);
    return err;
  }
  UnlockGate(fd);
  return 0;
}

}  // namespace lyrwin
