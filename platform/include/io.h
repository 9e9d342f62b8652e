// <io.h> of the Microsoft C runtime, for Linux: the stand-in declares its subset in lyrcrt.h.
#ifndef LYRWIN_IO_H
#define LYRWIN_IO_H
#include <lyrcrt.h>
#endif
