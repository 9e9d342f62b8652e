// The GDI subset of the stand-in: device-independent bitmaps, the memory device contexts they
// are painted into, palettes, and printer device contexts with their documents and pages. Names,
// layouts and rules are Windows'.
#ifndef LYRWIN_WINGDI_H
#define LYRWIN_WINGDI_H

struct HBITMAP__ {
  int unused;
};
typedef HBITMAP__* HBITMAP;
struct HPALETTE__ {
  int unused;
};
typedef HPALETTE__* HPALETTE;
typedef void* HGDIOBJ;
typedef DWORD COLORREF;

typedef struct tagRECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
} RECT, *LPRECT;

typedef struct tagRGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
} RGBQUAD;

typedef struct tagRGBTRIPLE {
  BYTE rgbtBlue;
  BYTE rgbtGreen;
  BYTE rgbtRed;
} RGBTRIPLE;

#pragma pack(push, 2)
typedef struct tagBITMAPFILEHEADER {
  WORD bfType;
  DWORD bfSize;
  WORD bfReserved1;
  WORD bfReserved2;
  DWORD bfOffBits;
} BITMAPFILEHEADER;
#pragma pack(pop)

typedef struct tagBITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
} BITMAPINFOHEADER, *LPBITMAPINFOHEADER;

typedef struct tagBITMAPCOREHEADER {
  DWORD bcSize;
  WORD bcWidth;
  WORD bcHeight;
  WORD bcPlanes;
  WORD bcBitCount;
} BITMAPCOREHEADER;

typedef struct tagBITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
} BITMAPINFO, *LPBITMAPINFO;

typedef struct tagPALETTEENTRY {
  BYTE peRed;
  BYTE peGreen;
  BYTE peBlue;
  BYTE peFlags;
} PALETTEENTRY, *LPPALETTEENTRY;

typedef struct tagLOGPALETTE {
  WORD palVersion;
  WORD palNumEntries;
  PALETTEENTRY palPalEntry[1];
} LOGPALETTE, *LPLOGPALETTE;

typedef struct _DOCINFOA {
  int cbSize;
  LPCSTR lpszDocName;
  LPCSTR lpszOutput;  // a DOS path to print to instead of the printer; null for the printer
  LPCSTR lpszDatatype;
  DWORD fwType;
} DOCINFOA, *LPDOCINFOA;
typedef DOCINFOA DOCINFO;
typedef LPDOCINFOA LPDOCINFO;

typedef struct _devicemodeA DEVMODEA;  // printer settings; the stand-in's printers take none

typedef struct tagBITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  LPVOID bmBits;
} BITMAP;

typedef struct tagDIBSECTION {
  BITMAP dsBm;
  BITMAPINFOHEADER dsBmih;
  DWORD dsBitfields[3];
  HANDLE dshSection;
  DWORD dsOffset;
} DIBSECTION, *LPDIBSECTION, *PDIBSECTION;

#define BI_RGB 0L
#define BI_RLE8 1L
#define BI_RLE4 2L
#define BI_BITFIELDS 3L
#define DIB_RGB_COLORS 0
#define DIB_PAL_COLORS 1
#define SRCCOPY 0x00CC0020
#define BLACKONWHITE 1
#define WHITEONBLACK 2
#define COLORONCOLOR 3
#define HALFTONE 4
#define GDI_ERROR 0xFFFFFFFFL
#define CLR_INVALID 0xFFFFFFFF
#define HORZRES 8
#define VERTRES 10
#define BITSPIXEL 12
#define RASTERCAPS 38
#define LOGPIXELSX 88
#define LOGPIXELSY 90
#define PHYSICALWIDTH 110
#define PHYSICALHEIGHT 111
#define PHYSICALOFFSETX 112
#define PHYSICALOFFSETY 113
#define TECHNOLOGY 2
#define DT_RASDISPLAY 1
#define DT_RASPRINTER 2
#define SP_ERROR (-1)
#define RC_BITMAP64 0x0008
#define RC_DI_BITMAP 0x0080
#define RC_DIBTODEV 0x0200
#define RC_STRETCHDIB 0x2000
#define RC_PALETTE 0x0100

#define RGB(r, g, b) \
  ((COLORREF)(((BYTE)(r) | ((WORD)((BYTE)(g)) << 8)) | (((DWORD)(BYTE)(b)) << 16)))
