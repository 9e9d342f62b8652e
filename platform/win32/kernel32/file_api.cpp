// CreateFileA and the functions on file handles and file names.
//
// The read-only attribute is the absence of every write permission bit, and the stand-in enforces
// it itself: CI and many users run as root, whom the kernel lets write anyway, while Windows
// refuses a write open, a truncation or a deletion of a read-only file whoever asks.
#include "internal.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lyrwin {

// An open file. Owns the descriptor; closing the handle closes it and so releases its share
// locks. The file pointer is the handle's, as on Windows, and reads and writes go to it with
// pread and pwrite: moving it costs no system call, so that a seek and a read of a load are one
// call. The mutex keeps the pointer and the transfer at it together, as Windows serialises the
// calls on one synchronous handle.
struct FileObject final : KernelObject {
  int fd = -1;            // a file on a disk of this machine
  NetworkFilePtr remote;  // or a file on a share (fd is -1 then)
  unsigned access = 0;
  std::string host;  // its host path, or its network path
  std::mutex positionMutex;
  off_t position = 0;
  ~FileObject() override {
    if (fd >= 0) CloseRetrying(fd);
  }
  void Retire(std::shared_ptr<KernelObject> self) override {
    if (fd >= 0) CloseRetrying(fd);  // releases the share locks, as the destruction would
    fd = -1;
    remote.reset();
    access = 0;
    host.clear();
    position = 0;
    SpareObjects<FileObject>::Keep(std::static_pointer_cast<FileObject>(std::move(self)));
  }
};

void ToFileTime(const struct timespec& ts, FILETIME* ft) {
  uint64_t t = (static_cast<uint64_t>(ts.tv_sec) + 11644473600ULL) * 10000000ULL +
               static_cast<uint64_t>(ts.tv_nsec) / 100;
  ft->dwLowDateTime = static_cast<DWORD>(t);
  ft->dwHighDateTime = static_cast<DWORD>(t >> 32);
}

}  // namespace lyrwin

using lyrwin::DosPath;
using lyrwin::FileObject;
using lyrwin::HostPath;
using lyrwin::ToFileTime;

