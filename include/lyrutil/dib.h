/// @file
/// Device-independent bitmaps: BMP files read into and written from movable global memory blocks
/// holding a packed DIB (header, colour table, pixel rows; no file header), painted into a device
/// context, and the small accessors on their header.
///
/// The header accessors take a locked packed DIB whose header (40-byte Windows or 12-byte core)
/// is whole; they read nothing past the header. The functions keep no state: several threads may
/// call them on different bitmaps. A DIB handle belongs to its caller, who frees it with
/// GlobalFree.
#ifndef LYRUTIL_DIB_H
#define LYRUTIL_DIB_H

#include <lyrutil/export.h>

#include <afx.h>
#include <afxwin.h>

/// The handle type's tag, as Windows declares handle types: never dereferenced.
struct HDIB__ {
  int unused;  ///< makes the tag a complete type
};
/// A movable global memory block holding a packed DIB.
typedef HDIB__* HDIB;

/// The first pixel row of a locked packed DIB: its address plus the header's size plus the colour
/// table's (`PaletteSize`). For a 40-byte header with BI_BITFIELDS that is where the three colour
/// masks stand, as the bitmap rules say; the rows follow them.
LYRUTIL_API char* FindDIBBits(char* lpbi);
/// The width in pixels: the 32-bit width of a Windows header, the 16-bit width of a core header.
LYRUTIL_API unsigned long DIBWidth(char* lpDIB);
/// The height in pixels as the header stores it (a top-down DIB's negative height as its 32-bit
/// pattern); the 16-bit height of a core header.
LYRUTIL_API unsigned long DIBHeight(char* lpDIB);
/// The colour table's size in bytes: `DIBNumColors` times 4 (Windows header) or 3 (core header).
LYRUTIL_API unsigned short PaletteSize(char* lpbi);
/// The colour table's entries: biClrUsed when set, else 2, 16 or 256 for 1, 4 and 8 bits per
/// pixel, else 0.
LYRUTIL_API unsigned short DIBNumColors(char* lpbi);

/// Builds a logical palette from the colour table and attaches it to `pPal`; nonzero on success,
/// 0 when the DIB has no colour table or anything fails.
LYRUTIL_API int CreateDIBPalette(HDIB hDIB, CPalette* pPal);
/// Paints the source rectangle of the DIB into the destination rectangle of the device context,
/// with `pPal` selected when given: an unstretched copy when both have the same size, else
/// stretched (COLORONCOLOR). The result of the GDI call (scan lines painted); 0, painting
/// nothing, for a null DIB or one whose header promises more rows than its block holds.
LYRUTIL_API int PaintDIB(HDC hDC, tagRECT* lpDCRect, HDIB hDIB, tagRECT* lpDIBRect, CPalette* pPal);
/// A new movable block holding a copy of any global memory block, owned by the caller; null for
/// null or a failed allocation.
LYRUTIL_API void* CopyHandle(void* h);
/// Writes the DIB as a BMP file (file header, header, masks and colour table, rows) at the file's
/// position: 1 when written; 0, writing nothing, for a null or core-header DIB or one whose block
/// is shorter than its header says. A write error reaches the caller as CFileException*.
LYRUTIL_API int SaveDIB(HDIB hDib, CFile& file);
/// Reads a BMP file from the file's position (its start, for a file just opened) to its end into
/// a new DIB owned by the caller; null when it is not a BMP file, is cut short or cannot be read.
/// The header is not checked further; `PaintDIB` refuses a DIB that promises more than it holds.
LYRUTIL_API HDIB ReadDIBFile(CFile& file);

#endif  // LYRUTIL_DIB_H
