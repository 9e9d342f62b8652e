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

namespace {

// How many bytes of the block GDI reads when handed the DIB with its bits at `bitsOffset`: the
// header as its first DWORD sizes it, the colour table (and the 40-byte header's bit-field masks)
// as GDI counts it, and the rows, or for RLE the compressed bytes.
ULONGLONG BytesGdiReads(const char* lpbi, SIZE_T blockBytes, ULONGLONG bitsOffset) {
  DWORD headerSize;
  std::memcpy(&headerSize, lpbi, sizeof headerSize);
  if (headerSize > blockBytes) return ~0ull;  // the header alone runs past the block
  ULONGLONG width, height, table = 0, bits;
  WORD bitCount;
  if (headerSize >= sizeof(BITMAPINFOHEADER)) {
    BITMAPINFOHEADER header;
    std::memcpy(&header, lpbi, sizeof header);
    width = static_cast<ULONGLONG>(header.biWidth < 0 ? -static_cast<LONGLONG>(header.biWidth)
                                                      : header.biWidth);
    height = static_cast<ULONGLONG>(header.biHeight < 0 ? -static_cast<LONGLONG>(header.biHeight)
                                                        : header.biHeight);
    bitCount = header.biBitCount;
    const ULONGLONG colors =
        header.biClrUsed != 0 ? header.biClrUsed : (bitCount <= 8 ? 1ull << bitCount : 0);
    table = colors * sizeof(RGBQUAD);
    if (header.biCompression == BI_BITFIELDS && headerSize == sizeof(BITMAPINFOHEADER))
      table += 3 * sizeof(DWORD);
    const bool rle = header.biCompression == BI_RLE8 || header.biCompression == BI_RLE4;
    bits = rle ? header.biSizeImage : ((width * bitCount + 31) / 32) * 4 * height;
  } else {
    BITMAPCOREHEADER header;
    std::memcpy(&header, lpbi, sizeof header);
    width = header.bcWidth;
    height = header.bcHeight;
    bitCount = header.bcBitCount;
    table = (bitCount <= 8 ? 1ull << bitCount : 0) * sizeof(RGBTRIPLE);
    bits = ((width * bitCount + 31) / 32) * 4 * height;
  }
  const ULONGLONG headerAndTable = headerSize + table;
  const ULONGLONG withBits = bitsOffset + bits;
  return headerAndTable > withBits ? headerAndTable : withBits;
}

// right - left in 32-bit arithmetic, wrapping as Windows' does instead of overflowing.
int Extent(LONG low, LONG high) {
  return static_cast<int>(static_cast<DWORD>(high) - static_cast<DWORD>(low));
}

}  // namespace

int PaintDIB(HDC hDC, tagRECT* lpDCRect, HDIB hDIB, tagRECT* lpDIBRect, CPalette* pPal) {
  if (hDIB == nullptr) return 0;
  const SIZE_T blockBytes = GlobalSize(hDIB);
  if (blockBytes < sizeof(BITMAPCOREHEADER)) return 0;
  char* lpbi = static_cast<char*>(GlobalLock(hDIB));
  if (lpbi == nullptr) return 0;
  char* bits = FindDIBBits(lpbi);
  // A header that promises more than its block holds (a truncated file, a damaged block) would
  // have GDI read past the block: such a DIB is not painted.
  if (BytesGdiReads(lpbi, blockBytes, static_cast<ULONGLONG>(bits - lpbi)) > blockBytes) {
    GlobalUnlock(hDIB);
    return 0;
  }
  HPALETTE previous = nullptr;
  if (pPal != nullptr) previous = SelectPalette(hDC, static_cast<HPALETTE>(pPal->m_hObject), TRUE);
  SetStretchBltMode(hDC, COLORONCOLOR);
  const int destWidth = Extent(lpDCRect->left, lpDCRect->right);
  const int destHeight = Extent(lpDCRect->top, lpDCRect->bottom);
  const int sourceWidth = Extent(lpDIBRect->left, lpDIBRect->right);
  const int sourceHeight = Extent(lpDIBRect->top, lpDIBRect->bottom);
  const BITMAPINFO* info = reinterpret_cast<BITMAPINFO*>(lpbi);
  int result;
  // A top-down DIB (a Windows header with a negative height) is copied 1:1 through the stretch,
  // whose source rectangle counts from the top for both kinds: the unstretched copy's source y,
  // taken from the height as an unsigned number, would point past the picture.
  DWORD headerSize;
  std::memcpy(&headerSize, lpbi, sizeof headerSize);
  const bool topDown = headerSize == sizeof(BITMAPINFOHEADER) &&
                       static_cast<LONG>(static_cast<DWORD>(DIBHeight(lpbi))) < 0;
  if (destWidth == sourceWidth && destHeight == sourceHeight && !topDown) {
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
