// <mbstring.h> of the Microsoft C runtime, for Linux: the stand-in declares its subset in lyrcrt.h.
#ifndef LYRWIN_MBSTRING_H
#define LYRWIN_MBSTRING_H
#include <lyrcrt.h>
#endif