namespace {

// The failures of the functions below are counted, with the error of the last, for hosts that
// must tell "nothing more to read" from "could not read" (LyrFileFailureCount). A name that is not
// there is no failure of this kind: opening a name is how callers find out whether it exists.
std::atomic<unsigned long long> g_fileFailures{0};
std::atomic<DWORD> g_lastFileFailure{0};

void NoteFailure(DWORD err) {
  if (err != ERROR_FILE_NOT_FOUND && err != ERROR_PATH_NOT_FOUND) {
    g_lastFileFailure.store(err, std::memory_order_relaxed);
    g_fileFailures.fetch_add(1, std::memory_order_release);
  }
  SetLastError(err);
}

BOOL Fail(DWORD err) {
  NoteFailure(err);
  return FALSE;
}

HANDLE FailHandle(DWORD err) {
  NoteFailure(err);
  return INVALID_HANDLE_VALUE;
}

std::shared_ptr<FileObject> FileFromHandle(HANDLE h) {
  auto file = lyrwin::LookupHandleAs<FileObject>(h);
  if (!file) NoteFailure(ERROR_INVALID_HANDLE);
  return file;
}

// What the file behind a handle is, from the disk or from the server. 0 or a Win32 error.
DWORD StatOf(FileObject& file, struct stat* st) {
  if (file.remote) return lyrwin::NetworkFileStat(*file.remote, st);
  return lyrwin::sys::Fstat(file.fd, st) == 0 ? 0 : lyrwin::Win32ErrorFromErrno(errno);
}

// The network path a name stands for when the lookup on this machine's disks answered
// ERROR_NOT_SUPPORTED: a UNC name (\\server\share\...) or a name on a drive mapped to a share.
// Local names never get here, so they pay nothing for shares.
bool ShareNameOf(LPCSTR name, DWORD localError, DosPath* dos) {
  return localError == ERROR_NOT_SUPPORTED && lyrwin::NormalizeDosPath(name, dos) == 0 &&
         lyrwin::RedirectToShare(dos);
}

DWORD DeleteOnShare(const DosPath& dos) {
  struct stat st;
  DWORD err = lyrwin::NetworkStat(dos, &st);
  if (err == 0 && (S_ISDIR(st.st_mode) || lyrwin::IsReadOnlyMode(st.st_mode)))
    err = ERROR_ACCESS_DENIED;
  return err != 0 ? err : lyrwin::NetworkDelete(dos);
}

DWORD Attributes(const struct stat& st) {
  if (S_ISDIR(st.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
  DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
  if (lyrwin::IsReadOnlyMode(st.st_mode)) attributes |= FILE_ATTRIBUTE_READONLY;
  return attributes;
}

HANDLE OpenNetworkFile(const DosPath& named, unsigned access, unsigned share, DWORD disposition) {
  lyrwin::NetworkFilePtr remote;
  bool existed = false;
  const DWORD err = lyrwin::NetworkOpen(named, access, share, disposition, &remote, &existed);
  if (err != 0) return FailHandle(err);
  std::shared_ptr<FileObject> file = lyrwin::SpareObjects<FileObject>::Take();
  file->remote = std::move(remote);
  file->access = access;
  file->host = named.full;
  HANDLE handle = lyrwin::InsertHandle(file);
  SetLastError(existed && (disposition == OPEN_ALWAYS || disposition == CREATE_ALWAYS)
                   ? ERROR_ALREADY_EXISTS
                   : ERROR_SUCCESS);
  return handle;
}

// Copies what `in` holds to `out` through the handles: for a file on a share, which has no
// descriptor. 0 or a Win32 error.
DWORD CopyThroughHandles(HANDLE in, HANDLE out) {
  std::vector<char> buffer(1 << 16);
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(in, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr))
      return GetLastError();
    if (got == 0) return 0;
    DWORD put = 0;
    if (!WriteFile(out, buffer.data(), got, &put, nullptr)) return GetLastError();
  }
}

// Looks the name up and checks the disposition against what is there. 0 or a Win32 error.
DWORD LookUpForOpen(LPCSTR name, unsigned access, DWORD disposition, bool truncates,
                    HostPath* host) {
  DosPath dos;
  DWORD err = lyrwin::ResolvePath(name, &dos, host);
  if (err != 0) return err;
  if (dos.trailingSeparator || dos.parts.empty()) return ERROR_PATH_NOT_FOUND;
  if (host->exists && host->isDirectory) return ERROR_ACCESS_DENIED;
  if (host->exists) {
    if (disposition == CREATE_NEW) return ERROR_FILE_EXISTS;
    if (lyrwin::IsReadOnlyMode(host->st.st_mode) && ((access & lyrwin::kAccessWrite) || truncates))
      return ERROR_ACCESS_DENIED;
  } else if (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING) {
    return ERROR_FILE_NOT_FOUND;
  }
  return 0;
}

// New names are made one at a time per installation: two creators of "set.ini" and "SET.INI"
// would otherwise make two files where Windows has one. Under the lock the name is looked up
// afresh, so the second creator finds the first one's file. Existing files never take it.
std::string CreationLockPath() {
  return lyrwin::PrefixDir() + "/.lyrwin-create.lock";
}

// A reserved device name opens the device, whatever the disposition and folder: NUL reads empty
// and swallows writes, CON is the console (standard input for reading, output for writing). The
// stand-in has no printers or ports, so PRN, AUX, COMn and LPTn are not found.
HANDLE OpenDevice(lyrwin::Device device, unsigned access) {
  int fd = -1;
  if (device == lyrwin::Device::kNull) {
    fd = lyrwin::OpenRetrying("/dev/null", O_RDWR);
  } else if (device == lyrwin::Device::kConsole) {
    fd = ::fcntl((access & lyrwin::kAccessWrite) ? 1 : 0, F_DUPFD_CLOEXEC, 0);
  } else {
    return FailHandle(ERROR_FILE_NOT_FOUND);
  }
  if (fd < 0) return FailHandle(lyrwin::Win32ErrorFromErrno(errno));
  auto file = std::make_shared<FileObject>();
  file->fd = fd;
  file->access = access;
  HANDLE handle = lyrwin::InsertHandle(file);
  SetLastError(ERROR_SUCCESS);
  return handle;
}

// "C:\dir\file.txt\": a file's name with a separator after it. The lookups find no such folder
// (ERROR_PATH_NOT_FOUND, as GetFileAttributes answers); opening it, NTFS finds the name itself
// invalid.
bool NamesAFileWithASeparatorAfter(const DosPath& named) {
  if (!named.trailingSeparator) return false;
  DosPath dos;
  HostPath host;
  return lyrwin::ResolvePath(named.full.c_str(), &dos, &host) == 0 && host.exists &&
         !host.isDirectory;
}

// The common open: an existing file, named as it is spelt on disk. The name is opened through
// its drive's link in the prefix, so the kernel reads the link during the open itself and
// neither the drive table's folder nor the path needs a stat first; the descriptor's fstat tells
// a folder or a read-only file apart. Anything else (a name in another case, a missing file, a
// folder, a read-only file to be written) returns -1 and is left to the general path, which
// finds the name or gives the error.
int OpenSpeltAsOnDisk(const DosPath& named, int flags, unsigned access, bool truncates,
                      HostPath* host) {
  std::string& path = host->host;
  if (!lyrwin::PathThroughDriveLink(named, &path)) return -1;
  const int fd = lyrwin::OpenRetrying(path.c_str(), flags);
  if (fd < 0) return -1;
  struct stat st;
  const bool refused =
      lyrwin::sys::Fstat(fd, &st) != 0 || S_ISDIR(st.st_mode) ||
      (lyrwin::IsReadOnlyMode(st.st_mode) && ((access & lyrwin::kAccessWrite) || truncates));
  if (refused) {
    lyrwin::CloseRetrying(fd);
    return -1;
  }
  host->exists = true;
  host->st = st;
  return fd;
}

// What an open needs to find or make the file's descriptor.
struct OpenRequest {
  const char* name;
  const DosPath& named;
  unsigned access;
  DWORD disposition;
  bool truncates;
  int flags;
};

// Finds or makes the file and opens it: 0 with `*fd` set, or a Win32 error. `*described` tells
// whether `host->st` is the descriptor's own fstat (the common open), rather than the lookup's
// stat of the name.
DWORD OpenDescriptor(const OpenRequest& request, HostPath* host, bool* created, int* fd,
                     bool* described) {
  *created = false;
  *fd = -1;
  if (request.disposition != CREATE_NEW && !request.named.parts.empty())
    *fd = OpenSpeltAsOnDisk(request.named, request.flags, request.access, request.truncates, host);
  *described = *fd >= 0;
  if (*fd >= 0) return 0;
  DWORD err =
      LookUpForOpen(request.name, request.access, request.disposition, request.truncates, host);
  if (err == ERROR_PATH_NOT_FOUND && NamesAFileWithASeparatorAfter(request.named))
    err = ERROR_INVALID_NAME;
  if (err != 0) return err;
  if (!host->exists) {
    lyrwin::FileLock creating(CreationLockPath());
    err = LookUpForOpen(request.name, request.access, request.disposition, request.truncates, host);
    if (err != 0) return err;
    if (!host->exists) {
      *fd = lyrwin::OpenRetrying(host->host.c_str(), request.flags | O_CREAT | O_EXCL, 0666);
      if (*fd >= 0) {
        *created = true;
        return 0;
      }
      // Made since the lookup by someone outside the stand-in: an existing file after all.
      if (errno != EEXIST || request.disposition == CREATE_NEW)
        return errno == EEXIST ? ERROR_FILE_EXISTS : lyrwin::Win32ErrorFromErrno(errno);
      host->exists = true;
    }
  }
  *fd = lyrwin::OpenRetrying(host->host.c_str(), request.flags);
  return *fd >= 0 ? 0 : lyrwin::Win32ErrorFromErrno(errno);
}

// Whether the file open on `fd` has lost its name `hostPath` (deleted or renamed) since it was
// opened. A deletion or rename that finished between the open and the share test took its delete
// access before the new handle denied it, and let go before the test could see it: on Windows the
// deletion came first, and the open must not hold a file that no longer has its name. `opened`
// is the descriptor's fstat when the caller has it (a file's identity does not change while it is
// open); a file without names (deleted) is one the name no longer leads to.
bool LostItsName(int fd, const std::string& hostPath, const struct stat* opened) {
  struct stat own;
  if (opened == nullptr) {
    if (lyrwin::sys::Fstat(fd, &own) != 0) return false;
    opened = &own;
  }
  struct stat named;
  return lyrwin::sys::Stat(hostPath.c_str(), &named) != 0 || named.st_ino != opened->st_ino ||
         named.st_dev != opened->st_dev;
}

std::atomic<unsigned long long> g_fileReads{0};

// Resolves a path that must name an existing file or folder.
DWORD ResolveExisting(LPCSTR name, HostPath* host) {
  DosPath dos;
  DWORD err = lyrwin::ResolvePath(name, &dos, host);
  if (err != 0) return err;
  if (!host->exists) return ERROR_FILE_NOT_FOUND;
  return 0;
}

// Copies what is left to read of `in` to `out`, a megabyte at a time. 0 or a Win32 error.
DWORD CopyDescriptor(int in, int out) {
  std::vector<char> buffer(1 << 20);
  for (;;) {
    const ssize_t n = lyrwin::ReadFull(in, buffer.data(), buffer.size());
    if (n < 0) return lyrwin::Win32ErrorFromErrno(errno);
    if (n == 0) return 0;
    if (lyrwin::WriteAll(out, buffer.data(), static_cast<size_t>(n)) != static_cast<size_t>(n))
      return lyrwin::Win32ErrorFromErrno(errno);
  }
}

// A new file at `to` with the contents and permissions of `from`, flushed to the disk; nothing
// left at `to` when it fails. 0 or a Win32 error.
DWORD CopyContents(const std::string& from, const std::string& to) {
  int in = lyrwin::OpenRetrying(from.c_str(), O_RDONLY);
  if (in < 0) return lyrwin::Win32ErrorFromErrno(errno);
  struct stat st;
  lyrwin::sys::Fstat(in, &st);
  int out = lyrwin::OpenRetrying(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, st.st_mode & 0777);
  if (out < 0) {
    DWORD err = lyrwin::Win32ErrorFromErrno(errno);
    lyrwin::CloseRetrying(in);
    return err;
  }
  DWORD err = CopyDescriptor(in, out);
  if (err == 0 && lyrwin::sys::Fsync(out) != 0) err = lyrwin::Win32ErrorFromErrno(errno);
  lyrwin::CloseRetrying(in);
  lyrwin::CloseRetrying(out);
  if (err != 0) lyrwin::sys::Unlink(to.c_str());
  return err;
}

// Renames `from` to `to`; across host file systems a file moves by copy and delete, as across
// Windows volumes. 0 or a Win32 error.
DWORD MoveHostFile(const HostPath& from, const std::string& to) {
  if (lyrwin::sys::Rename(from.host.c_str(), to.c_str()) == 0) return 0;
  if (errno != EXDEV || from.isDirectory) return lyrwin::Win32ErrorFromErrno(errno);
  DWORD copied = CopyContents(from.host, to);
  if (copied != 0) return copied;
  return lyrwin::sys::Unlink(from.host.c_str()) == 0 ? 0 : lyrwin::Win32ErrorFromErrno(errno);
}

struct IgnoreFileSizeSignal {
  IgnoreFileSizeSignal() { ::signal(SIGXFSZ, SIG_IGN); }
} g_ignoreFileSizeSignal;

}  // namespace

