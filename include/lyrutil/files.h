// File names and file operations: the file-type table, name routines, whole-file and directory
// operations, and the rules for files that several parties open at once.
//
// Out-buffers are the caller's, of at least 260 bytes (MAX_PATH), as throughout the suite. Results
// that would not fit are cut at 259 characters, as the suite cuts text to its field, and in-place
// routines never make a name longer than its buffer can be (259 characters, or the name's own
// length when that is more).
#ifndef LYRUTIL_FILES_H
#define LYRUTIL_FILES_H

#include <afx.h>

#include <lyrutil/export.h>

// --- File types and file names ---

LYRUTIL_API char* GetFileExtension(unsigned short fileType);
LYRUTIL_API void GetFileExtension(unsigned short fileType, char* out);
LYRUTIL_API char* GetFileName(unsigned short fileType);
LYRUTIL_API void GetFileName(unsigned short fileType, char* out);
// The extension from the last '.' to the end. The pointer overload returns the library's 8-byte
// extension buffer: an extension of more than 7 characters is cut to 7 there.
LYRUTIL_API char* GetExt(char* name);
LYRUTIL_API void GetExt(char* name, char* out);
LYRUTIL_API void RemoveExt(char* name);
LYRUTIL_API void RemoveExtFromEnd(char* name);
LYRUTIL_API void FixExt(char* name, const char* extension);
LYRUTIL_API void FixExt_SansRemoveExt(char* name, const char* extension);
LYRUTIL_API void FixFileExt(unsigned short fileType, char* name);
LYRUTIL_API void FixFileExt_samsRemoveExt(unsigned short fileType, char* name);
LYRUTIL_API int MakeFFPS(char* directory, char* name);
LYRUTIL_API void GetDirecFromFile(const char* path, char* out);
LYRUTIL_API void GetNameFromFile(const char* path, char* out);
LYRUTIL_API void GetName_ExtFromFile(const char* path, char* out);
LYRUTIL_API int LegalFileName(char* name);
LYRUTIL_API int LegalFileCharacter(char c);
// Shortens a directory text for display to `maximum` characters: its first three, "...", and its
// end. A maximum under 6 leaves room for no dots: the text is cut to its first `maximum`
// characters.
LYRUTIL_API void CheckDirectoryLength(char* directory, unsigned int maximum);
LYRUTIL_API void FormatDirString(const char* directory, char* out);
LYRUTIL_API unsigned int GetNumBackSlashes(const char* text);

// --- File operations ---

LYRUTIL_API int fExists(const char* path);
LYRUTIL_API void fExistsErrorMessage(const char* path, const char* typeName);
LYRUTIL_API void fExistsErrorMessage(const char* path);
// The library's own function beside the Win32 one of the same name; the destination comes first.
LYRUTIL_API int CopyFileA(char* destination, char* source);
// The library's own function beside the Win32 one of the same name: removes a file, read-only or
// not; a path that does not exist, and every failure, are ignored.
LYRUTIL_API void DeleteFileA(char* path);
LYRUTIL_API char* GetUniqueFileName(unsigned short fileType, char* directory);
LYRUTIL_API char* GetUniqueFileName(char* extension, char* directory);
LYRUTIL_API int GetMaxLengthFileName(char* const extension, char* const directory);
LYRUTIL_API unsigned short CheckPath(char* path, int create, int message);
LYRUTIL_API unsigned short MakeNewDir(char* path, int message);

// --- Shared opens and method files ---

LYRUTIL_API int LyrOpenFile(CFile* file, char* name, unsigned short openFlags);
LYRUTIL_API int IsitMeth(char* const name);
LYRUTIL_API int Is_FileOpen(char* const name);
LYRUTIL_API int IsFileLocked(char* const name);
LYRUTIL_API void AddFileToLock(char* const name);
LYRUTIL_API void RemoveFileFromListe(char* const name);
LYRUTIL_API void DeleteMeth(CString method);

#endif  // LYRUTIL_FILES_H
