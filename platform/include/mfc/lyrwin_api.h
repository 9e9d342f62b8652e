// LYRWIN_API marks what the stand-in library (lyrwin) exports: on Linux the Win32 subset and the
// MFC subset, on Windows the MFC subset alone.
#ifndef LYRWIN_API_H
#define LYRWIN_API_H

#if defined(_WIN32)
#if defined(LYRWIN_BUILD)
#define LYRWIN_API __declspec(dllexport)
#else
#define LYRWIN_API __declspec(dllimport)
#endif
#else
#define LYRWIN_API __attribute__((visibility("default")))
#endif

#endif  // LYRWIN_API_H
