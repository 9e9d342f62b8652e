// Memory device contexts with the bitmaps selected into them, DIB sections, palettes, and the
// two calls that paint a DIB: SetDIBitsToDevice (1:1) and StretchDIBits (COLORONCOLOR: whole
// source pixels, nearest one, no blending; negative destination extents mirror). Drawing is
// clipped to the bitmap; the return values are those Microsoft documents. On a printer DC the
// pixels become an image on the page.
#include "dib_source.h"
#include "gdi_objects.h"
#include "internal.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace lyrwin {

// The stock palette every device context starts with: Windows' 20 static colours.
HPALETTE DefaultPalette() {
  static HPALETTE stock = [] {
    auto palette = std::make_shared<PaletteObject>();
    palette->entries = {
        {0, 0, 0, 0},       {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0},
        {0, 0, 128, 0},     {128, 0, 128, 0},   {0, 128, 128, 0},   {192, 192, 192, 0},
        {192, 220, 192, 0}, {166, 202, 240, 0}, {255, 251, 240, 0}, {160, 160, 164, 0},
        {128, 128, 128, 0}, {255, 0, 0, 0},     {0, 255, 0, 0},     {255, 255, 0, 0},
        {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0},   {255, 255, 255, 0}};
    return static_cast<HPALETTE>(InsertHandle(palette));
  }();
  return stock;
}

std::shared_ptr<BitmapObject> NewMonochromeBitmap(int width, int height) {
  auto bitmap = std::make_shared<BitmapObject>();
  bitmap->width = width;
  bitmap->height = height;
  bitmap->topDown = true;
  bitmap->bitCount = 1;
  bitmap->stride = ((static_cast<uint64_t>(width) + 31) / 32) * 4;
  bitmap->pixels.assign(static_cast<size_t>(bitmap->stride * static_cast<uint64_t>(height)), 0);
  bitmap->colors = {RGB(0, 0, 0), RGB(255, 255, 255)};
  return bitmap;
}

std::shared_ptr<DcObject> DcFromHandle(HDC hdc) {
  return LookupHandleAs<DcObject>(static_cast<HANDLE>(hdc));
}

std::shared_ptr<DcObject> NewDc() {
  auto dc = std::make_shared<DcObject>();
  dc->bitmap = NewMonochromeBitmap(1, 1);
  dc->bitmap->selectedInto = dc.get();
  dc->paletteHandle = DefaultPalette();
  dc->palette = LookupHandleAs<PaletteObject>(dc->paletteHandle);
  return dc;
}

namespace {

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
  return static_cast<HDC>(lyrwin::InsertHandle(lyrwin::NewDc()));
}

