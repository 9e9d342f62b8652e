// The accessors on a packed DIB's header: a 40-byte Windows header, or any other size read as
// the OS/2 core header (12 bytes, 3-byte colour entries).
//
// A header is read no further than the global block that holds it: a block shorter than the
// header its size field promises (a hand-made or damaged DIB) reads as if the missing bytes were
// zeros. A pointer that is not the start of a global block is taken at the header's word.
#include <LyrUtil.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

// The bytes the block starting at `lpbi` holds; SIZE_MAX when no global block starts there.
SIZE_T BytesHeld(const char* lpbi) {
  const DWORD lastError = GetLastError();  // an accessor leaves the caller's last error alone
  HGLOBAL block = GlobalHandle(lpbi);
  const SIZE_T size = block != nullptr ? GlobalSize(block) : SIZE_MAX;
  SetLastError(lastError);
  return size;
}

template <class Header>
Header ReadHeader(const char* lpbi) {
  Header header = {};
  std::memcpy(&header, lpbi, std::min<SIZE_T>(sizeof header, BytesHeld(lpbi)));
  return header;
}

DWORD HeaderSize(const char* lpbi) {
  return ReadHeader<DWORD>(lpbi);
}

bool IsWindowsHeader(const char* lpbi) {
  return HeaderSize(lpbi) == sizeof(BITMAPINFOHEADER);
}

BITMAPINFOHEADER WindowsHeader(const char* lpbi) {
  return ReadHeader<BITMAPINFOHEADER>(lpbi);
}

BITMAPCOREHEADER CoreHeader(const char* lpbi) {
  return ReadHeader<BITMAPCOREHEADER>(lpbi);
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
  return lpbi + HeaderSize(lpbi) + PaletteSize(lpbi);
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
