// Memory device contexts with the bitmaps selected into them, DIB sections, palettes, and the
// two calls that paint a DIB: SetDIBitsToDevice (1:1) and StretchDIBits (COLORONCOLOR: whole
// source pixels, nearest one, no blending; negative destination extents mirror). Drawing is
// clipped to the bitmap; the return values are those Microsoft documents.
#include "dib_source.h"
#include "internal.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace lyrwin {
namespace {

constexpr uint64_t kMaxBitmapBytes = uint64_t(1) << 30;

struct BitmapObject final : KernelObject {
  int width = 1;
  int height = 1;
  bool topDown = false;
  int bitCount = 32;
  uint64_t stride = 4;
  std::vector<unsigned char> pixels = std::vector<unsigned char>(4, 0);
  std::vector<COLORREF> colors;  // the colour table of a DIB section of 8 bits or fewer
  bool dibSection = false;

  unsigned char* Row(int y) {  // y from the top
    const int line = topDown ? y : height - 1 - y;
    return pixels.data() + static_cast<uint64_t>(line) * stride;
  }

  size_t Nearest(COLORREF color) const {
    size_t best = 0;
    long bestDistance = LONG_MAX;
    for (size_t i = 0; i < colors.size(); ++i) {
      const long dr = GetRValue(colors[i]) - GetRValue(color);
      const long dg = GetGValue(colors[i]) - GetGValue(color);
      const long db = GetBValue(colors[i]) - GetBValue(color);
      const long distance = dr * dr + dg * dg + db * db;
      if (distance < bestDistance) {
        best = i;
        bestDistance = distance;
      }
    }
    return best;
  }

  bool Put(int x, int y, COLORREF color) {
    if (x < 0 || y < 0 || x >= width || y >= height) return false;
    unsigned char* p = Row(y);
    switch (bitCount) {
      case 32:
        p += 4 * x;
        p[0] = GetBValue(color);
        p[1] = GetGValue(color);
        p[2] = GetRValue(color);
        p[3] = 0;
        break;
      case 24:
        p += 3 * x;
        p[0] = GetBValue(color);
        p[1] = GetGValue(color);
        p[2] = GetRValue(color);
        break;
      case 16: {
        const unsigned value =
            (GetRValue(color) >> 3) << 10 | (GetGValue(color) >> 3) << 5 | (GetBValue(color) >> 3);
        p[2 * x] = static_cast<unsigned char>(value);
        p[2 * x + 1] = static_cast<unsigned char>(value >> 8);
        break;
      }
      default: {
        const unsigned index = static_cast<unsigned>(Nearest(color));
        const int perByte = 8 / bitCount;
        unsigned char& byte = p[x / perByte];
        const int shift = (perByte - 1 - x % perByte) * bitCount;
        const unsigned mask = ((1u << bitCount) - 1) << shift;
        byte = static_cast<unsigned char>((byte & ~mask) | ((index << shift) & mask));
      }
    }
    return true;
  }

  COLORREF Get(int x, int y) {
    if (x < 0 || y < 0 || x >= width || y >= height) return CLR_INVALID;
    unsigned char* p = Row(y);
    switch (bitCount) {
      case 32:
        return RGB(p[4 * x + 2], p[4 * x + 1], p[4 * x]);
      case 24:
        return RGB(p[3 * x + 2], p[3 * x + 1], p[3 * x]);
      case 16: {
        const unsigned value = p[2 * x] | p[2 * x + 1] << 8;
        return RGB(((value >> 10) & 31) << 3, ((value >> 5) & 31) << 3, (value & 31) << 3);
      }
      default: {
        const int perByte = 8 / bitCount;
        const unsigned index =
            (p[x / perByte] >> ((perByte - 1 - x % perByte) * bitCount)) & ((1u << bitCount) - 1);
        return index < colors.size() ? colors[index] : RGB(0, 0, 0);
      }
    }
  }
};

struct PaletteObject final : KernelObject {
  std::vector<PALETTEENTRY> entries;
};

struct DcObject final : KernelObject {
  std::shared_ptr<BitmapObject> bitmap = std::make_shared<BitmapObject>();  // the 1x1 default
  HGDIOBJ bitmapHandle = nullptr;
  std::shared_ptr<PaletteObject> palette;
  HPALETTE paletteHandle = nullptr;
  int stretchMode = BLACKONWHITE;
};

// The stock palette every device context starts with: black and white.
HPALETTE DefaultPalette() {
  static HPALETTE stock = [] {
    auto palette = std::make_shared<PaletteObject>();
    palette->entries = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    return static_cast<HPALETTE>(InsertHandle(palette));
  }();
  return stock;
}

std::shared_ptr<DcObject> DcFromHandle(HDC hdc) {
  return LookupHandleAs<DcObject>(static_cast<HANDLE>(hdc));
}

std::vector<COLORREF> PaletteColors(const DcObject& dc) {
  std::vector<COLORREF> colors;
  if (dc.palette)
    for (const PALETTEENTRY& e : dc.palette->entries)
      colors.push_back(RGB(e.peRed, e.peGreen, e.peBlue));
  return colors;
}

}  // namespace
}  // namespace lyrwin

