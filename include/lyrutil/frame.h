// The library frame: installation settings, messages and the current user, the error logs.
#ifndef LYRUTIL_FRAME_H
#define LYRUTIL_FRAME_H

#include <afx.h>

#include <lyrutil/export.h>

// The host's record of the logged-on user. The library copies it whole and reads none of it.
struct LyrPasswordStruct {
  DWORD dwData[8];
};
static_assert(sizeof(LyrPasswordStruct) == 32, "the user record is 32 bytes");

// --- Installation settings ---

// Once, from the host's main thread, before any other call: records the main thread, caches the
// Windows directory, reads the working directory, clears the method-file lock list and registers
// the "._cv" association.
LYRUTIL_API void InitSystemGlobalParameters(void);
// The suite INI file: the installation folder from the registry followed by "\sylwin.ini".
LYRUTIL_API void GetLyraININame(CString& name);
// The library's own function beside the Win32 one of the same name: the cached Windows directory.
LYRUTIL_API char* GetWindowsDirectoryA(void);
// The working directory, re-read from the INI file into the library's buffer on every call.
LYRUTIL_API char* GetWorkingDirectory(void);
LYRUTIL_API ULONG GetMainThreadId(void);
// Copies a registry value's bytes (at most 255) into `data`; leaves it untouched when the key
// cannot be opened with full access.
LYRUTIL_API void LitBaseRegistre(HKEY root, const char* subKey, char* valueName,
                                 unsigned char* data);
LYRUTIL_API bool SetRunAppWithExtension(const char* typeName, const char* description,
                                        const char* openCommand, const char* extension);
LYRUTIL_API void SetHeapFragmentation(int flag);
LYRUTIL_API bool IsKeyPresent(char* const section, char* const iniFile);
LYRUTIL_API bool IsTria2011(char* const iniFile);

// --- Messages and the current user ---

LYRUTIL_API int LyrMessageBox(const char* text, const char* header, unsigned int type,
                              unsigned int helpId);
LYRUTIL_API void CriticalErrorMessage(void);
LYRUTIL_API void SetCurrentUser(LyrPasswordStruct* user);
LYRUTIL_API LyrPasswordStruct* GetCurrentUser(void);
LYRUTIL_API void GetCurrentUser(LyrPasswordStruct* user);
LYRUTIL_API int GetUserOKOnCancelModifications(void);
LYRUTIL_API void TRACECFileException(int cause);

// --- Error logs ---

LYRUTIL_API void SendToErrorLog(char* text);
LYRUTIL_API int WriteToLog(char* logPath, char* text);

#endif  // LYRUTIL_FRAME_H
