// <process.h> of the Microsoft C runtime, for Linux: the stand-in declares its subset in lyrcrt.h.
#ifndef LYRWIN_PROCESS_H
#define LYRWIN_PROCESS_H
#include <lyrcrt.h>
#endif