using lyrwin::BitmapObject;
using lyrwin::DcObject;
using lyrwin::PaletteObject;

extern "C" HDC WINAPI CreateCompatibleDC(HDC) {
  auto dc = std::make_shared<DcObject>();
  dc->paletteHandle = lyrwin::DefaultPalette();
  dc->palette = lyrwin::LookupHandleAs<PaletteObject>(dc->paletteHandle);
  return static_cast<HDC>(lyrwin::InsertHandle(dc));
}

extern "C" BOOL WINAPI DeleteDC(HDC hdc) {
  if (!lyrwin::DcFromHandle(hdc)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  lyrwin::RemoveHandle(hdc);
  return TRUE;
}

extern "C" HBITMAP WINAPI CreateDIBSection(HDC, const BITMAPINFO* pbmi, UINT usage, void** ppvBits,
                                           HANDLE, DWORD) {
  if (ppvBits != nullptr) *ppvBits = nullptr;
  lyrwin::DibSource layout;
  static char noBits;  // the layout is read from the header alone
  if (pbmi == nullptr || !layout.Load(pbmi, &noBits, usage, {})) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const BITMAPINFOHEADER& h = pbmi->bmiHeader;
  if (h.biSize < sizeof(BITMAPINFOHEADER) ||
      (h.biCompression != BI_RGB && h.biCompression != BI_BITFIELDS)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto bitmap = std::make_shared<BitmapObject>();
  bitmap->width = layout.Width();
  bitmap->height = layout.Height();
  bitmap->topDown = layout.TopDown();
  bitmap->bitCount = h.biBitCount;
  bitmap->stride = ((static_cast<uint64_t>(bitmap->width) * h.biBitCount + 31) / 32) * 4;
  const uint64_t bytes = bitmap->stride * static_cast<uint64_t>(bitmap->height);
  if (bytes > lyrwin::kMaxBitmapBytes) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  bitmap->pixels.assign(static_cast<size_t>(bytes), 0);
  bitmap->dibSection = true;
  if (h.biBitCount <= 8) {
    const size_t count =
        h.biClrUsed != 0 ? std::min<size_t>(h.biClrUsed, 1u << h.biBitCount) : (1u << h.biBitCount);
    for (size_t i = 0; i < count; ++i) {
      const RGBQUAD& q = pbmi->bmiColors[i];
      bitmap->colors.push_back(RGB(q.rgbRed, q.rgbGreen, q.rgbBlue));
    }
  }
  if (ppvBits != nullptr) *ppvBits = bitmap->pixels.data();
  return static_cast<HBITMAP>(lyrwin::InsertHandle(bitmap));
}

extern "C" HBITMAP WINAPI CreateCompatibleBitmap(HDC, int cx, int cy) {
  if (cx <= 0 || cy <= 0 ||
      static_cast<uint64_t>(cx) * static_cast<uint64_t>(cy) * 4 > lyrwin::kMaxBitmapBytes) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto bitmap = std::make_shared<BitmapObject>();
  bitmap->width = cx;
  bitmap->height = cy;
  bitmap->topDown = true;
  bitmap->stride = static_cast<uint64_t>(cx) * 4;
  bitmap->pixels.assign(static_cast<size_t>(bitmap->stride * static_cast<uint64_t>(cy)), 0);
  return static_cast<HBITMAP>(lyrwin::InsertHandle(bitmap));
}

extern "C" HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h) {
  auto dc = lyrwin::DcFromHandle(hdc);
  auto bitmap = lyrwin::LookupHandleAs<BitmapObject>(h);
  if (!dc || !bitmap) return nullptr;
  HGDIOBJ previous = dc->bitmapHandle;
  dc->bitmap = bitmap;
  dc->bitmapHandle = h;
  return previous != nullptr ? previous : h;
}

extern "C" BOOL WINAPI DeleteObject(HGDIOBJ ho) {
  if (ho == lyrwin::DefaultPalette()) return TRUE;  // stock objects are never deleted
  auto object = lyrwin::LookupHandle(ho);
  if (!std::dynamic_pointer_cast<BitmapObject>(object) &&
      !std::dynamic_pointer_cast<PaletteObject>(object))
    return FALSE;
  lyrwin::RemoveHandle(ho);
  return TRUE;
}

extern "C" int WINAPI GetObjectA(HANDLE h, int c, LPVOID pv) {
  if (auto bitmap = lyrwin::LookupHandleAs<BitmapObject>(h)) {
    if (pv == nullptr) return sizeof(BITMAP);
    if (c < static_cast<int>(sizeof(BITMAP))) return 0;
    BITMAP* out = static_cast<BITMAP*>(pv);
    out->bmType = 0;
    out->bmWidth = bitmap->width;
    out->bmHeight = bitmap->height;
    out->bmWidthBytes = static_cast<LONG>(bitmap->stride);
    out->bmPlanes = 1;
    out->bmBitsPixel = static_cast<WORD>(bitmap->bitCount);
    out->bmBits = bitmap->dibSection ? bitmap->pixels.data() : nullptr;
    return sizeof(BITMAP);
  }
  if (auto palette = lyrwin::LookupHandleAs<PaletteObject>(h)) {
    if (pv == nullptr) return sizeof(WORD);
    if (c < static_cast<int>(sizeof(WORD))) return 0;
    *static_cast<WORD*>(pv) = static_cast<WORD>(palette->entries.size());
    return sizeof(WORD);
  }
  return 0;
}

extern "C" COLORREF WINAPI GetPixel(HDC hdc, int x, int y) {
  auto dc = lyrwin::DcFromHandle(hdc);
  return dc ? dc->bitmap->Get(x, y) : CLR_INVALID;
}

extern "C" COLORREF WINAPI SetPixel(HDC hdc, int x, int y, COLORREF color) {
  auto dc = lyrwin::DcFromHandle(hdc);
  if (!dc || !dc->bitmap->Put(x, y, color)) return static_cast<COLORREF>(-1);
  return dc->bitmap->Get(x, y);
}

extern "C" int WINAPI SetStretchBltMode(HDC hdc, int mode) {
  auto dc = lyrwin::DcFromHandle(hdc);
  if (!dc || mode < BLACKONWHITE || mode > HALFTONE) return 0;
  const int previous = dc->stretchMode;
  dc->stretchMode = mode;
  return previous;
}

extern "C" int WINAPI GetStretchBltMode(HDC hdc) {
  auto dc = lyrwin::DcFromHandle(hdc);
  return dc ? dc->stretchMode : 0;
}

extern "C" int WINAPI GetDeviceCaps(HDC hdc, int index) {
  auto dc = lyrwin::DcFromHandle(hdc);
  if (!dc) return 0;
  switch (index) {
    case HORZRES:
      return dc->bitmap->width;
    case VERTRES:
      return dc->bitmap->height;
    case BITSPIXEL:
      return 32;
    case LOGPIXELSX:
    case LOGPIXELSY:
      return 96;
    case RASTERCAPS:
      return RC_STRETCHDIB | RC_DI_BITMAP;
    default:
      return 0;
  }
}

extern "C" int WINAPI SetDIBitsToDevice(HDC hdc, int xDest, int yDest, DWORD w, DWORD h, int xSrc,
                                        int ySrc, UINT StartScan, UINT cLines, const void* lpvBits,
                                        const BITMAPINFO* lpbmi, UINT ColorUse) {
  auto dc = lyrwin::DcFromHandle(hdc);
  lyrwin::DibSource source;
  if (!dc || !source.Load(lpbmi, lpvBits, ColorUse, lyrwin::PaletteColors(*dc))) return 0;
  source.SetBand(static_cast<int>(std::min<UINT>(StartScan, INT32_MAX)),
                 static_cast<int>(std::min<UINT>(cLines, INT32_MAX)));
  const int width = static_cast<int>(std::min<DWORD>(w, static_cast<DWORD>(source.Width())));
  const int height = static_cast<int>(std::min<DWORD>(h, static_cast<DWORD>(source.Height())));
  BitmapObject& target = *dc->bitmap;
  for (int dy = 0; dy < height; ++dy) {
    const int y = yDest + dy;
    if (y < 0 || y >= target.height) continue;
    // Source y counts from the bottom of a bottom-up image, from the top of a top-down one.
    const long long row = source.TopDown() ? static_cast<long long>(ySrc) + dy
                                           : static_cast<long long>(source.Height()) - 1 -
                                                 (static_cast<long long>(ySrc) + height - 1 - dy);
    if (row < 0 || row >= source.Height()) continue;
    for (int dx = 0; dx < width; ++dx) {
      const int x = xDest + dx;
      const long long sx = static_cast<long long>(xSrc) + dx;
      if (x < 0 || x >= target.width || sx < 0 || sx >= source.Width()) continue;
      COLORREF color;
      if (source.Pixel(static_cast<int>(sx), static_cast<int>(row), &color))
        target.Put(x, y, color);
    }
  }
  return static_cast<int>(cLines);
}

extern "C" int WINAPI StretchDIBits(HDC hdc, int xDest, int yDest, int DestWidth, int DestHeight,
                                    int xSrc, int ySrc, int SrcWidth, int SrcHeight,
                                    const void* lpBits, const BITMAPINFO* lpbmi, UINT iUsage,
                                    DWORD) {
  auto dc = lyrwin::DcFromHandle(hdc);
  lyrwin::DibSource source;
  if (!dc || !source.Load(lpbmi, lpBits, iUsage, lyrwin::PaletteColors(*dc))) return 0;
  if (DestWidth == 0 || DestHeight == 0 || SrcWidth == 0 || SrcHeight == 0) return 0;
  BitmapObject& target = *dc->bitmap;
  const long long dw = DestWidth < 0 ? -static_cast<long long>(DestWidth) : DestWidth;
  const long long dh = DestHeight < 0 ? -static_cast<long long>(DestHeight) : DestHeight;
  const long long sw = SrcWidth < 0 ? -static_cast<long long>(SrcWidth) : SrcWidth;
  const long long sh = SrcHeight < 0 ? -static_cast<long long>(SrcHeight) : SrcHeight;
  for (long long j = 0; j < dh; ++j) {
    const long long y = DestHeight > 0 ? yDest + j : yDest - 1 - j;
    if (y < 0 || y >= target.height) continue;
    const long long step = j * sh / dh;  // whole source pixels: the nearest one above and left
    const long long row =
        source.TopDown() ? ySrc + step : source.Height() - 1 - (ySrc + sh - 1 - step);
    if (row < 0 || row >= source.Height()) continue;
    for (long long i = 0; i < dw; ++i) {
      const long long x = DestWidth > 0 ? xDest + i : xDest - 1 - i;
      const long long sx = xSrc + i * sw / dw;
      if (x < 0 || x >= target.width || sx < 0 || sx >= source.Width()) continue;
      COLORREF color;
      if (source.Pixel(static_cast<int>(sx), static_cast<int>(row), &color))
        target.Put(static_cast<int>(x), static_cast<int>(y), color);
    }
  }
  return static_cast<int>(sh);
}

extern "C" HPALETTE WINAPI CreatePalette(const LOGPALETTE* plpal) {
  if (plpal == nullptr || plpal->palVersion != 0x300 || plpal->palNumEntries == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto palette = std::make_shared<PaletteObject>();
  palette->entries.assign(plpal->palPalEntry, plpal->palPalEntry + plpal->palNumEntries);
  return static_cast<HPALETTE>(lyrwin::InsertHandle(palette));
}

extern "C" HPALETTE WINAPI SelectPalette(HDC hdc, HPALETTE hPal, BOOL) {
  auto dc = lyrwin::DcFromHandle(hdc);
  auto palette = lyrwin::LookupHandleAs<PaletteObject>(hPal);
  if (!dc || !palette) return nullptr;
  HPALETTE previous = dc->paletteHandle;
  dc->palette = palette;
  dc->paletteHandle = hPal;
  return previous;
}

extern "C" UINT WINAPI RealizePalette(HDC hdc) {
  auto dc = lyrwin::DcFromHandle(hdc);
  return dc && dc->palette ? static_cast<UINT>(dc->palette->entries.size()) : GDI_ERROR;
}

extern "C" UINT WINAPI GetPaletteEntries(HPALETTE hpal, UINT iStart, UINT cEntries,
                                         PALETTEENTRY* pPalEntries) {
  auto palette = lyrwin::LookupHandleAs<PaletteObject>(hpal);
  if (!palette) return 0;
  const UINT size = static_cast<UINT>(palette->entries.size());
  if (pPalEntries == nullptr) return size;
  if (iStart >= size) return 0;
  const UINT count = std::min(cEntries, size - iStart);
  std::copy(palette->entries.begin() + iStart, palette->entries.begin() + iStart + count,
            pPalEntries);
  return count;
}
