// The parts of the Microsoft C runtime that LyrUtil calls and that glibc lacks, for Linux. On
// Windows they come from <direct.h>, <mbstring.h>, <string.h> and <process.h>.
#ifndef LYRWIN_LYRCRT_H
#define LYRWIN_LYRCRT_H

#include <windows.h>

extern "C" {

// Directories, on DOS paths. Failures set errno as the Microsoft runtime does.
LYRWIN_API char* _getcwd(char* buffer, int maxlen);
LYRWIN_API int _chdir(const char* dirname);
LYRWIN_API int _mkdir(const char* dirname);

// Byte strings in the ANSI code page (1252).
LYRWIN_API int _mbscmp(const unsigned char* string1, const unsigned char* string2);
LYRWIN_API char* _strupr(char* str);
LYRWIN_API char* _strlwr(char* str);
LYRWIN_API int _stricmp(const char* string1, const char* string2);
LYRWIN_API int _strnicmp(const char* string1, const char* string2, size_t count);

// Threads of the C runtime: the handle as an integer, 0 (errno set) on failure.
LYRWIN_API uintptr_t _beginthreadex(void* security, unsigned stack_size,
                                    unsigned(WINAPI* start_address)(void*), void* arglist,
                                    unsigned initflag, unsigned* thrdaddr);
[[noreturn]] LYRWIN_API void _endthreadex(unsigned retval);

}  // extern "C"

#endif  // LYRWIN_LYRCRT_H
