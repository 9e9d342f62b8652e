// The accessors on a packed DIB's header: a 40-byte Windows header, or any other size read as
// the OS/2 core header (12 bytes, 3-byte colour entries).
#include <LyrUtil.h>

#include <cstring>

namespace {

bool IsWindowsHeader(const char* lpbi) {
  DWORD size;
  std::memcpy(&size, lpbi, sizeof size);
  return size == sizeof(BITMAPINFOHEADER);
}

BITMAPINFOHEADER WindowsHeader(const char* lpbi) {
  BITMAPINFOHEADER header;
  std::memcpy(&header, lpbi, sizeof header);
  return header;
}

BITMAPCOREHEADER CoreHeader(const char* lpbi) {
  BITMAPCOREHEADER header;
  std::memcpy(&header, lpbi, sizeof header);
  return header;
}

}  // namespace

unsigned short DIBNumColors(char* lpbi) {
  WORD bitCount;
  if (IsWindowsHeader(lpbi)) {
    const BITMAPINFOHEADER header = WindowsHeader(lpbi);
    if (header.biClrUsed != 0) return static_cast<unsigned short>(header.biClrUsed);
    bitCount = header.biBitCount;
  } else {
    bitCount = CoreHeader(lpbi).bcBitCount;
  }
  switch (bitCount) {
    case 1:
      return 2;
    case 4:
      return 16;
    case 8:
      return 256;
    default:
      return 0;
  }
}

unsigned short PaletteSize(char* lpbi) {
  const unsigned entry = IsWindowsHeader(lpbi) ? sizeof(RGBQUAD) : sizeof(RGBTRIPLE);
  return static_cast<unsigned short>(DIBNumColors(lpbi) * entry);
}

char* FindDIBBits(char* lpbi) {
  DWORD size;
  std::memcpy(&size, lpbi, sizeof size);
  return lpbi + size + PaletteSize(lpbi);
}

unsigned long DIBWidth(char* lpDIB) {
  // As a 32-bit value first, as on Windows, where unsigned long has 32 bits.
  if (IsWindowsHeader(lpDIB)) return static_cast<DWORD>(WindowsHeader(lpDIB).biWidth);
  return CoreHeader(lpDIB).bcWidth;
}

unsigned long DIBHeight(char* lpDIB) {
  if (IsWindowsHeader(lpDIB)) return static_cast<DWORD>(WindowsHeader(lpDIB).biHeight);
  return CoreHeader(lpDIB).bcHeight;
}
