/// @file
/// File names and file operations: the file-type table, name routines, whole-file and directory
/// operations, and the rules for files that several parties open at once.
///
/// Out-buffers are the caller's, of at least 260 bytes (MAX_PATH), as throughout the suite. Results
/// that would not fit are cut at 259 characters, as the suite cuts text to its field, and in-place
/// routines never make a name longer than its buffer can be (259 characters, or the name's own
/// length when that is more). Names are texts of the machine's multibyte code page.
///
/// Threads: the name routines that return a pointer share one buffer per kind across the process
/// (the display-name buffer, the 8-byte extension buffer, the unique-name buffer); a second call,
/// from any thread, overwrites what the first returned: copy the text before the next call. The
/// routines with an out-buffer may be called from several threads at once. The lock list is
/// guarded and may be used from any thread. `CheckPath` and `MakeNewDir` change the process's
/// current directory while they run: call them from the thread that owns the dialog.
#ifndef LYRUTIL_FILES_H
#define LYRUTIL_FILES_H

#include <afx.h>

#include <lyrutil/export.h>

// --- File types and file names ---

/// The extension of a file-type code, dot included (such as "._cr"), from the library's constant
/// table: codes 1 to 15 have one, every other code gives ".". Never null; the text lives as long
/// as the library and must not be written.
LYRUTIL_API char* GetFileExtension(unsigned short fileType);
/// Copies the extension of codes 1 to 19 into `out` (at least 8 bytes); "." for other codes.
LYRUTIL_API void GetFileExtension(unsigned short fileType, char* out);
/// The display name of codes 1 to 15 (the host's strings 1 to 15), in the library's shared name
/// buffer, valid until the next call; an empty constant text for other codes. Never null.
LYRUTIL_API char* GetFileName(unsigned short fileType);
/// Copies the display name of codes 1 to 15 into `out`; an empty text for other codes.
LYRUTIL_API void GetFileName(unsigned short fileType, char* out);
/// The extension of `name` from its last '.' to the end ("" when it has none), in the library's
/// 8-byte extension buffer, valid until the next call: an extension of more than 7 characters is
/// cut to 7 there. Never null.
LYRUTIL_API char* GetExt(char* name);
/// Copies the extension of `name` from its last '.' to the end into `out`; "" when it has none.
LYRUTIL_API void GetExt(char* name, char* out);
/// Cuts `name` in place at its last '.'; a name without one is left as it is.
LYRUTIL_API void RemoveExt(char* name);
/// The same as `RemoveExt`: cuts `name` in place at its last '.'.
LYRUTIL_API void RemoveExtFromEnd(char* name);
/// Replaces the extension of `name` in place: cut at its last '.', then `extension` appended (a
/// dot put in front when it has none).
LYRUTIL_API void FixExt(char* name, const char* extension);
/// Appends `extension` to `name` in place without cutting an extension first (a dot put in front
/// when it has none).
LYRUTIL_API void FixExt_SansRemoveExt(char* name, const char* extension);
/// `FixExt` with the extension of a file-type code (`GetFileExtension`).
LYRUTIL_API void FixFileExt(unsigned short fileType, char* name);
/// `FixExt_SansRemoveExt` with the extension of a file-type code.
LYRUTIL_API void FixFileExt_samsRemoveExt(unsigned short fileType, char* name);
/// Makes `name` a full path in place by joining `directory` and it with the host's template 16:
/// 1 when it did, 0 when `name` already begins with a drive ("X:\") and is left as it is. A
/// trailing backslash of `directory` is removed in place.
LYRUTIL_API int MakeFFPS(char* directory, char* name);
/// Copies the directory part of `path` (up to its last backslash, without it) into `out`; an
/// empty text when no backslash follows its first character.
LYRUTIL_API void GetDirecFromFile(const char* path, char* out);
/// Copies the name part of `path` (after its last backslash) without its extension into `out`;
/// an empty text when no backslash follows its first character.
LYRUTIL_API void GetNameFromFile(const char* path, char* out);
/// Copies the name part of `path` (after its last backslash), extension included, into `out`;
/// an empty text when no backslash follows its first character.
LYRUTIL_API void GetName_ExtFromFile(const char* path, char* out);
/// 1 when every character of `name` passes `LegalFileCharacter` (also for an empty or null
/// name), else 0.
LYRUTIL_API int LegalFileName(char* name);
/// 1 when `c` may stand in a suite file name: an ASCII letter or digit or one of
/// ! # $ % & ( ) - @ _ { }; else 0.
LYRUTIL_API int LegalFileCharacter(char c);
/// Shortens a directory text for display, in place, to `maximum` characters: its first three,
/// "...", and its last `maximum` - 6. A maximum under 6 leaves room for no dots: the text is cut to
/// its first `maximum` characters. A text that fits is left as it is.
LYRUTIL_API void CheckDirectoryLength(char* directory, unsigned int maximum);
/// Copies `directory` into `out` ending in exactly one backslash.
LYRUTIL_API void FormatDirString(const char* directory, char* out);
/// The number of backslashes in `text`.
LYRUTIL_API unsigned int GetNumBackSlashes(const char* text);

