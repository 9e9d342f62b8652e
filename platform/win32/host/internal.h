// Internal pieces of the Win32 stand-in shared between its units. Nothing here is exported.
#ifndef LYRWIN_INTERNAL_H
#define LYRWIN_INTERNAL_H

#include <windows.h>
#include <lyrhost.h>

#include <fcntl.h>
#include <sys/types.h>
#include <sys/stat.h>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace lyrwin {

// --- Errors ---
// The Win32 error code that stands for errno value `err`.
DWORD Win32ErrorFromErrno(int err);
// Sets the last error from errno and returns the Win32 code.
DWORD SetLastErrorFromErrno();

// --- System calls ---
// The stand-in reaches the file system through these, so that a test can make any of them fail
// (LyrFailSystemCall): each is the POSIX call of its name, or the failure a test armed for it.
namespace sys {
int Open(const char* path, int flags, mode_t mode);
ssize_t Read(int fd, void* data, size_t size);
ssize_t Write(int fd, const void* data, size_t size);
ssize_t Pread(int fd, void* data, size_t size, off_t offset);
ssize_t Pwrite(int fd, const void* data, size_t size, off_t offset);
int Fsync(int fd);
int Rename(const char* from, const char* to);
int Link(const char* from, const char* to);
int Unlink(const char* path);
int Ftruncate(int fd, off_t length);
int Flock(int fd, int operation);
int FcntlLock(int fd, int command, struct flock* lock);  // F_OFD_SETLK, F_OFD_GETLK and the like
int Stat(const char* path, struct stat* st);
int Lstat(const char* path, struct stat* st);
int Fstat(int fd, struct stat* st);
int Close(int fd);
off_t Lseek(int fd, off_t offset, int whence);
ssize_t Readlink(const char* path, char* buffer, size_t size);
}  // namespace sys

// --- POSIX calls retried on EINTR, reads and writes looped until done ---
int OpenRetrying(const char* path, int flags, mode_t mode = 0);
int CloseRetrying(int fd);
// Writes all of `size` bytes, at `offset` when it is not negative (the descriptor's own offset
// then stays where it was); returns the count written (less than size on error, errno set).
size_t WriteAll(int fd, const void* data, size_t size, off_t offset = -1);
// Reads up to `size` bytes, at `offset` when it is not negative, stopping early only at end of
// file; -1 on error.
ssize_t ReadFull(int fd, void* data, size_t size, off_t offset = -1);
bool ReadWholeFile(const std::string& hostPath, std::string* contents);

// --- Host paths (host_paths.cpp) ---
// The folder of a host path: "." for a bare name, "/" for a name at the root.
std::string HostFolderOf(const std::string& path);
// `name` inside host folder `folder`.
std::string HostChild(const std::string& folder, const std::string& name);
// Flushes a folder's entries to the disk, so that a rename or a new name in it survives a crash.
void SyncFolder(const std::string& folder);

// --- Code page 1252 ---
unsigned char FoldLower(unsigned char c);
unsigned char FoldUpper(unsigned char c);
// Compares two strings without regard to case; <0, 0, >0.
int CompareNoCase(const char* a, const char* b);
bool EqualNoCase(std::string_view a, std::string_view b);
// Compares two texts as CompareStringA does with `flags` (the word sort of code page 1252);
// <0, 0, >0. Not for names on disk, which CompareNoCase matches.
int CollateCp1252(const char* a, size_t lengthA, const char* b, size_t lengthB, DWORD flags);

// --- The prefix ---
// The prefix folder, created on first use; empty when it cannot be made. The text is the calling
// thread's own copy, valid until its next call.
const std::string& PrefixDir();
// The registry's file in the prefix; the calling thread's own copy, as PrefixDir's.
const std::string& RegistryFile();

// --- DOS paths ---
struct DosPath {
  std::string full;  // normalised DOS path, e.g. C:\data\x.txt (no trailing separator)
  char drive = 0;    // upper-case drive letter; 0 for a network path
  // For a network path (\\server\share\data\x.txt, full spelt so): its server and share.
  std::string server;
  std::string share;
  std::vector<std::string> parts;  // components after the drive root
  bool trailingSeparator = false;
  bool IsNetwork() const { return !server.empty(); }
};

// Normalises `path` as GetFullPathName does: separators, ".", "..", the current directory and
// drive, one period at the end of a folder's name, periods and blanks at the end of the last
// name. A network path keeps its server and share: ".." stops at the share, as on Windows.
// Returns 0 or a Win32 error.
DWORD NormalizeDosPath(const char* path, DosPath* out);
// The current directory as a DOS path ("C:\\DATA"), as GetCurrentDirectoryA gives it.
std::string CurrentDosDirectory();

