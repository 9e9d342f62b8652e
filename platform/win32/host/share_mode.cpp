// Windows share modes between handles, in one process or several.
//
// Windows refuses an open whose access is not allowed by the share mode of every handle already
// open on the file, or whose share mode does not allow the access of every such handle. POSIX has
// no such notion, so the stand-in records each handle's part with locks that belong to its open
// file description, not to the process: such locks conflict between two descriptors of one
// process exactly as two handles do on Windows, and vanish with the descriptor, so a crashed
// process leaves nothing behind.
//
// An exclusive handle (data access, nothing shared: how the audit trail opens its logs) conflicts
// with every other handle that has data access, so every such handle holds a flock on the file:
// an exclusive one LOCK_EX, any other LOCK_SH, both taken without waiting. The kernel decides
// between them in one call, and an exclusive open costs nothing else.
//
// Between handles that share something the rule depends on what each accesses and shares, so
// each records its access and denials as read locks (F_OFD_SETLK) on fixed bytes far beyond any
// data: one byte per kind of access held (read, write, delete) and one per kind denied. It takes
// its own bytes and then tests for conflicting ones; taking before testing keeps two conflicting
// handles from ever being open together: of two such opens, each takes its bytes before it tests
// for the other's, so whichever tests second sees the first. Side by side, both can see each
// other and both refuse, where Windows would let one in; so an open that meets a conflict lets go
// and tries once more under the installation's share gate (an exclusive flock), where such
// openers take turns. Under the gate an open is refused only by a handle that is open or by an
// open still on its first try, which then comes to the gate itself and gets in: of openers that
// conflict, one always succeeds.
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

// The bytes' order makes the common sharing opens' sets contiguous, each taken or tested in one
// call: a reader that shares everything holds read (byte 0) and meets denials of reading (5); a
// reader that denies writing (MFC's shareDenyWrite) holds read and denies writing and deleting
// (0-2) and meets holders of writing or deleting and denials of reading (3-5); a writer that
// denies writing holds bytes 1-3.
enum ShareByte : int {
  kHoldsRead = 0,
  kDeniesWrite = 1,
  kDeniesDelete = 2,
  kHoldsWrite = 3,
  kHoldsDelete = 4,
  kDeniesRead = 5,
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
    rc = lyrwin::sys::FcntlLock(fd, F_OFD_SETLK, &fl);
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
    return lyrwin::sys::FcntlLock(fd, F_OFD_GETLK, &fl) != 0 || fl.l_type == F_UNLCK;
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

// The handle's flock, taken without waiting: 0, ERROR_SHARING_VIOLATION or another error.
DWORD TakeFlock(int fd, int operation) {
  int rc;
  do {
    rc = lyrwin::sys::Flock(fd, operation | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc == 0) return 0;
  return errno == EWOULDBLOCK ? ERROR_SHARING_VIOLATION : Win32ErrorFromErrno(errno);
}

// A sharing handle's flock and bytes: 0, or an error with nothing left taken.
DWORD TakeShared(int fd, unsigned ours, unsigned conflicts) {
  DWORD err = TakeFlock(fd, LOCK_SH);
  if (err == 0) err = TakeThenTest(fd, ours, conflicts);
  if (err != 0) lyrwin::sys::Flock(fd, LOCK_UN);
  return err;
}

// TakeShared, and once more under the share gate when it meets a conflict.
DWORD TakeOrWaitYourTurn(int fd, unsigned ours, unsigned conflicts) {
  DWORD err = TakeShared(fd, ours, conflicts);
  if (err != ERROR_SHARING_VIOLATION) return err;
  FileLock gate(PrefixDir() + "/.lyrwin-share.lock");
  if (!gate.Held()) return err;
  return TakeShared(fd, ours, conflicts);
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
  // The flock probe stands for the reading handle the question is about.
  return AnyTaken(fd, DeniesBit(kAccessRead)) || TakeFlock(fd, LOCK_SH) != 0;
}

DWORD AcquireShareAccess(int fd, unsigned access, unsigned share) {
  // A handle without data access (attributes only) takes part in no sharing, as on Windows.
  if (access == 0) return 0;
  if (share == 0) return TakeFlock(fd, LOCK_EX);
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