namespace lyrwin {

int HandleDescriptor(HANDLE handle) {
  auto file = FileFromHandle(handle);
  return file ? file->fd : -1;
}

}  // namespace lyrwin

extern "C" HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                                     LPSECURITY_ATTRIBUTES, DWORD dwCreationDisposition,
                                     DWORD dwFlagsAndAttributes, HANDLE) {
  if (dwCreationDisposition < CREATE_NEW || dwCreationDisposition > TRUNCATE_EXISTING)
    return FailHandle(ERROR_INVALID_PARAMETER);
  // The name's buffers serve the thread's next open.
  thread_local DosPath named;
  const bool normalised = lyrwin::NormalizeDosPath(lpFileName, &named) == 0;
  OpenRequest request{
      lpFileName, named, lyrwin::AccessBitsFromDesired(dwDesiredAccess), dwCreationDisposition,
      false,      0};
  if (normalised) {
    const lyrwin::Device device = lyrwin::ReservedDevice(request.named);
    if (device != lyrwin::Device::kNone) return OpenDevice(device, request.access);
    if (named.IsNetwork())
      return OpenNetworkFile(named, request.access, lyrwin::ShareBitsFromMode(dwShareMode),
                             dwCreationDisposition);
  }
  request.truncates =
      dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == TRUNCATE_EXISTING;
  // The descriptor is always readable, because the share locks are read locks.
  request.flags = (request.access & lyrwin::kAccessWrite) || request.truncates ? O_RDWR : O_RDONLY;
  const unsigned share = lyrwin::ShareBitsFromMode(dwShareMode);
  // Only a handle that denies deletion can lose the race to a deletion; it starts again, and
  // finds the name gone (or made anew) as it would after the deletion on Windows.
  const bool deniesDelete = request.access != 0 && (share & lyrwin::kAccessDelete) == 0;
  for (int attempt = 0;; ++attempt) {
    thread_local HostPath host;  // its buffer serves the thread's next open
    host.exists = host.isDirectory = false;
    host.st = {};
    bool created = false;
    int fd = -1;
    bool described = false;
    DWORD err = OpenDescriptor(request, &host, &created, &fd, &described);
    // A name on a drive mapped to a share.
    if (err == ERROR_NOT_SUPPORTED && normalised && lyrwin::RedirectToShare(&named))
      return OpenNetworkFile(named, request.access, share, dwCreationDisposition);
    if (err != 0) return FailHandle(err);
    std::shared_ptr<FileObject> file = lyrwin::SpareObjects<FileObject>::Take();
    file->fd = fd;
    file->access = request.access;
    file->host = host.host;
    err = lyrwin::AcquireShareAccess(fd, request.access, share);
    // The file we just made stays, as Windows leaves it when the race is lost after creation.
    if (err != 0) return FailHandle(err);
    if (deniesDelete && attempt < 3 && LostItsName(fd, file->host, described ? &host.st : nullptr))
      continue;
    // Truncation happens only once the sharing test has passed, so a refused open never empties
    // a file that someone else holds.
    if (request.truncates && !created && lyrwin::sys::Ftruncate(fd, 0) != 0)
      return FailHandle(lyrwin::Win32ErrorFromErrno(errno));
    if (created && (dwFlagsAndAttributes & FILE_ATTRIBUTE_READONLY)) ::fchmod(fd, 0444);

    HANDLE handle = lyrwin::InsertHandle(file);
    const bool existed = !created && host.exists;
    SetLastError(
        existed && (dwCreationDisposition == OPEN_ALWAYS || dwCreationDisposition == CREATE_ALWAYS)
            ? ERROR_ALREADY_EXISTS
            : ERROR_SUCCESS);
    return handle;
  }
}