// ERROR_FILENAME_EXCED_RANGE or ERROR_INVALID_NAME for a component Windows would refuse, else 0.
DWORD CheckComponents(const DosPath& dos);

// The reserved device names: the last component, up to its first period and without trailing
// blanks, is NUL, CON, PRN, AUX, COM1-9 or LPT1-9, in any case and in any folder.
enum class Device { kNone, kNull, kConsole, kOther };
Device ReservedDevice(const DosPath& dos);

struct HostPath {
  std::string host;     // host path, with existing components in the case found on disk
  bool exists = false;  // whether the last component exists
  bool isDirectory = false;
  struct stat st = {};  // as the lookup found it, when it exists
};

// Maps a normalised DOS path to the host. Intermediate components must be existing folders
// (else ERROR_PATH_NOT_FOUND), and so must a last one followed by a separator when it exists;
// the last one may be missing. Returns 0 or a Win32 error (ERROR_NOT_SUPPORTED for a network
// path: the functions that reach shares go through network_share.cpp instead).
DWORD MapToHost(const DosPath& dos, HostPath* out);
// A host path for the DOS path that goes through its drive's link in the prefix
// (…/dosdevices/c:/data/run.log), as spelt: it names the file only if the file is spelt so on
// disk. A drive's root is the link itself. False (and `path` empty) for a path with a separator
// after it or with a component Windows would refuse.
bool PathThroughDriveLink(const DosPath& dos, std::string* path);
// For a path on a drive mapped to a share (its dosdevices link's text is a UNC name such as
// //server/share/folder), makes `dos` the network path it stands for; true for a network path
// already. MapToHost answers ERROR_NOT_SUPPORTED for both.
bool RedirectToShare(DosPath* dos);
// NormalizeDosPath followed by MapToHost.
DWORD ResolvePath(const char* path, DosPath* dos, HostPath* host);
// The name in `folder` that equals `name` without regard to case; empty when none. A name found
// missing is remembered while the folder stays unchanged (folder_lookup.cpp).
std::string FindNoCase(const std::string& folder, const std::string& name);
// The same for a folder whose stat the caller has just taken.
std::string FindNoCase(const std::string& folder, const struct stat& st, const std::string& name);
// The DOS path for a host path, through the drive whose folder is its longest prefix.
bool HostToDosPath(const std::string& hostPath, std::string* dosPath);

// A host time as a FILETIME: 100-nanosecond intervals since 1601-01-01.
void ToFileTime(const struct timespec& ts, FILETIME* ft);

// Whether a file's time `changed` lies a second or more before `then`. File times advance in
// clock ticks of a few milliseconds, so what was read of a file changed less than a second before
// may already be out of date while its times still match; caches trust only settled files.
bool SettledBefore(const struct timespec& changed, const struct timespec& then);

// The read-only attribute is the absence of every write permission bit.
bool IsReadOnlyMode(mode_t mode);

// --- UTF-16 settings files (utf16_text.cpp) ---
// Whether the bytes start with the UTF-16 little-endian byte-order mark.
bool IsUtf16Text(const std::string& bytes);
// The text after the mark in code page 1252; false when some character has no byte there (it
// reads as '?') or the bytes end in half a character.
bool Utf16ToAnsi(const std::string& bytes, std::string* ansi);
// Code page 1252 text as UTF-16 little-endian, mark first.
std::string AnsiToUtf16(const std::string& ansi);
// Code page 1252 text as UTF-8, without a mark.
std::string AnsiToUtf8(const std::string& ansi);
// Code page 1252 text as UTF-8 for drawing: control characters take the room of a blank, so that
// columns of monospaced text stay aligned (and a NUL does not end the text early).
std::string PrintableUtf8(const std::string& ansi);

// The bytes from `address` to the end of the GlobalAlloc block that holds it; SIZE_MAX when it
// lies in no such block (the caller's word is then taken for its size).
size_t BytesAvailableAt(const void* address);
// The GlobalAlloc block that holds `address`, as [start, end); false when none does.
bool BlockHolding(const void* address, uintptr_t* start, uintptr_t* end);

// A colour channel's mask as where its bits lie: the lowest bit's place and how many bits (both
// 0 for no mask), and the channel widened to 8 bits as GDI widens it (dib_source.cpp).
struct Channel {
  int shift = 0;
  int width = 0;
};
Channel ChannelOf(uint32_t mask);
BYTE WidenChannel(uint32_t value, int width);

// The host descriptor behind a file handle; -1 (last error set) for anything else.
int HandleDescriptor(HANDLE handle);

