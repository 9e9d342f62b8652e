// Painting a DIB into a device context, and the logical palette of its colour table.
#include <LyrUtil.h>

#include <cstring>

int CreateDIBPalette(HDIB hDIB, CPalette* pPal) {
  if (hDIB == nullptr || pPal == nullptr) return 0;
  char* lpbi = static_cast<char*>(GlobalLock(hDIB));
  if (lpbi == nullptr) return 0;
  const WORD colors = DIBNumColors(lpbi);
  if (colors == 0) {
    GlobalUnlock(hDIB);
    return 0;
  }
  HGLOBAL block =
      GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT,
                  sizeof(LOGPALETTE) - sizeof(PALETTEENTRY) + sizeof(PALETTEENTRY) * colors);
  if (block == nullptr) {
    GlobalUnlock(hDIB);
    return 0;
  }
  LOGPALETTE* logical = static_cast<LOGPALETTE*>(GlobalLock(block));
  logical->palVersion = 0x300;
  logical->palNumEntries = colors;
  DWORD headerSize;
  std::memcpy(&headerSize, lpbi, sizeof headerSize);
  const bool windows = headerSize == sizeof(BITMAPINFOHEADER);
  const unsigned char* table = reinterpret_cast<unsigned char*>(lpbi) + headerSize;
  const unsigned entry = windows ? 4 : 3;
  // Entries the block does not hold (a header that promises more colours than the file brought)
  // stay black: nothing is read past the block.
  const SIZE_T blockBytes = GlobalSize(hDIB);
  const SIZE_T present = blockBytes > headerSize ? (blockBytes - headerSize) / entry : 0;
  for (WORD i = 0; i < colors && i < present; ++i) {
    logical->palPalEntry[i].peRed = table[i * entry + 2];
    logical->palPalEntry[i].peGreen = table[i * entry + 1];
    logical->palPalEntry[i].peBlue = table[i * entry];
    logical->palPalEntry[i].peFlags = 0;
  }
  const int result = pPal->Attach(CreatePalette(logical));
  GlobalUnlock(block);
  GlobalFree(block);
  GlobalUnlock(hDIB);
  return result;
}

int PaintDIB(HDC hDC, tagRECT* lpDCRect, HDIB hDIB, tagRECT* lpDIBRect, CPalette* pPal) {
  if (hDIB == nullptr) return 0;
  char* lpbi = static_cast<char*>(GlobalLock(hDIB));
  if (lpbi == nullptr) return 0;
  char* bits = FindDIBBits(lpbi);
  HPALETTE previous = nullptr;
  if (pPal != nullptr) previous = SelectPalette(hDC, static_cast<HPALETTE>(pPal->m_hObject), TRUE);
  SetStretchBltMode(hDC, COLORONCOLOR);
  const int destWidth = lpDCRect->right - lpDCRect->left;
  const int destHeight = lpDCRect->bottom - lpDCRect->top;
  const int sourceWidth = lpDIBRect->right - lpDIBRect->left;
  const int sourceHeight = lpDIBRect->bottom - lpDIBRect->top;
  const BITMAPINFO* info = reinterpret_cast<BITMAPINFO*>(lpbi);
  int result;
  if (destWidth == sourceWidth && destHeight == sourceHeight) {
    const unsigned long height = DIBHeight(lpbi);
    result =
        SetDIBitsToDevice(hDC, lpDCRect->left, lpDCRect->top, static_cast<DWORD>(destWidth),
                          static_cast<DWORD>(destHeight), lpDIBRect->left,
                          static_cast<int>(height - static_cast<unsigned long>(lpDIBRect->bottom)),
                          0, static_cast<UINT>(height % 65536), bits, info, DIB_RGB_COLORS);
  } else {
    result = StretchDIBits(hDC, lpDCRect->left, lpDCRect->top, destWidth, destHeight,
                           lpDIBRect->left, lpDIBRect->top, sourceWidth, sourceHeight, bits, info,
                           DIB_RGB_COLORS, SRCCOPY);
  }
  GlobalUnlock(hDIB);
  if (previous != nullptr) SelectPalette(hDC, previous, TRUE);
  return result;
}
