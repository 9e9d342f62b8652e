// The host seam, Linux only.
//
// On Windows the host application owns its string resources, its message boxes, its dialogs and
// the print dialog. On Linux a host hands them to the stand-in through this header: a string
// table, a user interface object (lyrui.h), and the installation folder that plays the part of
// the Windows machine (the prefix). The test hooks at the end let tests provoke failures that are
// hard to provoke otherwise.
//
// Loading the stand-in sets SIGXFSZ to ignored for the whole process: Windows has no such signal,
// and a write past the file size limit must fail (EFBIG, ERROR_DISK_FULL) as on a full disk
// rather than kill the host.
#ifndef LYRWIN_LYRHOST_H
#define LYRWIN_LYRHOST_H

#include <windows.h>
#include <lyrui.h>

#include <map>
#include <string>
#include <vector>

// --- The host's string table ------------------------------------------------------------------

LYRWIN_API void LyrSetHostString(UINT id, const char* text);
LYRWIN_API void LyrClearHostStrings();
// Loads lines "ID<TAB>text" (escapes \n \t \\) into the table. FALSE when the file cannot be
// read; lines that are not of that form are skipped.
LYRWIN_API BOOL LyrLoadHostStrings(const char* hostPath);
// The text of string `id`; FALSE and an empty text when the table has none.
LYRWIN_API BOOL LyrGetHostString(UINT id, std::string* text);

// --- The installation (prefix) ----------------------------------------------------------------

// Switches the process to the installation in `hostDir`, creating it when missing: drive C: on
// its drive_c folder, drive Z: on the host's root, the Windows directory C:\windows and an empty
// registry. Without a call the prefix is $LYRUTIL_PREFIX, or ~/.lyrutil. FALSE when the folder
// cannot be made.
LYRWIN_API BOOL LyrSetPrefix(const char* hostDir);
// The host folder of the prefix in use (made on first use).
LYRWIN_API std::string LyrGetPrefix();
// The folder the prefix is without a call to LyrSetPrefix ($LYRUTIL_PREFIX, else ~/.lyrutil),
// as an absolute path; nothing is made.
LYRWIN_API std::string LyrDefaultPrefix();
// Maps a DOS path to the host path it names (matching components without regard to case, as
// Windows does). FALSE, with the Win32 error in GetLastError, when the path cannot be mapped.
LYRWIN_API BOOL LyrDosToHostPath(const char* dosPath, std::string* hostPath);

// --- Network shares ---------------------------------------------------------------------------

// The host file that holds the installation's login to `server` (a name or address, with or
// without the leading backslashes of a UNC path): prefix/network-logins/<server in lower case>,
// in the format of mount.cifs's credentials files (username=, password=, domain= lines). The
// stand-in offers the server that login, or the guest's when there is no file; a file that others
// than its owner may read is not used (opens on the server then fail with ERROR_LOGON_FAILURE
// where the guest is refused). The server's port is 445, or $LYRUTIL_SMB_PORT.
LYRWIN_API std::string LyrNetworkLoginPath(const char* server);

// --- Printing ---------------------------------------------------------------------------------

// What became of the last document the calling thread started on a printer of the stand-in: 0
// when EndDoc wrote it, with its file's host path in `path` (when not null); otherwise why it was
// not written: the Win32 error StartDoc or EndDoc failed with (a full disk at EndDoc is
// ERROR_DISK_FULL), ERROR_CANCELLED for a document abandoned (AbortDoc, or DeleteDC before
// EndDoc), ERROR_IO_PENDING while it is still open, ERROR_NOT_FOUND before any. A host that
// prints through a caller that ignores EndDoc's result (CUtilPrintManager) learns here whether
// the document exists.
LYRWIN_API DWORD LyrLastDocument(std::string* path);

// --- Test hooks -------------------------------------------------------------------------------

// The next `count` global memory allocations (GlobalAlloc, growing GlobalReAlloc) fail with
// ERROR_NOT_ENOUGH_MEMORY. 0 ends the failures.
LYRWIN_API void LyrFailGlobalAllocs(int count);
// Moves where handle values are next handed out (they wrap from 0x7FFFFFEC back to 0x100), so
// that a test reaches the wrap without half a billion creations. Values still in use are passed
// over either way.
LYRWIN_API void LyrSetNextHandleValue(UINT_PTR value);
// How many ReadFile calls the process has made so far (for measuring readers).
LYRWIN_API unsigned long long LyrFileReadCount();
// How many calls on files and file handles (CreateFileA, ReadFile, WriteFile, SetFilePointer,
// GetFileSize, FlushFileBuffers, SetEndOfFile and the others of the file API) have failed so far
// in the process, and in `lastError` (when not null) the Win32 error of the last of them; a name
// that is not there (errors 2 and 3) is not counted, since opening a name is how callers test
// whether it exists. A host
// tells with it a navigation that reached the end of its log, which makes no file call, from one
// whose load failed (the log held beyond the retries, a read error): the library's GetNext
// returns 0 for both. Safe from any thread; the count only grows.
LYRWIN_API unsigned long long LyrFileFailureCount(DWORD* lastError);
// How many system calls of one kind (a name of LyrFailSystemCall's list) the stand-in has made so
// far in the process, from every thread; all kinds together when `kind` is null, 0 for an unknown
// kind. The calls that a file's use makes (opening, testing, locking, reading, writing, flushing,
// closing) all go through this count; making folders, listing them and the clock do not.
LYRWIN_API unsigned long long LyrSystemCallCount(const char* kind);
// Makes the stand-in's system calls of one kind fail as a full disk, a lost file server or a
// signal would make them: the `nth` next call (1: the very next) fails with errno `error`, and so
// do the `count - 1` calls of the kind after it; `count` 0 clears the kind. The kinds: "open",
// "read" (and pread), "write" (and pwrite), "fsync", "rename", "link", "unlink", "ftruncate",
// "lock" (flock and fcntl record locks), "stat" (stat, lstat and fstat), "close", "seek" (lseek),
// "readlink". FALSE for an unknown kind or an `nth` of 0. The calls of
// every thread count, so a test arms it with no other thread at work.
LYRWIN_API BOOL LyrFailSystemCall(const char* kind, unsigned nth, unsigned count, int error);

#endif  // LYRWIN_LYRHOST_H