// --- Kernel objects behind HANDLE values ---
struct KernelObject {
  virtual ~KernelObject() = default;
  // Called by CloseHandle when the closed handle held the object's last reference. A kind that
  // keeps spares (SpareObjects) releases what its destruction would release and takes itself
  // back with its buffers; by default the object is destroyed.
  virtual void Retire(std::shared_ptr<KernelObject> self) { (void)self; }
};

// Entries taken out of an unordered_map and kept to be put back under other keys, so that a table
// whose entries come and go on every audited append (the handles, the registry keys) allocates
// nothing for them. Guarded by the table's own lock.
template <class Map, size_t kMost>
class SpareEntries {
 public:
  // Inserts `value` under `key`, through a kept entry when there is one (its value is assigned,
  // so a value's buffers serve again).
  template <class Value>
  void Insert(Map& map, const typename Map::key_type& key, Value&& value) {
    if (kept_.empty()) {
      map.emplace(key, std::forward<Value>(value));
      return;
    }
    typename Map::node_type entry = std::move(kept_.back());
    kept_.pop_back();
    entry.key() = key;
    entry.mapped() = std::forward<Value>(value);
    map.insert(std::move(entry));
  }
  void Keep(typename Map::node_type entry) {
    if (kept_.size() >= kMost) return;
    kept_.reserve(kMost);
    kept_.push_back(std::move(entry));
  }

 private:
  std::vector<typename Map::node_type> kept_;
};

// Spare objects of a kind, for the next handle of the kind: the files and searches an audited
// append opens and closes then cost no allocation. Take gives a fresh object (a spare when there
// is one); Keep takes back one that nothing else refers to, reset by its Retire. Thread-safe.
template <class T>
class SpareObjects {
 public:
  static std::shared_ptr<T> Take() {
    SpareObjects& spares = Instance();
    {
      std::lock_guard<std::mutex> lock(spares.mutex_);
      if (!spares.kept_.empty()) {
        std::shared_ptr<T> object = std::move(spares.kept_.back());
        spares.kept_.pop_back();
        return object;
      }
    }
    return std::make_shared<T>();
  }
  static void Keep(std::shared_ptr<T> object) {
    SpareObjects& spares = Instance();
    std::lock_guard<std::mutex> lock(spares.mutex_);
    if (spares.kept_.size() >= kSpares) return;  // destroyed with `object`
    spares.kept_.reserve(kSpares);
    spares.kept_.push_back(std::move(object));
  }

 private:
  static constexpr size_t kSpares = 16;
  // Never destroyed: a detached thread may still close its handles while the process exits.
  static SpareObjects& Instance() {
    static auto* spares = new SpareObjects;
    return *spares;
  }
  std::mutex mutex_;
  std::vector<std::shared_ptr<T>> kept_;
};

HANDLE InsertHandle(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);
std::shared_ptr<KernelObject> RemoveHandle(HANDLE handle);

template <class T>
std::shared_ptr<T> LookupHandleAs(HANDLE handle) {
  return std::dynamic_pointer_cast<T>(LookupHandle(handle));
}

// --- Waitable objects (waits.cpp, threads.cpp) ---
// An object WaitForSingleObject and WaitForMultipleObjects wait on. Its state, and the list of
// threads waiting on it, are read and changed only under WaitMutex(); whoever signals it calls
// WakeWaitersOf() before letting go.
struct WaitableObject : KernelObject {
  virtual bool Signalled() const = 0;
  virtual void Consume() {}  // a satisfied wait takes the signal of an auto-reset event
  std::vector<std::condition_variable*> waiters;  // one per thread in a wait on this object
};
std::mutex& WaitMutex();
// Wakes the threads waiting on `object`, with WaitMutex() held.
void WakeWaitersOf(WaitableObject& object);
// Holds the calling thread, with WaitMutex() held by `lock`, while SuspendThread says so.
void HonourSuspension(std::unique_lock<std::mutex>& lock);

// --- Share modes ---
// Kinds of access that Windows share modes govern.
enum AccessBits : unsigned { kAccessRead = 1, kAccessWrite = 2, kAccessDelete = 4 };
unsigned AccessBitsFromDesired(DWORD desiredAccess);
unsigned ShareBitsFromMode(DWORD shareMode);

// Takes the share-mode locks for a new handle on `fd`; ERROR_SHARING_VIOLATION when a handle
// already open forbids it. `fd` must be open for reading.
DWORD AcquireShareAccess(int fd, unsigned access, unsigned share);
// Takes delete access on `fd`, as a handle that shares everything: ERROR_SHARING_VIOLATION when
// an open handle denies deleting. Held until `fd` is closed, so that no handle denying deletion
// opens while the file is deleted or renamed.
DWORD AcquireDeleteAccess(int fd);
// Whether a handle open on the file on `fd` denies others reading it.
bool SomeoneDeniesRead(int fd);

