// Process-wide values of the library frame, shared by its units. They are set on the host's main
// thread by InitSystemGlobalParameters before other threads use the library, and read without
// locks afterwards, as the interface prescribes.
#ifndef LYRUTIL_FRAME_STATE_H
#define LYRUTIL_FRAME_STATE_H

#include <afx.h>

namespace lyrutil {

constexpr size_t kDirectoryBufferBytes = 256;

extern char g_windowsDirectory[kDirectoryBufferBytes];
extern char g_workingDirectory[kDirectoryBufferBytes];
extern ULONG g_mainThreadId;

// The suite INI file's name built from the installation key alone ("\sylwin.ini" at the root of
// the current drive when the key or its "Path" value is missing).
CString SuiteIniName();

// The working directory as the error log and the module table find it: "Working Path" /
// "WorkingDirectory" of the suite INI file, "c:\tessera" when absent, at most 254 characters.
CString DataDirectory();

// Fills the Windows-directory cache from Windows when it is empty.
void FillWindowsDirectoryCache();

}  // namespace lyrutil

#endif  // LYRUTIL_FRAME_STATE_H
