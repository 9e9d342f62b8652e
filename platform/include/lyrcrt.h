// The parts of the Microsoft C runtime that LyrUtil calls and that glibc lacks, for Linux. On
// Windows they come from <direct.h>, <mbstring.h>, <string.h> and <process.h>.
#ifndef LYRWIN_LYRCRT_H
#define LYRWIN_LYRCRT_H

#include <windows.h>

#include <ctime>

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

// Time conversions, with the Microsoft runtime's names and limits: localtime_s and gmtime_s take
// the moments from 1970 to the end of the year 3000 (EINVAL otherwise, every field -1);
// _mktime64 answers as mktime does. The local time is glibc's, for the zone TZ names.
LYRWIN_API int localtime_s(struct tm* tmDest, const time_t* sourceTime);
LYRWIN_API int gmtime_s(struct tm* tmDest, const time_t* sourceTime);
LYRWIN_API time_t _mktime64(struct tm* timeptr);

// Threads of the C runtime: the handle as an integer, 0 (errno set) on failure.
LYRWIN_API uintptr_t _beginthreadex(void* security, unsigned stack_size,
                                    unsigned(WINAPI* start_address)(void*), void* arglist,
                                    unsigned initflag, unsigned* thrdaddr);
[[noreturn]] LYRWIN_API void _endthreadex(unsigned retval);

}  // extern "C"

#endif  // LYRWIN_LYRCRT_H