// --- Atomic file replacement ---
// Writes `contents` to a temporary file beside `hostPath`, flushes it to disk and renames it over
// the target, so that readers see the old file or the new one, never a mixture. `mode` is the new
// file's permission bits. Returns 0 or a Win32 error.
DWORD ReplaceFileAtomically(const std::string& hostPath, const std::string& contents, mode_t mode);

// --- Rewriting settings files in place (in_place_rewrite.cpp) ---
// Replaces the contents of the file open for writing on `fd` (`before`) by `after`, through the
// file itself, with a journal in the installation's folder for a crash in between. A failed
// write puts `before` back. 0 or a Win32 error. The caller holds the file's writer lock.
DWORD RewriteInPlace(int fd, const std::string& before, const std::string& after);
// What the file on `fd` must become after a rewrite whose writer was killed; false when none.
bool InterruptedRewrite(int fd, std::string* contents);
// Completes such a rewrite; the caller holds the file's writer lock. 0 or a Win32 error.
DWORD FinishInterruptedRewrite(int fd);

// An flock held for the lifetime of the object, exclusive for writers and shared for readers;
// serialises read-modify-write cycles of processes and threads. Not copyable.
class FileLock final {
 public:
  explicit FileLock(const std::string& hostPath, bool directory = false, bool shared = false);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool Held() const { return fd_ >= 0; }
  int Descriptor() const { return fd_; }

 private:
  int fd_ = -1;
};

// --- Files on network shares (network_share.cpp) ---
// A login to a server as a credentials file holds it (mount.cifs's format: username=,
// password=, domain= lines, or user=, pass=, dom=, workgroup=); empty for the guest.
struct NetworkLogin {
  std::string user;
  std::string password;
  std::string domain;
};
// Reads a credentials file's text; other lines are skipped, a later line wins.
void ParseNetworkLogin(std::string_view text, NetworkLogin* login);

// A file open on a share. Its calls wait for the server at most a few seconds.
class NetworkFile;
struct NetworkFileCloser {
  void operator()(NetworkFile* file) const;
};
using NetworkFilePtr = std::unique_ptr<NetworkFile, NetworkFileCloser>;
struct NetworkEntry {
  std::string name;
  struct stat st = {};
};

// Opens the file at network path `path` as CreateFileA does, its access and share mode going to
// the server; `existed` says whether the name was there before. 0 or a Win32 error.
DWORD NetworkOpen(const DosPath& path, unsigned access, unsigned share, DWORD disposition,
                  NetworkFilePtr* file, bool* existed);
// Reads up to `size` bytes at `offset`, fewer only at the end of the file.
DWORD NetworkRead(NetworkFile& file, void* data, size_t size, off_t offset, size_t* done);
// Writes all of `size` bytes at `offset`; `done` says how many reached the server.
DWORD NetworkWrite(NetworkFile& file, const void* data, size_t size, off_t offset, size_t* done);
DWORD NetworkFileStat(NetworkFile& file, struct stat* st);
DWORD NetworkTruncate(NetworkFile& file, off_t length);
// What is at a network path: ERROR_BAD_NET_NAME for a missing share, ERROR_PATH_NOT_FOUND for a
// missing folder on the way, ERROR_FILE_NOT_FOUND for a missing name.
DWORD NetworkStat(const DosPath& path, struct stat* st);
// The files and folders in a network folder.
DWORD NetworkList(const DosPath& folder, std::vector<NetworkEntry>* entries);
DWORD NetworkDelete(const DosPath& path);
DWORD NetworkCreateFolder(const DosPath& path);
DWORD NetworkRemoveFolder(const DosPath& path);
// Sets or clears a file's read-only attribute on the server; a folder's is left alone.
DWORD NetworkSetReadOnly(const DosPath& path, bool readOnly);
// Renames within one share (ERROR_NOT_SAME_DEVICE across shares); never replaces a file.
DWORD NetworkMove(const DosPath& from, const DosPath& to);

// --- Host seam ---
LyrHostUi* HostUi();

// The names of the printers the stand-in offers (winspool), as the print dialog lists them.
std::vector<std::string> PrinterNames();

// --- Format strings ---
// Rewrites a Windows printf format so that the host's vsnprintf reads the same arguments: on
// Windows `l` is 32 bits, so "%ld" takes a LONG (int here); "%I64d" takes a 64-bit integer.
std::string TranslateWindowsFormat(const char* format);

}  // namespace lyrwin

#endif  // LYRWIN_INTERNAL_H
