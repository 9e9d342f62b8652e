// GDI as Windows paints: which rows of a band SetDIBitsToDevice paints and how many scan lines it
// reports, what StretchDIBits reports and refuses, colour tables shorter than their indices, and
// what a device context says it can do. The expected pixels and counts are Windows' own answers
// to the same calls, so the suite holds on Windows as on the stand-in.
#include "lyr_test.h"

#include <algorithm>
#include <array>
#include <vector>

namespace {

constexpr DWORD kUntouched = 0xAAAAAAAA;

// An 8x8 32-bit bottom-up DIB section selected into a memory DC, filled with kUntouched.
struct Surface {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP section = nullptr;
  DWORD* bits = nullptr;

  Surface() {
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 8, 8, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* memory = nullptr;
    section = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &memory, nullptr, 0);
    bits = static_cast<DWORD*>(memory);
    SelectObject(dc, section);
    Clear();
  }
  ~Surface() {
    DeleteDC(dc);
    DeleteObject(section);
  }
  void Clear() { std::fill(bits, bits + 64, kUntouched); }
};

// Surface pixels [first, last] that must hold source value `i + shift`.
struct Span {
  int first;
  int last;
  int shift;
};

struct BandCase {
  LONG sourceHeight;  // negative: top-down
  int x, y;
  DWORD width, height;
  int xSrc, ySrc;
  UINT start, lines;
  int reported;
  std::vector<Span> painted;
};

}  // namespace

// Source pixel i holds the value i, 8 to a row. For a top-down source the surface (bottom-up)
// shows the rows the other way up, so its pixels are compared with the source turned over.
TEST(GdiTest, SetDIBitsToDevicePaintsAndReportsTheBandAsWindowsDoes) {
  std::array<DWORD, 128> data;
  std::array<DWORD, 128> turned;
  for (int i = 0; i < 128; ++i) {
    data[i] = static_cast<DWORD>(i);
    turned[120 - (i & ~7) + (i & 7)] = static_cast<DWORD>(i);
  }
  const std::vector<BandCase> cases = {
      // Bottom-up sources: the band starts at its first scan line from the bottom; rows of the
      // band above the source rectangle are not counted.
      {8, 0, 0, 8, 8, 0, 0, 0, 8, 8, {{0, 63, 0}}},
      {8, 0, 0, 8, 8, 0, 0, 1, 5, 5, {{8, 47, -8}}},
      {8, 0, 0, 8, 8, 0, 3, 1, 5, 5, {{0, 23, 16}}},
      {16, 0, 0, 8, 8, 0, 0, 1, 12, 7, {{8, 63, -8}}},
      {16, 0, 2, 8, 8, 0, 6, 1, 12, 12, {{0, 39, 56}}},
      {16, 0, -4, 8, 8, 0, 3, 1, 12, 10, {{32, 63, -16}}},
      {16, 0, 4, 8, 8, 0, -3, 1, 12, 4, {{0, 31, 0}}},
      {16, 0, 2, 8, 5, 0, -2, 1, 12, 2, {{32, 47, -32}}},
      {5, 0, 0, 8, 8, 0, 0, 2, 2, 2, {{16, 31, -16}}},
      {5, 3, 3, 2, 2, 1, 2, 1, 5, 3, {{27, 28, -18}, {35, 36, -18}}},
      {5, 0, 0, 16, 16, 0, 0, 0, 5, 5, {}},
      {5, 0, 2, 8, 4, 0, -1, 3, 12, 0, {}},
      // Top-down sources: the same coordinates from the bottom, the band's highest line stored
      // first; a band wholly above the rectangle paints nothing but reports its lines.
      {-8, 0, 0, 8, 8, 0, 0, 0, 8, 8, {{0, 63, 64}}},
      {-8, 0, 0, 8, 8, 0, 0, 1, 5, 5, {{8, 47, 80}}},
      {-16, 0, 0, 8, 8, 0, 0, 1, 12, 12, {{8, 63, 24}}},
      {-16, 0, 2, 8, 4, 0, -1, 3, 12, 12, {}},
      {-5, 5, 4, 2, 2, 6, 3, 1, 5, 5, {{21, 22, 89}, {29, 30, 89}}},
      {-5, 0, 0, 16, 16, 0, 0, 0, 5, 5, {}},
  };
  Surface surface;
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), 8, 0, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  for (const BandCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "height " << c.sourceHeight << ", at " << c.x << "," << c.y
                                    << " " << c.width << "x" << c.height << " from " << c.xSrc
                                    << "," << c.ySrc << ", lines " << c.start << "+" << c.lines);
    info.bmiHeader.biHeight = c.sourceHeight;
    surface.Clear();
    EXPECT_EQ(SetDIBitsToDevice(surface.dc, c.x, c.y, c.width, c.height, c.xSrc, c.ySrc, c.start,
                                c.lines, data.data(), &info, DIB_RGB_COLORS),
              c.reported);
    const std::array<DWORD, 128>& seen = c.sourceHeight < 0 ? turned : data;
    for (int i = 0; i < 64; ++i) {
      DWORD expected = kUntouched;
      for (const Span& span : c.painted)
        if (i >= span.first && i <= span.last) expected = seen[i + span.shift];
      EXPECT_EQ(surface.bits[i], expected) << "pixel " << i;
    }
  }
}

