// The GDI objects behind the stand-in's HDC, HBITMAP and HPALETTE handles, shared by the memory
// device contexts (gdi.cpp) and the printers (printer_api.cpp).
#ifndef LYRWIN_GDI_OBJECTS_H
#define LYRWIN_GDI_OBJECTS_H

#include "internal.h"
#include "pdf_printer.h"

#include <climits>
#include <memory>
#include <vector>

namespace lyrwin {

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

// A device context: a memory DC draws into the bitmap selected into it, a printer DC (with
// `printer` set) onto the pages of its printer's document.
struct DcObject final : KernelObject {
  std::shared_ptr<BitmapObject> bitmap = std::make_shared<BitmapObject>();  // the 1x1 default
  HGDIOBJ bitmapHandle = nullptr;
  std::shared_ptr<PaletteObject> palette;
  HPALETTE paletteHandle = nullptr;
  int stretchMode = BLACKONWHITE;
  COLORREF textColor = RGB(0, 0, 0);
  std::unique_ptr<PdfPrinter> printer;
};

HPALETTE DefaultPalette();
std::shared_ptr<DcObject> DcFromHandle(HDC hdc);
// A new device context with the stock palette and a 1x1 bitmap: a memory DC until a printer is
// given to it.
std::shared_ptr<DcObject> NewDc();

}  // namespace lyrwin

#endif  // LYRWIN_GDI_OBJECTS_H