// --- File operations ---

/// 1 when the status of `path` (a file or a folder) can be read, else 0. Throws nothing.
LYRUTIL_API int fExists(const char* path);
/// Shows the host's message 1032 ("path missing", %1 `typeName`, %2 `path`) after an exclamation
/// beep, and returns when the user closes it.
LYRUTIL_API void fExistsErrorMessage(const char* path, const char* typeName);
/// Shows the host's message 1033 ("file missing", %1 `path`) after an exclamation beep.
LYRUTIL_API void fExistsErrorMessage(const char* path);
/// The library's own function beside the Win32 one of the same name; the destination comes
/// first. Copies the bytes of `source` into `destination` (created or emptied; both opened
/// exclusively): 1 when copied or when `source` does not exist, 0 after a failure, which shows
/// the host's message 1038. A destination cut short by a failure stays as far as it was written.
/// Throws nothing.
LYRUTIL_API int CopyFileA(char* destination, char* source);
/// The library's own function beside the Win32 one of the same name: removes a file, read-only or
/// not; a path that does not exist, and every failure, are ignored. Throws nothing.
LYRUTIL_API void DeleteFileA(char* path);
/// A full path "<directory>\<n><extension>" with the smallest n from 0 whose file does not
/// exist, for the extension of a file-type code; an empty text when none is free. The result is
/// the library's shared unique-name buffer, valid until the next call. The file is not created:
/// another party may take the name first.
LYRUTIL_API char* GetUniqueFileName(unsigned short fileType, char* directory);
/// As above with `extension` (a dot put in front when it has none; at most 7 characters with it).
LYRUTIL_API char* GetUniqueFileName(char* extension, char* directory);
/// The length of the longest file name (extension included) in `directory` with `extension`; -1
/// when either argument is empty or nothing matches.
LYRUTIL_API int GetMaxLengthFileName(char* const extension, char* const directory);
/// Cleans a directory path in place (drive letter, ":\", single backslashes, no illegal
/// characters, at most 256 characters; the buffer holds 260) and checks that it exists: 0 when
/// it exists or was made, 1 when the user declined or `MakeNewDir` failed, 3 when the first
/// character is not a letter or the folder is missing and `create` is 0. With `message`, the
/// host's messages 1032, 1041 and 1042 (the question before creating) are shown. The process's
/// current directory is as before when it returns.
LYRUTIL_API unsigned short CheckPath(char* path, int create, int message);
/// Makes every missing level of `path`: 0 when all levels exist afterwards, 1 on failure (with
/// message 1043 when `message` is nonzero). Leaves the process's current directory at the deepest
/// level it entered.
LYRUTIL_API unsigned short MakeNewDir(char* path, int message);

// --- Shared opens and method files ---

/// Opens `name` through `file` (which must not be open; its own virtual Open and Close are used)
/// with `CFile::Open`'s flags: 0 when open, 1 when not. For a method file it first waits while
/// another party holds the file (`Is_FileOpen`, at most a minute); a refused open is retried for
/// about five seconds.
/// No exception leaves it: one raised inside closes the file and gives 1.
LYRUTIL_API int LyrOpenFile(CFile* file, char* name, unsigned short openFlags);
/// 1 when `name` has one of the method-file extensions, else 0.
LYRUTIL_API int IsitMeth(char* const name);
/// 1 when the file exists and cannot be opened for reading with no sharing (someone holds it),
/// else 0; gives an exclamation beep when it is held.
LYRUTIL_API int Is_FileOpen(char* const name);
/// 1 when `name` is in this process's lock list, after a pause of one second; else 0 at once.
/// Names compare without regard to case and without other normalisation.
LYRUTIL_API int IsFileLocked(char* const name);
/// For a method file: waits until `name` is not in the lock list, then enters it (50 slots; a
/// name is known by its first 254 characters). The wait ends after a minute: a name still held
/// is then entered a second time, so that every add stays paired with one remove; a table still
/// full leaves the name out. Other names are ignored.
LYRUTIL_API void AddFileToLock(char* const name);
/// Frees the first lock-list slot that holds `name`; nothing when none does.
LYRUTIL_API void RemoveFileFromListe(char* const name);
/// Deletes every one of the 48 companion files of the method file `method` that exists (its own
/// file among them), read-only or not; nothing is reported.
LYRUTIL_API void DeleteMeth(CString method);

#endif  // LYRUTIL_FILES_H
