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
  std::vector<COLORREF> colors;  // the colour table of a bitmap of 8 bits or fewer
  // Red, green and blue of a 16- or 32-bit pixel: 5-5-5 and 8-8-8 unless a DIB section's bit
  // fields say otherwise (5-6-5, or any other layout).
  uint32_t masks[3] = {0xFF0000, 0x00FF00, 0x0000FF};
  bool dibSection = false;
  BITMAPINFOHEADER header = {};        // a DIB section's, as made
  const void* selectedInto = nullptr;  // the DC it is selected into: one at a time

  uint32_t Pack(COLORREF color) const {
    const BYTE values[3] = {GetRValue(color), GetGValue(color), GetBValue(color)};
    uint32_t packed = 0;
    for (int i = 0; i < 3; ++i) {
      const Channel c = ChannelOf(masks[i]);
      if (c.width == 0) continue;
      const uint32_t v =
          c.width >= 8 ? uint32_t{values[i]} << (c.width - 8) : values[i] >> (8 - c.width);
      packed |= (v << c.shift) & masks[i];
    }
    return packed;
  }

  COLORREF Unpack(uint32_t packed) const {
    BYTE values[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i) {
      const Channel c = ChannelOf(masks[i]);
      if (c.width == 0) continue;
      const uint32_t v = (packed & masks[i]) >> c.shift;
      values[i] = WidenChannel(v, c.width);
    }
    return RGB(values[0], values[1], values[2]);
  }

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
      case 32: {
        const uint32_t value = Pack(color);
        p += 4 * x;
        p[0] = static_cast<unsigned char>(value);
        p[1] = static_cast<unsigned char>(value >> 8);
        p[2] = static_cast<unsigned char>(value >> 16);
        p[3] = static_cast<unsigned char>(value >> 24);
        break;
      }
      case 24:
        p += 3 * x;
        p[0] = GetBValue(color);
        p[1] = GetGValue(color);
        p[2] = GetRValue(color);
        break;
      case 16: {
        const uint32_t value = Pack(color);
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
        return Unpack(p[4 * x] | p[4 * x + 1] << 8 | p[4 * x + 2] << 16 |
                      static_cast<uint32_t>(p[4 * x + 3]) << 24);
      case 24:
        return RGB(p[3 * x + 2], p[3 * x + 1], p[3 * x]);
      case 16:
        return Unpack(p[2 * x] | p[2 * x + 1] << 8);
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
// A bitmap of one bit a pixel, black and white: what a memory DC starts with (1 x 1) and what
// CreateCompatibleBitmap makes for such a DC.
std::shared_ptr<BitmapObject> NewMonochromeBitmap(int width, int height);

struct DcObject final : KernelObject {
  std::shared_ptr<BitmapObject> bitmap;  // the 1x1 monochrome default until one is selected
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