// StretchDIBits refuses a source rectangle whose extents are both negative, and reports the
// image's scan lines (at one to one, those up to the source rectangle's top).
TEST(GdiTest, StretchDIBitsReportsScanLinesAndRefusesNegativeSources) {
  const DWORD source[4] = {0xCAFED00D, 0xFEEDFACE, 0xFEDCBA98, 0x76543210};
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), 2, -2, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  Surface surface;
  auto stretch = [&](int x, int y, int w, int h, int xs, int ys, int ws, int hs) {
    surface.Clear();
    return StretchDIBits(surface.dc, x, y, w, h, xs, ys, ws, hs, source, &info, DIB_RGB_COLORS,
                         SRCCOPY);
  };
  EXPECT_EQ(stretch(0, 0, 2, 2, 0, 0, 2, 2), 2);
  if (!RunningUnderWine()) {  // Wine reports the image's 2 lines here (a todo in its own tests)
    EXPECT_EQ(stretch(0, 0, 1, 1, 0, 0, 1, 1), 1);
  }
  EXPECT_EQ(stretch(0, 0, 4, 4, 0, 0, 2, 2), 2);
  EXPECT_EQ(stretch(-4, -4, 4, 4, 0, 0, 4, 4), 2);  // nothing visible, still the image's lines
  // Both source extents negative: refused, nothing painted.
  EXPECT_EQ(stretch(0, 0, 8, 8, 1, 1, -2, -2), 0);
  EXPECT_EQ(std::count(surface.bits, surface.bits + 64, kUntouched), 64);
}

// Colour indices past the entries the header says it uses are black; DIB_PAL_COLORS indices past
// the end of the selected palette wrap round it.
TEST(GdiTest, ShortColourTablesAndPalettesAreReadAsWindowsReadsThem) {
  struct {
    BITMAPINFOHEADER header;
    WORD table[256];
  } dib = {{sizeof(BITMAPINFOHEADER), 4, -1, 1, 8, BI_RGB, 0, 0, 0, 3, 0}, {}};
  // As DIB_RGB_COLORS the first entries are RGBQUADs: 3 of them used.
  auto* quads = reinterpret_cast<RGBQUAD*>(dib.table);
  quads[0] = {10, 20, 30, 0};
  quads[1] = {40, 50, 60, 0};
  quads[2] = {70, 80, 90, 0};
  quads[3] = {1, 1, 1, 0};  // beyond biClrUsed
  const BYTE indices[4] = {0, 2, 3, 200};
  Surface surface;
  auto* info = reinterpret_cast<BITMAPINFO*>(&dib);
  ASSERT_EQ(SetDIBitsToDevice(surface.dc, 0, 0, 4, 1, 0, 0, 0, 1, indices, info, DIB_RGB_COLORS),
            1);
  EXPECT_EQ(surface.bits[56], 0x001E140Au);
  EXPECT_EQ(surface.bits[57], 0x005A5046u);
  EXPECT_EQ(surface.bits[58], 0u);
  EXPECT_EQ(surface.bits[59], 0u);

  // As DIB_PAL_COLORS the entries are indices into a palette of 3 colours.
  PALETTEENTRY entries[3] = {{200, 0, 0, 0}, {0, 200, 0, 0}, {0, 0, 200, 0}};
  std::vector<BYTE> logical(sizeof(LOGPALETTE) + sizeof entries);
  auto* palette = reinterpret_cast<LOGPALETTE*>(logical.data());
  palette->palVersion = 0x300;
  palette->palNumEntries = 3;
  std::copy(entries, entries + 3, palette->palPalEntry);
  HPALETTE made = CreatePalette(palette);
  HPALETTE previous = SelectPalette(surface.dc, made, FALSE);
  dib.header.biClrUsed = 0;
  const WORD references[4] = {2, 4, 9, 1};  // 4 wraps to entry 1, 9 to entry 0
  std::copy(references, references + 4, dib.table);
  const BYTE first4[4] = {0, 1, 2, 3};
  ASSERT_EQ(SetDIBitsToDevice(surface.dc, 0, 0, 4, 1, 0, 0, 0, 1, first4, info, DIB_PAL_COLORS), 1);
  EXPECT_EQ(surface.bits[56], 0x000000C8u);  // blue
  EXPECT_EQ(surface.bits[57], 0x0000C800u);  // green
  EXPECT_EQ(surface.bits[58], 0x00C80000u);  // red
  EXPECT_EQ(surface.bits[59], 0x0000C800u);  // green
  SelectPalette(surface.dc, previous, FALSE);
  DeleteObject(made);
}

// A device context reports the raster operations it performs: both DIB copies on every DC, and
// on the stand-in nothing it cannot do.
TEST(GdiTest, DeviceContextsSayWhatTheyCanDo) {
  HDC dc = CreateCompatibleDC(nullptr);
  const int caps = GetDeviceCaps(dc, RASTERCAPS);
  EXPECT_NE(caps & RC_DIBTODEV, 0);
  EXPECT_NE(caps & RC_STRETCHDIB, 0);
#ifndef _WIN32
  EXPECT_EQ(caps & (RC_DI_BITMAP | RC_PALETTE), 0);  // no SetDIBits/GetDIBits, no palette device
#endif
  DeleteDC(dc);
}
