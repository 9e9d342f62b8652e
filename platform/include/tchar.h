// <tchar.h> of the Microsoft C runtime, for Linux: the stand-in declares its subset in lyrcrt.h.
#ifndef LYRWIN_TCHAR_H
#define LYRWIN_TCHAR_H
#include <lyrcrt.h>
#endif