unsigned long long LyrFileReadCount() {
  return g_fileReads.load();
}

unsigned long long LyrFileFailureCount(DWORD* lastError) {
  const unsigned long long count = g_fileFailures.load(std::memory_order_acquire);
  if (lastError) *lastError = g_lastFileFailure.load(std::memory_order_relaxed);
  return count;
}

extern "C" BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                                LPDWORD lpNumberOfBytesRead, LPOVERLAPPED) {
  g_fileReads.fetch_add(1, std::memory_order_relaxed);
  if (lpNumberOfBytesRead) *lpNumberOfBytesRead = 0;
  auto file = FileFromHandle(hFile);
  if (!file) return FALSE;
  if (!(file->access & lyrwin::kAccessRead)) return Fail(ERROR_ACCESS_DENIED);
  std::lock_guard<std::mutex> hold(file->positionMutex);
  if (file->remote) {
    size_t done = 0;
    const DWORD err =
        lyrwin::NetworkRead(*file->remote, lpBuffer, nNumberOfBytesToRead, file->position, &done);
    file->position += static_cast<off_t>(done);
    if (lpNumberOfBytesRead) *lpNumberOfBytesRead = static_cast<DWORD>(done);
    return err == 0 ? TRUE : Fail(err);
  }
  ssize_t n = lyrwin::ReadFull(file->fd, lpBuffer, nNumberOfBytesToRead, file->position);
  if (n < 0) return Fail(lyrwin::Win32ErrorFromErrno(errno));
  file->position += n;
  if (lpNumberOfBytesRead) *lpNumberOfBytesRead = static_cast<DWORD>(n);
  return TRUE;
}

