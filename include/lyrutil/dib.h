// Device-independent bitmaps: BMP files read into and written from movable global memory blocks
// holding a packed DIB (header, colour table, pixel rows; no file header), painted into a device
// context, and the small accessors on their header.
#ifndef LYRUTIL_DIB_H
#define LYRUTIL_DIB_H

#include <lyrutil/export.h>

#include <afx.h>
#include <afxwin.h>

struct HDIB__ {
  int unused;
};
typedef HDIB__* HDIB;  // a movable global memory block holding a packed DIB

// On a locked packed DIB: the first pixel row, the width and height, the colour table's size in
// bytes and its number of entries.
LYRUTIL_API char* FindDIBBits(char* lpbi);
LYRUTIL_API unsigned long DIBWidth(char* lpDIB);
LYRUTIL_API unsigned long DIBHeight(char* lpDIB);
LYRUTIL_API unsigned short PaletteSize(char* lpbi);
LYRUTIL_API unsigned short DIBNumColors(char* lpbi);

// Builds a logical palette from the colour table and attaches it to `pPal`; 0 when the DIB has no
// colour table or anything fails.
LYRUTIL_API int CreateDIBPalette(HDIB hDIB, CPalette* pPal);
// Paints the source rectangle of the DIB into the destination rectangle of the device context:
// an unstretched copy when both have the same size, else stretched (COLORONCOLOR). The result of
// the GDI call.
LYRUTIL_API int PaintDIB(HDC hDC, tagRECT* lpDCRect, HDIB hDIB, tagRECT* lpDIBRect, CPalette* pPal);
// A copy of any global memory block; null for null or a failed allocation.
LYRUTIL_API void* CopyHandle(void* h);
// Writes the DIB as a BMP file; 1 when written, 0 for a null or core-header DIB. A write error
// reaches the caller as CFileException*.
LYRUTIL_API int SaveDIB(HDIB hDib, CFile& file);
// Reads a BMP file from the file's start; null when it is not one or cannot be read.
LYRUTIL_API HDIB ReadDIBFile(CFile& file);

#endif  // LYRUTIL_DIB_H
