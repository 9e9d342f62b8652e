// <direct.h> of the Microsoft C runtime, for Linux: the stand-in declares its subset in lyrcrt.h.
#ifndef LYRWIN_DIRECT_H
#define LYRWIN_DIRECT_H
#include <lyrcrt.h>
#endif