extern "C" BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                                 LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED) {
  if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = 0;
  auto file = FileFromHandle(hFile);
  if (!file) return FALSE;
  if (!(file->access & lyrwin::kAccessWrite)) return Fail(ERROR_ACCESS_DENIED);
  std::lock_guard<std::mutex> hold(file->positionMutex);
  if (file->remote) {
    size_t done = 0;
    const DWORD err =
        lyrwin::NetworkWrite(*file->remote, lpBuffer, nNumberOfBytesToWrite, file->position, &done);
    file->position += static_cast<off_t>(done);
    if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = static_cast<DWORD>(done);
    return err == 0 ? TRUE : Fail(err);
  }
  size_t n = lyrwin::WriteAll(file->fd, lpBuffer, nNumberOfBytesToWrite, file->position);
  file->position += static_cast<off_t>(n);
  if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = static_cast<DWORD>(n);
  if (n < nNumberOfBytesToWrite) return Fail(lyrwin::Win32ErrorFromErrno(errno));
  return TRUE;
}

extern "C" DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove,
                                       PLONG lpDistanceToMoveHigh, DWORD dwMoveMethod) {
  auto file = FileFromHandle(hFile);
  if (!file) return INVALID_SET_FILE_POINTER;
  int64_t distance =
      lpDistanceToMoveHigh
          ? static_cast<int64_t>(
                (static_cast<uint64_t>(static_cast<uint32_t>(*lpDistanceToMoveHigh)) << 32) |
                static_cast<uint32_t>(lDistanceToMove))
          : static_cast<int64_t>(lDistanceToMove);
  int whence = dwMoveMethod == FILE_BEGIN     ? SEEK_SET
               : dwMoveMethod == FILE_CURRENT ? SEEK_CUR
               : dwMoveMethod == FILE_END     ? SEEK_END
                                              : -1;
  if (whence < 0) {
    NoteFailure(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  std::lock_guard<std::mutex> hold(file->positionMutex);
  off_t base = 0;
  if (whence == SEEK_CUR) {
    base = file->position;
  } else if (whence == SEEK_END) {
    struct stat st;
    if (const DWORD err = StatOf(*file, &st)) {
      NoteFailure(err);
      return INVALID_SET_FILE_POINTER;
    }
    base = st.st_size;
  }
  // Both are within int64_t, but their sum need not be; Windows adds in 64 bits, where an
  // overflow comes out negative.
  int64_t target = 0;
  if (__builtin_add_overflow(static_cast<int64_t>(base), distance, &target) || target < 0) {
    NoteFailure(ERROR_NEGATIVE_SEEK);
    return INVALID_SET_FILE_POINTER;
  }
  // Without a high part the caller can only be told a 32-bit position.
  if (!lpDistanceToMoveHigh && static_cast<uint64_t>(target) > 0xFFFFFFFFull) {
    NoteFailure(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  static_assert(sizeof(off_t) == sizeof(int64_t), "file offsets of 64 bits");
  const off_t pos = static_cast<off_t>(target);
  file->position = pos;
  if (lpDistanceToMoveHigh) *lpDistanceToMoveHigh = static_cast<LONG>(pos >> 32);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(pos);
}

extern "C" BOOL WINAPI SetEndOfFile(HANDLE hFile) {
  auto file = FileFromHandle(hFile);
  if (!file) return FALSE;
  if (!(file->access & lyrwin::kAccessWrite)) return Fail(ERROR_ACCESS_DENIED);
  std::lock_guard<std::mutex> hold(file->positionMutex);
  if (file->remote) {
    const DWORD err = lyrwin::NetworkTruncate(*file->remote, file->position);
    return err == 0 ? TRUE : Fail(err);
  }
  if (lyrwin::sys::Ftruncate(file->fd, file->position) != 0)
    return Fail(lyrwin::Win32ErrorFromErrno(errno));
  return TRUE;
}

extern "C" DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
  auto file = FileFromHandle(hFile);
  if (!file) return INVALID_FILE_SIZE;
  struct stat st;
  if (const DWORD err = StatOf(*file, &st)) {
    NoteFailure(err);
    return INVALID_FILE_SIZE;
  }
  if (lpFileSizeHigh) *lpFileSizeHigh = static_cast<DWORD>(static_cast<uint64_t>(st.st_size) >> 32);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(st.st_size);
}

extern "C" BOOL WINAPI GetFileTime(HANDLE hFile, LPFILETIME lpCreationTime,
                                   LPFILETIME lpLastAccessTime, LPFILETIME lpLastWriteTime) {
  auto file = FileFromHandle(hFile);
  struct stat st;
  if (!file) return FALSE;
  if (const DWORD err = StatOf(*file, &st)) return Fail(err);
  if (lpCreationTime) ToFileTime(st.st_mtim, lpCreationTime);
  if (lpLastAccessTime) ToFileTime(st.st_atim, lpLastAccessTime);
  if (lpLastWriteTime) ToFileTime(st.st_mtim, lpLastWriteTime);
  return TRUE;
}

// The volume serial number is the host's device number and the file index its inode number:
// together they name one file, as on Windows.
extern "C" BOOL WINAPI GetFileInformationByHandle(HANDLE hFile, LPBY_HANDLE_FILE_INFORMATION info) {
  auto file = FileFromHandle(hFile);
  struct stat st;
  if (!file) return FALSE;
  if (info == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  if (const DWORD err = StatOf(*file, &st)) return Fail(err);
  *info = {};
  info->dwFileAttributes =
      lyrwin::IsReadOnlyMode(st.st_mode) ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL;
  ToFileTime(st.st_mtim, &info->ftCreationTime);
  ToFileTime(st.st_atim, &info->ftLastAccessTime);
  ToFileTime(st.st_mtim, &info->ftLastWriteTime);
  info->dwVolumeSerialNumber = static_cast<DWORD>(st.st_dev ^ (st.st_dev >> 32));
  info->nFileSizeHigh = static_cast<DWORD>(static_cast<uint64_t>(st.st_size) >> 32);
  info->nFileSizeLow = static_cast<DWORD>(st.st_size);
  info->nNumberOfLinks = static_cast<DWORD>(st.st_nlink);
  info->nFileIndexHigh = static_cast<DWORD>(static_cast<uint64_t>(st.st_ino) >> 32);
  info->nFileIndexLow = static_cast<DWORD>(st.st_ino);
  return TRUE;
}

extern "C" BOOL WINAPI FlushFileBuffers(HANDLE hFile) {
  auto file = FileFromHandle(hFile);
  if (!file) return FALSE;
  if (!(file->access & lyrwin::kAccessWrite)) return Fail(ERROR_ACCESS_DENIED);
  // The server has every write when WriteFile returns, and a share set to write synchronously
  // (Samba's "sync always", which the README's lab set-up asks for) has it on its disk: the
  // client library has no flush request to send.
  if (file->remote) return TRUE;
  if (lyrwin::sys::Fsync(file->fd) != 0) return Fail(lyrwin::Win32ErrorFromErrno(errno));
  return TRUE;
}

// --- Operations on names ---

extern "C" BOOL WINAPI DeleteFileA(LPCSTR lpFileName) {
  HostPath host;
  DWORD err = ResolveExisting(lpFileName, &host);
  DosPath dos;
  if (ShareNameOf(lpFileName, err, &dos)) err = DeleteOnShare(dos);
  if (err != 0 || dos.IsNetwork()) return err == 0 ? TRUE : Fail(err);
  struct stat st;
  if (lyrwin::sys::Stat(host.host.c_str(), &st) != 0)
    return Fail(lyrwin::Win32ErrorFromErrno(errno));
  if (S_ISDIR(st.st_mode) || lyrwin::IsReadOnlyMode(st.st_mode)) return Fail(ERROR_ACCESS_DENIED);
  int fd = lyrwin::OpenRetrying(host.host.c_str(), O_RDONLY);
  if (fd < 0) return Fail(lyrwin::Win32ErrorFromErrno(errno));
  err = lyrwin::AcquireDeleteAccess(fd);
  if (err == 0 && lyrwin::sys::Unlink(host.host.c_str()) != 0)
    err = lyrwin::Win32ErrorFromErrno(errno);
  lyrwin::CloseRetrying(fd);
  return err == 0 ? TRUE : Fail(err);
}

extern "C" BOOL WINAPI MoveFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName) {
  HostPath from;
  DosPath toDos;
  HostPath to;
  DWORD fromErr = ResolveExisting(lpExistingFileName, &from);
  DWORD err = lyrwin::ResolvePath(lpNewFileName, &toDos, &to);
  DosPath fromShare;
  const bool fromOnShare = ShareNameOf(lpExistingFileName, fromErr, &fromShare);
  const bool toOnShare = ShareNameOf(lpNewFileName, err, &toDos);
  if (fromOnShare || toOnShare) {
    // Between this machine's disks and a share a move is a copy and a deletion, which MoveFile
    // does not do either.
    err = fromOnShare != toOnShare ? ERROR_NOT_SAME_DEVICE : lyrwin::NetworkMove(fromShare, toDos);
    return err == 0 ? TRUE : Fail(err);
  }
  if (fromErr != 0) return Fail(fromErr);
  if (err != 0) return Fail(err);
  if (to.exists && to.host != from.host) return Fail(ERROR_ALREADY_EXISTS);
  // The same file under another case: the new name is the one typed, as Windows renames it.
  if (to.exists && !toDos.parts.empty()) {
    to.host = to.host.substr(0, to.host.rfind('/') + 1) + toDos.parts.back();
    if (to.host == from.host) return TRUE;
  }
  int fd = lyrwin::OpenRetrying(from.host.c_str(), O_RDONLY);
  if (fd < 0) return Fail(lyrwin::Win32ErrorFromErrno(errno));
  err = lyrwin::AcquireDeleteAccess(fd);
  if (err == 0) err = MoveHostFile(from, to.host);
  lyrwin::CloseRetrying(fd);
  return err == 0 ? TRUE : Fail(err);
}

extern "C" BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName,
                                 BOOL bFailIfExists) {
  // The documentation does not say how the source is shared. Windows copies a file that its
  // program still holds open for writing with read sharing (a log being written), which takes
  // write sharing here; a holder that shares nothing still keeps the copy out.
  HANDLE in = CreateFileA(lpExistingFileName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          nullptr, OPEN_EXISTING, 0, nullptr);
  if (in == INVALID_HANDLE_VALUE) return FALSE;
  HANDLE out = CreateFileA(lpNewFileName, GENERIC_WRITE, 0, nullptr,
                           bFailIfExists ? CREATE_NEW : CREATE_ALWAYS, 0, nullptr);
  if (out == INVALID_HANDLE_VALUE) {
    DWORD err = GetLastError();
    CloseHandle(in);
    return Fail(err);
  }
  auto source = lyrwin::LookupHandleAs<FileObject>(in);
  auto target = lyrwin::LookupHandleAs<FileObject>(out);
  if (source->remote || target->remote) {
    DWORD err = CopyThroughHandles(in, out);
    CloseHandle(in);
    CloseHandle(out);
    if (err != 0) {
      DeleteFileA(lpNewFileName);
      return Fail(err);
    }
    return TRUE;
  }
  const DWORD err = CopyDescriptor(source->fd, target->fd);
  struct stat st;
  if (err == 0 && lyrwin::sys::Fstat(source->fd, &st) == 0) {
    // The copy keeps the source's attributes and time of last write, as Windows does.
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(target->fd, times);
    ::fchmod(target->fd, st.st_mode & 07777);
  }
  std::string targetPath = target->host;
  CloseHandle(in);
  CloseHandle(out);
  if (err != 0) {
    lyrwin::sys::Unlink(targetPath.c_str());
    return Fail(err);
  }
  return TRUE;
}

extern "C" DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName) {
  struct stat st;
  HostPath host;
  DWORD err = ResolveExisting(lpFileName, &host);
  DosPath dos;
  if (ShareNameOf(lpFileName, err, &dos))
    err = lyrwin::NetworkStat(dos, &st);
  else if (err == 0 && lyrwin::sys::Stat(host.host.c_str(), &st) != 0)
    err = lyrwin::Win32ErrorFromErrno(errno);
  if (err != 0) {
    SetLastError(err);
    return INVALID_FILE_ATTRIBUTES;
  }
  return Attributes(st);
}

extern "C" BOOL WINAPI SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes) {
  HostPath host;
  DWORD err = ResolveExisting(lpFileName, &host);
  DosPath dos;
  if (ShareNameOf(lpFileName, err, &dos)) {
    err = lyrwin::NetworkSetReadOnly(dos, (dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0);
    return err == 0 ? TRUE : Fail(err);
  }
  struct stat st;
  if (err == 0 && lyrwin::sys::Stat(host.host.c_str(), &st) != 0)
    err = lyrwin::Win32ErrorFromErrno(errno);
  if (err != 0) return Fail(err);
  // On a folder the read-only attribute means nothing to Windows either; leave its mode alone.
  if (S_ISDIR(st.st_mode)) return TRUE;
  mode_t mode = st.st_mode & 07777;
  if (dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
    mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
  } else if (lyrwin::IsReadOnlyMode(mode)) {
    mode |= S_IWUSR;
  }
  if (::chmod(host.host.c_str(), mode) != 0) return Fail(lyrwin::Win32ErrorFromErrno(errno));
  return TRUE;
}

extern "C" BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES) {
  DosPath dos;
  HostPath host;
  DWORD err = lyrwin::ResolvePath(lpPathName, &dos, &host);
  if (ShareNameOf(lpPathName, err, &dos)) {
    err = lyrwin::NetworkCreateFolder(dos);
    return err == 0 ? TRUE : Fail(err);
  }
  if (err != 0) return Fail(err);
  if (host.exists) return Fail(ERROR_ALREADY_EXISTS);
  if (::mkdir(host.host.c_str(), 0777) != 0) {
    return Fail(errno == ENOENT ? ERROR_PATH_NOT_FOUND : lyrwin::Win32ErrorFromErrno(errno));
  }
  return TRUE;
}

