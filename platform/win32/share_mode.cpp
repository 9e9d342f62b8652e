// Windows share modes between handles, in one process or several.
//
// Windows refuses an open whose access is not allowed by the share mode of every handle already
// open on the file, or whose share mode does not allow the access of every such handle. POSIX has
// no such notion, so the stand-in records each handle's access and denials as locks on fixed
// bytes far beyond any data: one byte per kind of access held (read, write, delete) and one per
// kind denied. A new handle takes its own locks and then tests for conflicting ones.
//
// The locks are Linux open-file-description locks (F_OFD_SETLK), not classic POSIX record locks:
// POSIX locks belong to the process, so two handles of one process would never conflict and
// closing any descriptor of the file would drop them all. OFD locks belong to the descriptor,
// conflict between two descriptors of one process exactly as two handles do on Windows, and vanish
// with the descriptor, so a crashed process leaves nothing behind.
//
// Taking before testing is what keeps two conflicting handles from ever being open together
// without a lock around the pair of calls: of two such opens, each takes its bytes before it
// tests for the other's, so whichever tests second sees the first. Side by side, both can see
// each other and both refuse, where Windows would let one in; so an open that meets a conflict
// lets go of its bytes and tries once more under an exclusive "gate" (flock on the file), where
// such openers take turns. Under the gate an open is refused only by a handle that is open or by
// an open still on its first try, which then comes to the gate itself and gets in: of openers
// that conflict, one always succeeds. An uncontended open costs two fcntl calls.
#include "internal.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace lyrwin {
namespace {

// Far beyond any real file's data, yet within off_t.
constexpr off_t kShareLockBase = 0x7FFFFFFF00000000LL;
constexpr int kShareBytes = 6;

// The bytes' order makes the common opens' sets contiguous, each taken or tested in one call:
// an exclusive reader (a load of the audit trail) holds read and denies everything (bytes 2-5)
// and conflicts with any holder and with a denial of reading (bytes 0-3); a sharing reader holds
// read (2) and meets denials of reading (3).
enum ShareByte : int {
  kHoldsWrite = 0,
  kHoldsDelete = 1,
  kHoldsRead = 2,
  kDeniesRead = 3,
  kDeniesWrite = 4,
  kDeniesDelete = 5,
};

constexpr unsigned kAllKinds = kAccessRead | kAccessWrite | kAccessDelete;

unsigned HoldsBit(unsigned kind) {
  return 1u << (kind == kAccessRead    ? kHoldsRead
                : kind == kAccessWrite ? kHoldsWrite
                                       : kHoldsDelete);
}

unsigned DeniesBit(unsigned kind) {
  return 1u << (kind == kAccessRead    ? kDeniesRead
                : kind == kAccessWrite ? kDeniesWrite
                                       : kDeniesDelete);
}

// Calls `call(start, length)` for each run of consecutive bytes in `bits`; false as soon as a
// call is.
template <class Call>
bool EachRun(unsigned bits, Call call) {
  for (int first = 0; first < kShareBytes;) {
    if ((bits & (1u << first)) == 0) {
      ++first;
      continue;
    }
    int end = first;
    while (end < kShareBytes && (bits & (1u << end)) != 0) ++end;
    if (!call(kShareLockBase + first, end - first)) return false;
    first = end;
  }
  return true;
}

int SetLock(int fd, short type, off_t start, off_t length) {
  struct flock fl = {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = start;
  fl.l_len = length;
  int rc;
  do {
    rc = ::fcntl(fd, F_OFD_SETLK, &fl);
  } while (rc != 0 && errno == EINTR);
  return rc;
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

// Read locks, so that any number of descriptors hold the same byte; a test asks for a write lock
// and so sees each of them.
bool TakeAll(int fd, unsigned bits) {
  return EachRun(
      bits, [fd](off_t start, off_t length) { return SetLock(fd, F_RDLCK, start, length) == 0; });
}

void ReleaseAll(int fd) {
  SetLock(fd, F_UNLCK, kShareLockBase, kShareBytes);
}

// Takes `ours`, then tests `conflicts`: 0, ERROR_SHARING_VIOLATION (ours let go) or the error of
// a failed lock.
DWORD TakeThenTest(int fd, unsigned ours, unsigned conflicts) {
  if (!TakeAll(fd, ours)) {
    const DWORD err = Win32ErrorFromErrno(errno);
    ReleaseAll(fd);
    return err;
  }
  if (!AnyTaken(fd, conflicts)) return 0;
  ReleaseAll(fd);
  return ERROR_SHARING_VIOLATION;
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

// TakeThenTest, and once more under the gate when it meets a conflict.
DWORD TakeOrWaitYourTurn(int fd, unsigned ours, unsigned conflicts) {
  DWORD err = TakeThenTest(fd, ours, conflicts);
  if (err != ERROR_SHARING_VIOLATION) return err;
  err = LockGate(fd);
  if (err != 0) return err;
  err = TakeThenTest(fd, ours, conflicts);
  UnlockGate(fd);
  return err;
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

bool SomeoneDeniesRead(int fd) {
  return AnyTaken(fd, DeniesBit(kAccessRead));
}

DWORD AcquireShareAccess(int fd, unsigned access, unsigned share) {
  // A handle without data access (attributes only) takes part in no sharing, as on Windows.
  if (access == 0) return 0;
  const unsigned denied = kAllKinds & ~share;
  unsigned conflicts = 0;  // others' denials of what we access, others' holds of what we deny
  unsigned ours = 0;       // our holds and denials
  for (unsigned kind : {kAccessRead, kAccessWrite, kAccessDelete}) {
    if (access & kind) {
      conflicts |= DeniesBit(kind);
      ours |= HoldsBit(kind);
    }
    if (denied & kind) {
      conflicts |= HoldsBit(kind);
      ours |= DeniesBit(kind);
    }
  }
  return TakeOrWaitYourTurn(fd, ours, conflicts);
}

DWORD AcquireDeleteAccess(int fd) {
  return AcquireShareAccess(fd, kAccessDelete, kAllKinds);
}

}  // namespace lyrwin