extern "C" BOOL WINAPI DeleteDC(HDC hdc) {
  auto dc = lyrwin::DcFromHandle(hdc);
  if (!dc) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  dc->bitmap->selectedInto = nullptr;  // free to be selected elsewhere
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
  bitmap->header = h;
  if (h.biCompression == BI_BITFIELDS) {
    // The masks follow a 40-byte header, or are part of a longer one.
    const auto* masks = reinterpret_cast<const unsigned char*>(pbmi) + 40;
    for (int i = 0; i < 3; ++i) std::memcpy(&bitmap->masks[i], masks + 4 * i, sizeof(DWORD));
  } else if (h.biBitCount == 16) {
    bitmap->masks[0] = 0x7C00;
    bitmap->masks[1] = 0x03E0;
    bitmap->masks[2] = 0x001F;
  }
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

extern "C" HBITMAP WINAPI CreateCompatibleBitmap(HDC hdc, int cx, int cy) {
  if (cx <= 0 || cy <= 0 ||
      static_cast<uint64_t>(cx) * static_cast<uint64_t>(cy) * 4 > lyrwin::kMaxBitmapBytes) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  // A memory DC that still has its 1x1 monochrome bitmap makes monochrome bitmaps, as Windows
  // documents; one with a colour bitmap selected, or the screen (no DC), makes colour ones.
  auto dc = lyrwin::DcFromHandle(hdc);
  if (dc && !dc->printer && dc->bitmapHandle == nullptr)
    return static_cast<HBITMAP>(lyrwin::InsertHandle(lyrwin::NewMonochromeBitmap(cx, cy)));
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
  if (!dc || !bitmap || dc->printer) return nullptr;  // a printer draws on paper, not a bitmap
  // A bitmap is selected into one DC at a time.
  if (bitmap->selectedInto != nullptr && bitmap->selectedInto != dc.get()) return nullptr;
  HGDIOBJ previous = dc->bitmapHandle;
  dc->bitmap->selectedInto = nullptr;
  dc->bitmap = bitmap;
  dc->bitmap->selectedInto = dc.get();
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
    // A DIB section tells its own format to a buffer large enough for a DIBSECTION.
    if (bitmap->dibSection && c >= static_cast<int>(sizeof(DIBSECTION))) {
      DIBSECTION* section = static_cast<DIBSECTION*>(pv);
      GetObjectA(h, sizeof(BITMAP), &section->dsBm);
      section->dsBmih = bitmap->header;
      section->dsBmih.biSizeImage = static_cast<DWORD>(bitmap->stride * bitmap->height);
      for (int i = 0; i < 3; ++i)
        section->dsBitfields[i] = bitmap->bitCount > 8 ? bitmap->masks[i] : 0;
      section->dshSection = nullptr;
      section->dsOffset = 0;
      return sizeof(DIBSECTION);
    }
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
  if (!dc || mode < BLACKONWHITE || mode > HALFTONE) {
    SetLastError(dc ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return 0;
  }
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
  if (dc->printer) return dc->printer->GetDeviceCaps(index);
  switch (index) {
    case TECHNOLOGY:
      return DT_RASDISPLAY;
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
      // What the stand-in's GDI does: SetDIBitsToDevice, StretchDIBits, bitmaps past 64 KB. No
      // BitBlt, no SetDIBits/GetDIBits, no palette device.
      return RC_DIBTODEV | RC_STRETCHDIB | RC_BITMAP64;
    default:
      return 0;
  }
}

namespace lyrwin {
namespace {

// The steps k in [0, count) that put `start + k` (or, mirrored, `start - 1 - k`) inside
// [0, limit). Painting walks only these, so its cost follows the visible area, not the extents
// a header or a caller claims.
struct Steps {
  long long begin;
  long long end;
};

Steps StepsInside(long long start, long long count, long long limit, bool mirrored = false) {
  const long long begin = mirrored ? start - limit : -start;
  const long long end = mirrored ? start : limit - start;
  return {std::max(0LL, begin), std::min(count, end)};
}

// Where SetDIBitsToDevice finds the rows of its band. Windows counts the source y and the band's
// first scan line from the bottom of the image for both kinds of DIB; a bottom-up band stores its
// lowest line first, a top-down band its highest. An RLE image is decoded whole, band or none.
// Row k of a destination rectangle `height` rows high shows the stored row `stored(k)`, which is
// a linear function of k: `origin + k` (top-down) or `origin - k` (bottom-up).
struct BandRows {
  long long origin;
  bool rising;      // stored rows follow the destination's downwards
  long long count;  // stored rows there are

  long long Stored(long long k) const { return rising ? origin + k : origin - k; }
  // The rows k in [0, height) whose stored row exists.
  Steps Present(long long height) const {
    const long long begin = rising ? -origin : origin - count + 1;
    const long long end = rising ? count - origin : origin + 1;
    return {std::max(0LL, begin), std::min(height, end)};
  }
};

BandRows RowsOfBand(const DibSource& source, long long ySrc, long long height, long long first,
                    long long lines, bool rle) {
  const long long top = ySrc + height - 1;  // the rectangle's top row, from the bottom
  if (rle) return {top, false, source.Height()};
  if (source.TopDown())
    return {first + lines - 1 - top, true, std::min<long long>(lines, source.Height())};
  return {top - first, false, lines};
}

// Copies the band's pixels 1:1 to `put(x, y, color)` for the destination points inside
// `clipWidth` x `clipHeight`.
template <class Put>
void CopyUnstretched(const DibSource& source, const BandRows& band, long long xDest,
                     long long yDest, int width, int height, long long xSrc, int clipWidth,
                     int clipHeight, Put put) {
  const Steps onDevice = StepsInside(yDest, height, clipHeight);
  const Steps present = band.Present(height);
  const Steps rows = {std::max(onDevice.begin, present.begin), std::min(onDevice.end, present.end)};
  const Steps columnsOnDevice = StepsInside(xDest, width, clipWidth);
  const Steps inSource = StepsInside(xSrc, width, source.Width());
  const Steps columns = {std::max(columnsOnDevice.begin, inSource.begin),
                         std::min(columnsOnDevice.end, inSource.end)};
  for (long long dy = rows.begin; dy < rows.end; ++dy) {
    const int stored = static_cast<int>(band.Stored(dy));
    for (long long dx = columns.begin; dx < columns.end; ++dx) {
      COLORREF color;
      if (source.StoredPixel(static_cast<int>(xSrc + dx), stored, &color))
        put(static_cast<int>(xDest + dx), static_cast<int>(yDest + dy), color);
    }
  }
}

// Stretches source pixels (COLORONCOLOR: whole ones, the nearest above and left) to
// `put(x, y, color)`; negative destination extents mirror.
template <class Put>
void CopyStretched(const DibSource& source, long long xDest, long long yDest, int DestWidth,
                   int DestHeight, long long xSrc, long long ySrc, int sw, int sh, int clipWidth,
                   int clipHeight, Put put) {
  const long long dw = DestWidth < 0 ? -static_cast<long long>(DestWidth) : DestWidth;
  const long long dh = DestHeight < 0 ? -static_cast<long long>(DestHeight) : DestHeight;
  const Steps rows = StepsInside(yDest, dh, clipHeight, DestHeight < 0);
  const Steps columns = StepsInside(xDest, dw, clipWidth, DestWidth < 0);
  for (long long j = rows.begin; j < rows.end; ++j) {
    const long long y = DestHeight > 0 ? yDest + j : yDest - 1 - j;
    const long long step = j * sh / dh;
    const long long row =
        source.TopDown() ? ySrc + step : source.Height() - 1 - (ySrc + sh - 1 - step);
    if (row < 0 || row >= source.Height()) continue;
    for (long long i = columns.begin; i < columns.end; ++i) {
      const long long x = DestWidth > 0 ? xDest + i : xDest - 1 - i;
      const long long sx = xSrc + i * sw / dw;
      if (sx < 0 || sx >= source.Width()) continue;
      COLORREF color;
      if (source.Pixel(static_cast<int>(sx), static_cast<int>(row), &color))
        put(static_cast<int>(x), static_cast<int>(y), color);
    }
  }
}

// The scan lines SetDIBitsToDevice reports, as Windows counts them: the band's lines (for a
// bottom-up image no more than the image holds above the first), less, for a bottom-up image,
// those above the source rectangle; none when the band starts past the image or lies wholly above
// the rectangle. A top-down band above the rectangle paints nothing but still reports its lines.
struct Band {
  int lines;
  bool paint;
};

Band BandPainted(const DibSource& source, long long ySrc, long long height, UINT first,
                 UINT count) {
  if (count == 0) return {0, false};
  // An RLE image is decoded whole whatever the band: all its lines are reported.
  if (source.Rle()) return {static_cast<int>(std::min<UINT>(count, INT32_MAX)), true};
  if (first >= static_cast<UINT>(source.Height())) return {0, false};
  long long lines = count;
  if (!source.TopDown()) lines = std::min<long long>(lines, source.Height() - first);
  const long long above = first + lines - (ySrc + height);
  if (above > 0) {
    if (above >= lines) return {source.TopDown() ? static_cast<int>(lines) : 0, false};
    if (!source.TopDown()) lines -= above;
  }
  return {static_cast<int>(std::min<long long>(lines, INT32_MAX)), true};
}

// The scan lines StretchDIBits reports, as Windows counts them: for a copy at one to one, the
// image's rows from its bottom up to the source rectangle's top; for a stretch, its height.
int LinesStretched(const DibSource& source, int DestWidth, int DestHeight, long long ySrc,
                   int SrcWidth, int SrcHeight) {
  if (DestWidth != SrcWidth || DestHeight != SrcHeight) return source.Height();
  return static_cast<int>(std::clamp<long long>(ySrc + SrcHeight, 0, source.Height()));
}

// An empty image (nothing painted) for a printer's page; false when it would be too large.
bool NewPageImage(long long width, long long height, PageImage* image) {
  constexpr long long kCairoLimit = 32767;
  if (width <= 0 || height <= 0 || width > kCairoLimit || height > kCairoLimit ||
      static_cast<uint64_t>(width * height) * 4 > kMaxBitmapBytes)
    return false;
  image->width = static_cast<int>(width);
  image->height = static_cast<int>(height);
  image->pixels.assign(static_cast<size_t>(width * height), 0);
  return true;
}

void PutOnImage(PageImage& image, int x, int y, COLORREF color) {
  image.pixels[static_cast<size_t>(y) * image.width + x] =
      0xFF000000u | GetRValue(color) << 16 | GetGValue(color) << 8 | GetBValue(color);
}

}  // namespace
}  // namespace lyrwin

extern "C" int WINAPI SetDIBitsToDevice(HDC hdc, int xDest, int yDest, DWORD w, DWORD h, int xSrc,
                                        int ySrc, UINT StartScan, UINT cLines, const void* lpvBits,
                                        const BITMAPINFO* lpbmi, UINT ColorUse) {
  auto dc = lyrwin::DcFromHandle(hdc);
  lyrwin::DibSource source;
  if (!dc || !source.Load(lpbmi, lpvBits, ColorUse, lyrwin::PaletteColors(*dc))) return 0;
  const int width = static_cast<int>(std::min<DWORD>(w, INT32_MAX));
  const int height = static_cast<int>(std::min<DWORD>(h, INT32_MAX));
  const lyrwin::Band band = lyrwin::BandPainted(source, ySrc, height, StartScan, cLines);
  if (!band.paint) return band.lines;
  const lyrwin::BandRows rows =
      lyrwin::RowsOfBand(source, ySrc, height, StartScan, band.lines, source.Rle());
  // The destination rectangle is offset onto the source as given and only then clipped to the
  // source and the device: a rectangle reaching past the picture paints the picture where it
  // falls, not shifted to the rectangle's corner.
  if (dc->printer) {
    // The part that shows the picture becomes one image on the page, one device unit a pixel.
    const lyrwin::Steps columns = lyrwin::StepsInside(xSrc, width, source.Width());
    const lyrwin::Steps present = rows.Present(height);
    if (columns.begin >= columns.end || present.begin >= present.end) return band.lines;
    lyrwin::PageImage image;
    if (!lyrwin::NewPageImage(columns.end - columns.begin, present.end - present.begin, &image))
      return 0;
    const lyrwin::BandRows shifted = {rows.Stored(present.begin), rows.rising, rows.count};
    lyrwin::CopyUnstretched(source, shifted, 0, 0, image.width, image.height, xSrc + columns.begin,
                            image.width, image.height,
                            [&](int x, int y, COLORREF c) { lyrwin::PutOnImage(image, x, y, c); });
    if (!dc->printer->Image(static_cast<int>(xDest + columns.begin),
                            static_cast<int>(yDest + present.begin), image.width, image.height,
                            image))
      return 0;
    return band.lines;
  }
  BitmapObject& target = *dc->bitmap;
  lyrwin::CopyUnstretched(source, rows, xDest, yDest, width, height, xSrc, target.width,
                          target.height, [&](int x, int y, COLORREF c) { target.Put(x, y, c); });
  return band.lines;
}

extern "C" int WINAPI StretchDIBits(HDC hdc, int xDest, int yDest, int DestWidth, int DestHeight,
                                    int xSrc, int ySrc, int SrcWidth, int SrcHeight,
                                    const void* lpBits, const BITMAPINFO* lpbmi, UINT iUsage,
                                    DWORD) {
  auto dc = lyrwin::DcFromHandle(hdc);
  lyrwin::DibSource source;
  if (!dc || !source.Load(lpbmi, lpBits, iUsage, lyrwin::PaletteColors(*dc))) return 0;
  // A source rectangle with a negative extent is refused; a destination's mirrors the picture.
  if (DestWidth == 0 || DestHeight == 0 || SrcWidth <= 0 || SrcHeight <= 0) return 0;
  const int lines =
      lyrwin::LinesStretched(source, DestWidth, DestHeight, ySrc, SrcWidth, SrcHeight);
  if (dc->printer) {
    // The source rectangle becomes one image of its own size, which the page scales: a PDF
    // reader sees the picture at its resolution, not a copy blown up to 600 dots per inch.
    lyrwin::PageImage image;
    if (!lyrwin::NewPageImage(SrcWidth, SrcHeight, &image)) return 0;
    lyrwin::CopyStretched(source, 0, 0, SrcWidth, SrcHeight, xSrc, ySrc, SrcWidth, SrcHeight,
                          image.width, image.height,
                          [&](int x, int y, COLORREF c) { lyrwin::PutOnImage(image, x, y, c); });
    if (!dc->printer->Image(xDest, yDest, DestWidth, DestHeight, image)) return 0;
    return lines;
  }
  BitmapObject& target = *dc->bitmap;
  lyrwin::CopyStretched(source, xDest, yDest, DestWidth, DestHeight, xSrc, ySrc, SrcWidth,
                        SrcHeight, target.width, target.height,
                        [&](int x, int y, COLORREF c) { target.Put(x, y, c); });
  return lines;
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