extern "C" BOOL WINAPI RemoveDirectoryA(LPCSTR lpPathName) {
  HostPath host;
  DWORD err = ResolveExisting(lpPathName, &host);
  DosPath dos;
  if (ShareNameOf(lpPathName, err, &dos)) {
    err = lyrwin::NetworkRemoveFolder(dos);
    return err == 0 ? TRUE : Fail(err);
  }
  if (err != 0) return Fail(err);
  if (!host.isDirectory) return Fail(ERROR_DIRECTORY);
  // A process holds its current directory open, so Windows refuses to remove it.
  char cwd[4096];
  char target[4096];
  if (::getcwd(cwd, sizeof cwd) && ::realpath(host.host.c_str(), target) &&
      std::strcmp(cwd, target) == 0)
    return Fail(ERROR_SHARING_VIOLATION);
  if (::rmdir(host.host.c_str()) != 0) return Fail(lyrwin::Win32ErrorFromErrno(errno));
  return TRUE;
}

extern "C" BOOL WINAPI FileTimeToSystemTime(const FILETIME* lpFileTime, LPSYSTEMTIME lpSystemTime) {
  if (!lpFileTime || !lpSystemTime) return Fail(ERROR_INVALID_PARAMETER);
  uint64_t t =
      (static_cast<uint64_t>(lpFileTime->dwHighDateTime) << 32) | lpFileTime->dwLowDateTime;
  time_t seconds = static_cast<time_t>(t / 10000000ULL) - 11644473600LL;
  struct tm utc;
  if (!gmtime_r(&seconds, &utc)) return Fail(ERROR_INVALID_PARAMETER);
  lpSystemTime->wYear = static_cast<WORD>(utc.tm_year + 1900);
  lpSystemTime->wMonth = static_cast<WORD>(utc.tm_mon + 1);
  lpSystemTime->wDayOfWeek = static_cast<WORD>(utc.tm_wday);
  lpSystemTime->wDay = static_cast<WORD>(utc.tm_mday);
  lpSystemTime->wHour = static_cast<WORD>(utc.tm_hour);
  lpSystemTime->wMinute = static_cast<WORD>(utc.tm_min);
  lpSystemTime->wSecond = static_cast<WORD>(utc.tm_sec);
  lpSystemTime->wMilliseconds = static_cast<WORD>((t / 10000ULL) % 1000);
  return TRUE;
}

// Windows has no SIGXFSZ: a write beyond the file size limit simply fails, which is how tests
// provoke a full disk. Ignore the signal so that write() reports EFBIG instead of killing us.
