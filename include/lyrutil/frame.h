/// @file
/// The library frame: installation settings, messages and the current user, the error logs.
///
/// The process-wide values (main thread id, Windows and working directories) are set once by
/// `InitSystemGlobalParameters` on the host's main thread and may be read from any thread
/// afterwards. Pointers the functions return point into the library's own buffers, which live as
/// long as the library; callers read them and never free them.
#ifndef LYRUTIL_FRAME_H
#define LYRUTIL_FRAME_H

#include <afx.h>

#include <lyrutil/export.h>

/// The host's record of the logged-on user, 32 bytes. The library copies it whole and reads none
/// of it.
struct LyrPasswordStruct {
  DWORD dwData[8];  ///< the host's fields, opaque to the library
};
static_assert(sizeof(LyrPasswordStruct) == 32, "the user record is 32 bytes");

// --- Installation settings ---

/// Once, from the host's main thread, before any other call: records the main thread, caches the
/// Windows directory (a trailing backslash removed), reads the working directory (likewise),
/// clears the method-file lock list and registers the "._cv" association (a failure to register
/// is ignored). Calling it again does all of it again. Throws nothing.
LYRUTIL_API void InitSystemGlobalParameters(void);
/// Sets `name` to the suite INI file: the installation folder from the registry followed by
/// "\sylwin.ini" ("\sylwin.ini" alone when the registry names none).
LYRUTIL_API void GetLyraININame(CString& name);
/// The library's own function beside the Win32 one of the same name: the cached Windows directory
/// (filled on first use), in the library's 256-byte buffer.
LYRUTIL_API char* GetWindowsDirectoryA(void);
/// The working directory, re-read from the INI file ("WORKING PATH", "WorkingDirectory"; the
/// Windows directory when absent) into the library's 256-byte buffer on every call, as written
/// there. The buffer is shared: a call from another thread may rewrite it while it is read.
LYRUTIL_API char* GetWorkingDirectory(void);
/// The id of the thread that called `InitSystemGlobalParameters`; 0 before.
LYRUTIL_API ULONG GetMainThreadId(void);
/// Copies a registry value's bytes (at most 255, whatever its type) into `data`, which holds 255;
/// leaves it untouched when the key cannot be opened with full access.
LYRUTIL_API void LitBaseRegistre(HKEY root, const char* subKey, char* valueName,
                                 unsigned char* data);
/// Registers a file association under HKEY_CLASSES_ROOT: the type with its description, the
/// extension naming the type, and the type's "shell\open\command". True when written, false at
/// the first failure (keys written before it stay).
LYRUTIL_API bool SetRunAppWithExtension(const char* typeName, const char* description,
                                        const char* openCommand, const char* extension);
/// Writes `flag` as "General", "Heapfragmented" in the suite INI file, a note for the host; the
/// library writes 1 whenever a movable allocation fails for want of memory. A failed write is
/// not reported.
LYRUTIL_API void SetHeapFragmentation(int flag);
/// True when the INI file has a section named exactly `section` (case counts); false when it has
/// none or does not exist.
LYRUTIL_API bool IsKeyPresent(char* const section, char* const iniFile);
/// True when the first four characters of "General", "AdrDbrd" in the INI file (default "AB00")
/// have 'C' third or 'D' fourth.
LYRUTIL_API bool IsTria2011(char* const iniFile);

// --- Messages and the current user ---

/// Shows `header`, an empty line and `text` (`text` alone when `header` is null) in a message box
/// of `type` with `helpId`, and returns the button that closed it, as AfxMessageBox does. From
/// any thread: a box raised off the main thread comes to the front (MB_SETFOREGROUND), and the
/// window that had the foreground gets it back afterwards.
LYRUTIL_API int LyrMessageBox(const char* text, const char* header, unsigned int type,
                              unsigned int helpId);
/// Shows the host's critical-error text (string 1034) after an exclamation beep.
LYRUTIL_API void CriticalErrorMessage(void);
/// Copies all 32 bytes of `*user` into the library's current-user record. No lock: set it from
/// one thread (at log-on) before others read it.
LYRUTIL_API void SetCurrentUser(LyrPasswordStruct* user);
/// The library's own current-user record (zero until set), living as long as the library; writes
/// through it change what every later reader sees.
LYRUTIL_API LyrPasswordStruct* GetCurrentUser(void);
/// Copies all 32 bytes of the current-user record into `*user`.
LYRUTIL_API void GetCurrentUser(LyrPasswordStruct* user);
/// Whether the user accepted to cancel modifications: always 0.
LYRUTIL_API int GetUserOKOnCancelModifications(void);
/// Takes a CFileException cause code and does nothing.
LYRUTIL_API void TRACECFileException(int cause);

// --- Error logs ---

/// Appends `text` as it is (no separator) to "error.log" in the working directory ("c:\tessera"
/// when the INI file names none). The file is opened without sharing: a text that finds it held,
/// or that cannot be written, is dropped; nothing is reported.
LYRUTIL_API void SendToErrorLog(char* text);
/// Appends "d-m-yyyy h:m:s: <text>" and a line feed (local time, no leading zeros) to the log at
/// `logPath`, created when missing. A log over 500,000 bytes is deleted first, read-only or not,
/// and starts afresh; when it cannot be deleted the line is appended all the same. 0 when
/// written, -1 when the file cannot be opened (for instance while another party holds it) or
/// written.
LYRUTIL_API int WriteToLog(char* logPath, char* text);

#endif  // LYRUTIL_FRAME_H