#define GetRValue(rgb) ((BYTE)(rgb))
#define GetGValue(rgb) ((BYTE)(((WORD)(rgb)) >> 8))
#define GetBValue(rgb) ((BYTE)((rgb) >> 16))

extern "C" {

LYRWIN_API HDC WINAPI CreateCompatibleDC(HDC hdc);
LYRWIN_API BOOL WINAPI DeleteDC(HDC hdc);
LYRWIN_API HBITMAP WINAPI CreateDIBSection(HDC hdc, const BITMAPINFO* pbmi, UINT usage,
                                           void** ppvBits, HANDLE hSection, DWORD offset);
LYRWIN_API HBITMAP WINAPI CreateCompatibleBitmap(HDC hdc, int cx, int cy);
LYRWIN_API HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h);
LYRWIN_API BOOL WINAPI DeleteObject(HGDIOBJ ho);
LYRWIN_API int WINAPI GetObjectA(HANDLE h, int c, LPVOID pv);
LYRWIN_API COLORREF WINAPI GetPixel(HDC hdc, int x, int y);
LYRWIN_API COLORREF WINAPI SetPixel(HDC hdc, int x, int y, COLORREF color);
LYRWIN_API int WINAPI SetStretchBltMode(HDC hdc, int mode);
LYRWIN_API int WINAPI GetStretchBltMode(HDC hdc);
LYRWIN_API int WINAPI GetDeviceCaps(HDC hdc, int index);
// Pixel rows and the header are read only within the memory block from GlobalAlloc that holds
// them, when they lie in one: a header that promises more than its block holds paints what is
// there and never reads past it.
LYRWIN_API int WINAPI SetDIBitsToDevice(HDC hdc, int xDest, int yDest, DWORD w, DWORD h, int xSrc,
                                        int ySrc, UINT StartScan, UINT cLines, const void* lpvBits,
                                        const BITMAPINFO* lpbmi, UINT ColorUse);
LYRWIN_API int WINAPI StretchDIBits(HDC hdc, int xDest, int yDest, int DestWidth, int DestHeight,
                                    int xSrc, int ySrc, int SrcWidth, int SrcHeight,
                                    const void* lpBits, const BITMAPINFO* lpbmi, UINT iUsage,
                                    DWORD rop);
LYRWIN_API HPALETTE WINAPI CreatePalette(const LOGPALETTE* plpal);
LYRWIN_API HPALETTE WINAPI SelectPalette(HDC hdc, HPALETTE hPal, BOOL bForceBkgd);
LYRWIN_API UINT WINAPI RealizePalette(HDC hdc);
LYRWIN_API UINT WINAPI GetPaletteEntries(HPALETTE hpal, UINT iStart, UINT cEntries,
                                         PALETTEENTRY* pPalEntries);

// Printer device contexts. CreateDCA makes one for a printer by name ("LyrUtil PDF" always
// exists); the driver may be null or "WINSPOOL", the port and the settings are ignored.
LYRWIN_API HDC WINAPI CreateDCA(LPCSTR pszDriver, LPCSTR pszDevice, LPCSTR pszPort,
                                const DEVMODEA* pdm);
// A document: StartDocA returns a job number above zero or SP_ERROR (when the output cannot be
// written, for one); the document appears only when EndDoc succeeds, never half written. AbortDoc
// and a DeleteDC without EndDoc leave nothing.
LYRWIN_API int WINAPI StartDocA(HDC hdc, const DOCINFOA* lpdi);
LYRWIN_API int WINAPI StartPage(HDC hdc);
LYRWIN_API int WINAPI EndPage(HDC hdc);
LYRWIN_API int WINAPI EndDoc(HDC hdc);
LYRWIN_API int WINAPI AbortDoc(HDC hdc);
// Draws text in the DC's font (a monospaced 10-point font) and text colour, the top left of its
// cell at (x, y). The text is in code page 1252.
LYRWIN_API BOOL WINAPI TextOutA(HDC hdc, int x, int y, LPCSTR lpString, int c);
LYRWIN_API COLORREF WINAPI SetTextColor(HDC hdc, COLORREF color);
LYRWIN_API COLORREF WINAPI GetTextColor(HDC hdc);

}  // extern "C"

#define GetObject GetObjectA
#define CreateDC CreateDCA
#define StartDoc StartDocA
#define TextOut TextOutA

#endif  // LYRWIN_WINGDI_H
