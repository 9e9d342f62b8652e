// Device-independent bitmaps: the header accessors, BMP files written and read back, painting,
// and pixels checked against independent decoders (netpbm and ImageMagick) for files of every
// kind those tools write.
#include "lyr_test.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Rgb {
  unsigned char r, g, b;
  bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

struct Image {
  int width = 0;
  int height = 0;
  std::vector<Rgb> pixels;
};

// A packed DIB in a movable block: the header, `colors` table entries, then `rowBytes` × height.
HDIB MakeDib(int width, int height, WORD bitCount, DWORD clrUsed, DWORD compression = BI_RGB) {
  const DWORD colors = clrUsed != 0 ? clrUsed : (bitCount <= 8 ? 1u << bitCount : 0);
  const DWORD stride = ((bitCount * static_cast<DWORD>(width) + 31) / 32) * 4;
  HGLOBAL block =
      GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT,
                  sizeof(BITMAPINFOHEADER) + colors * 4 + stride * static_cast<DWORD>(height));
  auto* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(block));
  header->biSize = sizeof(BITMAPINFOHEADER);
  header->biWidth = width;
  header->biHeight = height;
  header->biPlanes = 1;
  header->biBitCount = bitCount;
  header->biCompression = compression;
  header->biClrUsed = clrUsed;
  GlobalUnlock(block);
  return reinterpret_cast<HDIB>(block);
}

// Saves `dib` as a BMP file at `dosPath`: what SaveDIB returns.
int SaveTo(HDIB dib, const char* dosPath) {
  CFile out(dosPath, CFile::modeCreate | CFile::modeWrite);
  return SaveDIB(dib, out);
}

// A 32-bit top-down DIB section selected into a new memory DC.
HDC SurfaceDc(int width, int height) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  SelectObject(dc, CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  return dc;
}

#if LYR_POSIX_TESTS  // netpbm and ImageMagick decode the same files
// Paints the DIB 1:1 into a 32-bit surface: through PaintDIB for the headers the library reads
// (40 and 12 bytes), and straight through SetDIBitsToDevice for the later Windows headers (the
// library reads those as core headers), with the rows at `bitsOffset` from the header.
Image Painted(HDIB dib, DWORD bitsOffset) {
  char* lpbi = static_cast<char*>(GlobalLock(dib));
  Image image;
  const DWORD headerSize = *reinterpret_cast<DWORD*>(lpbi);
  const bool later = headerSize != 40 && headerSize != 12;
  const auto* info = reinterpret_cast<BITMAPINFO*>(lpbi);
  image.width = later ? info->bmiHeader.biWidth : static_cast<int>(DIBWidth(lpbi));
  image.height = later ? info->bmiHeader.biHeight : static_cast<int>(DIBHeight(lpbi));
  HDC dc = SurfaceDc(image.width, image.height);
  RECT rect = {0, 0, image.width, image.height};
  if (later) {
    EXPECT_EQ(SetDIBitsToDevice(
                  dc, 0, 0, static_cast<DWORD>(image.width), static_cast<DWORD>(image.height), 0, 0,
                  0, static_cast<UINT>(image.height), lpbi + bitsOffset, info, DIB_RGB_COLORS),
              image.height);
  } else {
    EXPECT_EQ(PaintDIB(dc, &rect, dib, &rect, nullptr), image.height);
  }
  GlobalUnlock(dib);
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      COLORREF c = GetPixel(dc, x, y);
      image.pixels.push_back({GetRValue(c), GetGValue(c), GetBValue(c)});
    }
  }
  DeleteDC(dc);
  return image;
}

// A binary PPM (P6, maxval 255) as netpbm and ImageMagick write it.
bool ParsePpm(const std::string& bytes, Image* image) {
  int maxval = 0;
  int consumed = 0;
  if (std::sscanf(bytes.c_str(), "P6 %d %d %d%n", &image->width, &image->height, &maxval,
                  &consumed) != 3 ||
      maxval != 255)
    return false;
  const size_t start = static_cast<size_t>(consumed) + 1;
  const size_t count = static_cast<size_t>(image->width) * static_cast<size_t>(image->height);
  if (bytes.size() < start + 3 * count) return false;
  image->pixels.clear();
  for (size_t i = 0; i < count; ++i) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data()) + start + 3 * i;
    image->pixels.push_back({p[0], p[1], p[2]});
  }
  return true;
}

bool HaveTool(const char* path) {
  return ::access(path, X_OK) == 0;
}
#endif

class DibTest : public LyrTest {
 protected:
  HDIB ReadFile(const char* dosPath) {
    CFile file;
    if (!file.Open(dosPath, CFile::modeRead)) return nullptr;
    return ReadDIBFile(file);
  }
#if LYR_POSIX_TESTS
  // The test pattern as PPM: `colors` colours (0 for a full-colour gradient), 37 × 23 pixels.
  std::string WritePattern(int colors) {
    std::string ppm = "P6\n37 23\n255\n";
    for (int y = 0; y < 23; ++y) {
      for (int x = 0; x < 37; ++x) {
        if (colors == 0) {
          ppm += static_cast<char>(x * 6);
          ppm += static_cast<char>(y * 11);
          ppm += static_cast<char>((x * y) % 256);
        } else {
          const int i = (x * 7 + y * 13) % colors;
          ppm += static_cast<char>(colors == 2 ? (i ? 255 : 0) : (i * 53) % 256);
          ppm += static_cast<char>(colors == 2 ? (i ? 255 : 0) : (i * 97) % 256);
          ppm += static_cast<char>(colors == 2 ? (i ? 255 : 0) : (i * 151) % 256);
        }
      }
    }
    const std::string path = Prefix() + "/pattern" + std::to_string(colors) + ".ppm";
    WriteHostFile(path, ppm);
    return path;
  }
  // Paints the BMP file 1:1 and compares with the reference decoder's pixels.
  void ExpectSameAsReference(const std::string& bmpHost, const std::string& referenceCommand) {
    SCOPED_TRACE(bmpHost);
    Image reference;
    ASSERT_TRUE(ParsePpm(CommandOutput(referenceCommand), &reference)) << referenceCommand;
    std::string dos;
    ASSERT_TRUE(HostToDos(bmpHost, &dos));
    HDIB dib = ReadFile(dos.c_str());
    ASSERT_NE(dib, nullptr);
    BITMAPFILEHEADER fileHeader;
    std::memcpy(&fileHeader, ReadHostFile(bmpHost).data(), sizeof fileHeader);
    Image ours = Painted(dib, fileHeader.bfOffBits - sizeof fileHeader);
    GlobalFree(dib);
    ASSERT_EQ(ours.width, reference.width);
    ASSERT_EQ(ours.height, reference.height);
    int different = 0;
    for (size_t i = 0; i < ours.pixels.size(); ++i)
      different += !(ours.pixels[i] == reference.pixels[i]);
    EXPECT_EQ(different, 0);
  }
  bool HostToDos(const std::string& host, std::string* dos) {
    if (host.compare(0, DriveC().size(), DriveC()) != 0) return false;
    *dos = "C:" + host.substr(DriveC().size());
    for (char& c : *dos)
      if (c == '/') c = '\\';
    return true;
  }
#endif
};

TEST_F(DibTest, HeaderAccessorsFollowTheHeaderKind) {
  HDIB eight = MakeDib(10, 3, 8, 0);
  char* lpbi = static_cast<char*>(GlobalLock(eight));
  EXPECT_EQ(DIBNumColors(lpbi), 256);
  EXPECT_EQ(PaletteSize(lpbi), 1024);
  EXPECT_EQ(FindDIBBits(lpbi), lpbi + 40 + 1024);
  EXPECT_EQ(DIBWidth(lpbi), 10u);
  EXPECT_EQ(DIBHeight(lpbi), 3u);
  reinterpret_cast<BITMAPINFOHEADER*>(lpbi)->biClrUsed = 20;
  EXPECT_EQ(DIBNumColors(lpbi), 20);
  EXPECT_EQ(PaletteSize(lpbi), 80);
  GlobalUnlock(eight);
  GlobalFree(eight);

  HDIB truecolor = MakeDib(4, 4, 24, 0);
  lpbi = static_cast<char*>(GlobalLock(truecolor));
  EXPECT_EQ(DIBNumColors(lpbi), 0);
  EXPECT_EQ(PaletteSize(lpbi), 0);
  EXPECT_EQ(FindDIBBits(lpbi), lpbi + 40);
  GlobalUnlock(truecolor);
  CPalette none;
  EXPECT_EQ(CreateDIBPalette(truecolor, &none), 0);
  EXPECT_EQ(none.m_hObject, nullptr);
  GlobalFree(truecolor);

  // A 1-bit core header: two 3-byte entries; it is never saved.
  HGLOBAL core = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 12 + 6 + 8);
  auto* header = static_cast<BITMAPCOREHEADER*>(GlobalLock(core));
  *header = {12, 3, 2, 1, 1};
  lpbi = reinterpret_cast<char*>(header);
  EXPECT_EQ(DIBNumColors(lpbi), 2);
  EXPECT_EQ(PaletteSize(lpbi), 6);
  EXPECT_EQ(DIBWidth(lpbi), 3u);
  GlobalUnlock(core);
  EXPECT_EQ(SaveTo(reinterpret_cast<HDIB>(core), "C:\\core.bmp"), 0);
  EXPECT_EQ(ReadHostFile(DriveC() + "/core.bmp"), "");
  CPalette palette;
  EXPECT_NE(CreateDIBPalette(reinterpret_cast<HDIB>(core), &palette), 0);
  EXPECT_EQ(palette.GetEntryCount(), 2);
  GlobalFree(core);
}

TEST_F(DibTest, SavedFilesReadBackAndBadFilesAreRefused) {
  HDIB dib = MakeDib(10, 3, 8, 0);
  char* lpbi = static_cast<char*>(GlobalLock(dib));
  for (int i = 0; i < 36; ++i) FindDIBBits(lpbi)[i] = static_cast<char>(i);
  GlobalUnlock(dib);
  EXPECT_EQ(SaveTo(dib, "C:\\eight.bmp"), 1);
  const std::string file = ReadHostFile(DriveC() + "/eight.bmp");
  ASSERT_EQ(file.size(), 14u + 40 + 1024 + 36);
  BITMAPFILEHEADER fileHeader;
  std::memcpy(&fileHeader, file.data(), sizeof fileHeader);
  // The packed header's fields are copied out before comparing: they are not aligned.
  const WORD type = fileHeader.bfType;
  const DWORD fileSize = fileHeader.bfSize;
  const DWORD offset = fileHeader.bfOffBits;
  EXPECT_EQ(type, 0x4D42);
  EXPECT_EQ(fileSize, 14u + 40 + 1024 + 36);
  EXPECT_EQ(offset, 1078u);
  lpbi = static_cast<char*>(GlobalLock(dib));
  EXPECT_EQ(reinterpret_cast<BITMAPINFOHEADER*>(lpbi)->biSizeImage, 36u);  // set by the save
  GlobalUnlock(dib);
  HDIB back = ReadFile("C:\\eight.bmp");
  ASSERT_NE(back, nullptr);
  char* a = static_cast<char*>(GlobalLock(dib));
  char* b = static_cast<char*>(GlobalLock(back));
  EXPECT_EQ(std::memcmp(a, b, 40 + 1024 + 36), 0);
  GlobalUnlock(dib);
  GlobalUnlock(back);
  HDIB copy = static_cast<HDIB>(CopyHandle(back));
  EXPECT_EQ(GlobalSize(copy), GlobalSize(back));
  EXPECT_EQ(CopyHandle(nullptr), nullptr);
  for (HDIB h : {dib, back, copy}) GlobalFree(h);

  // A bit-field DIB: its three masks are saved with the colour table, so every row reaches the
  // file and the file reads back whole.
  const DWORD fields[5] = {0xFF0000, 0x00FF00, 0x0000FF, 0x112233, 0x445566};
  HDIB masked = MakeDib(2, 1, 32, 0, BI_BITFIELDS);
  ASSERT_NE(masked = static_cast<HDIB>(GlobalReAlloc(masked, 40 + sizeof fields, GMEM_MOVEABLE)),
            nullptr);
  std::memcpy(static_cast<char*>(GlobalLock(masked)) + 40, fields, sizeof fields);
  GlobalUnlock(masked);
  EXPECT_EQ(SaveTo(masked, "C:\\fields.bmp"), 1);
  const std::string saved = ReadHostFile(DriveC() + "/fields.bmp");
  ASSERT_EQ(saved.size(), 14u + 40 + sizeof fields);
  std::memcpy(&fileHeader, saved.data(), sizeof fileHeader);
  EXPECT_EQ(static_cast<DWORD>(fileHeader.bfOffBits), 14u + 40 + 12);
  EXPECT_EQ(std::memcmp(saved.data() + 14 + 40, fields, sizeof fields), 0);
  GlobalFree(masked);

  WriteHostFile(DriveC() + "/short.bmp", "BM12345");
  WriteHostFile(DriveC() + "/type.bmp", "PM" + std::string(60, '\0'));
  WriteHostFile(DriveC() + "/headless.bmp",
                "BM" + std::string(12, '\0') + std::string("\x28\0\0\0", 4));
  for (const char* name : {"C:\\short.bmp", "C:\\type.bmp", "C:\\headless.bmp"})
    EXPECT_EQ(ReadFile(name), nullptr) << name;
}

// A file whose length says one thing and whose reads bring another: a pipe (length 0), a file
// that grew after its length was taken.
class LyingFile : public CFile {
 public:
  LyingFile(ULONGLONG length, std::string bytes) : length_(length), bytes_(std::move(bytes)) {}
  ULONGLONG GetLength() const override { return length_; }
  UINT Read(void* buffer, UINT count) override {
    const size_t n = std::min<size_t>(count, bytes_.size() - at_);
    std::memcpy(buffer, bytes_.data() + at_, n);
    at_ += n;
    return static_cast<UINT>(n);
  }

 private:
  ULONGLONG length_;
  std::string bytes_;
  size_t at_ = 0;
};

TEST_F(DibTest, ShortOrLyingDibsAreNeitherReadNorSavedPastTheirBlocks) {
  HDIB model = MakeDib(10, 3, 8, 0);
  std::string bmp = "BM" + std::string(12, '\0');
  bmp.append(static_cast<char*>(GlobalLock(model)), GlobalSize(model));
  GlobalUnlock(model);
  GlobalFree(model);
  LyingFile pipe(0, bmp);
  EXPECT_EQ(ReadDIBFile(pipe), nullptr);
  LyingFile grown(14 + 40, bmp + std::string(100000, 'x'));  // the length taken at 54 bytes
  HDIB partial = ReadDIBFile(grown);
  ASSERT_NE(partial, nullptr);
  EXPECT_LT(GlobalSize(partial), 64u);  // 54, or a little more where blocks are rounded up

  // The 40-byte header of a 10 x 3 8-bit DIB with no room for its colours and rows: the save
  // would copy 1,060 bytes of other memory into the file.
  EXPECT_EQ(SaveTo(partial, "C:\\lyingshort.bmp"), 0);
  EXPECT_EQ(ReadHostFile(DriveC() + "/lyingshort.bmp"), "");
  GlobalFree(partial);

  // Top-down (negative height): the image is as many rows as the height's size.
  HDIB topDown = MakeDib(10, 3, 8, 0);
  reinterpret_cast<BITMAPINFOHEADER*>(GlobalLock(topDown))->biHeight = -3;
  GlobalUnlock(topDown);
  EXPECT_EQ(SaveTo(topDown, "C:\\topdown.bmp"), 1);
  EXPECT_EQ(ReadHostFile(DriveC() + "/topdown.bmp").size(), 14u + 40 + 1024 + 36);
  EXPECT_EQ(reinterpret_cast<BITMAPINFOHEADER*>(GlobalLock(topDown))->biSizeImage, 36u);
  GlobalUnlock(topDown);
  GlobalFree(topDown);

  // A 12-byte block whose size field says 40: the accessors read the 12 bytes, and zeros after.
  HGLOBAL tiny = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 12);
  char* lpbi = static_cast<char*>(GlobalLock(tiny));
  const DWORD forty = 40;
  const LONG width = 7;
  std::memcpy(lpbi, &forty, sizeof forty);
  std::memcpy(lpbi + 4, &width, sizeof width);
  SetLastError(ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(DIBWidth(lpbi), 7u);
  EXPECT_EQ(DIBHeight(lpbi), 0u);
  EXPECT_EQ(DIBNumColors(lpbi), 0u);  // bit count beyond the block: 0
  EXPECT_EQ(FindDIBBits(lpbi), lpbi + 40);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));  // left alone
  GlobalUnlock(tiny);
  GlobalFree(tiny);
}

TEST_F(DibTest, PaintingCopiesOrStretchesAndNeverReadsPastTheBlock) {
  HDIB dib = MakeDib(2, 2, 24, 0);  // rows bottom-up: (blue, green) / (red, white) on top
  unsigned char* bits =
      reinterpret_cast<unsigned char*>(FindDIBBits(static_cast<char*>(GlobalLock(dib))));
  const unsigned char rows[2][8] = {{255, 0, 0, 0, 255, 0, 0, 0}, {0, 0, 255, 255, 255, 255, 0, 0}};
  std::memcpy(bits, rows, sizeof rows);
  GlobalUnlock(dib);
  HDC dc = SurfaceDc(8, 8);
  RECT source = {0, 0, 2, 2};
  // The picture 1:1 with its top left at (x, y).
  auto expectPictureAt = [&](int x, int y) {
    EXPECT_EQ(GetPixel(dc, x, y), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dc, x + 1, y), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc, x, y + 1), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(dc, x + 1, y + 1), RGB(0, 255, 0));
  };
  RECT same = {1, 1, 3, 3};
  EXPECT_EQ(PaintDIB(dc, &same, dib, &source, nullptr), 2);
  expectPictureAt(1, 1);
  RECT wide = {0, 4, 4, 6};  // twice as wide: whole source pixels, each twice
  EXPECT_EQ(PaintDIB(dc, &wide, dib, &source, nullptr), 2);
  EXPECT_EQ(GetStretchBltMode(dc), COLORONCOLOR);
  for (int x = 0; x < 4; ++x) {
    EXPECT_EQ(GetPixel(dc, x, 4), x < 2 ? RGB(255, 0, 0) : RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc, x, 5), x < 2 ? RGB(0, 0, 255) : RGB(0, 255, 0));
  }
  EXPECT_EQ(PaintDIB(dc, &same, nullptr, &source, nullptr), 0);
  // The same picture stored top-down (negative height, rows swapped) paints the same, 1:1.
  auto* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(dib));
  header->biHeight = -2;
  std::memcpy(FindDIBBits(reinterpret_cast<char*>(header)), rows[1], 8);
  std::memcpy(FindDIBBits(reinterpret_cast<char*>(header)) + 8, rows[0], 8);
  GlobalUnlock(dib);
  RECT lower = {5, 1, 7, 3};
  EXPECT_NE(PaintDIB(dc, &lower, dib, &source, nullptr), 0);
  expectPictureAt(5, 1);
  GlobalFree(dib);

  // A header that promises more than its block holds (1000 rows where there are two, a colour
  // table past the end, RLE bytes that are not there, a header longer than the block, bit-field
  // masks the block lacks) is not painted: GDI would read past the block.
  for (int lie = 0; lie < 5; ++lie) {
    SCOPED_TRACE(lie);
    // (The masks of one 32-bit pixel run eight bytes past the pixel, which ends the block.)
    HDIB liar = lie == 4 ? MakeDib(1, 1, 32, 0, BI_BITFIELDS) : MakeDib(2, 2, lie == 1 ? 8 : 24, 0);
    auto* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(liar));
    if (lie == 0) header->biHeight = header->biWidth = 1000;
    if (lie == 1) header->biClrUsed = 4096;
    if (lie == 2) {
      header->biBitCount = 8;
      header->biClrUsed = 1;  // a table the block holds
      header->biCompression = BI_RLE8;
      header->biSizeImage = 1 << 20;
    }
    if (lie == 3) header->biSize = 0x91919191;
    GlobalUnlock(liar);
    RECT big = {0, 0, 1000, 1000};
    EXPECT_EQ(PaintDIB(dc, &big, liar, &big, nullptr), 0);
    RECT small = {0, 0, 5, 7};
    EXPECT_EQ(PaintDIB(dc, &small, liar, &big, nullptr), 0);
    GlobalFree(liar);
  }
  DeleteDC(dc);
}

#if LYR_POSIX_TESTS  // netpbm and ImageMagick
TEST_F(DibTest, PixelsEqualNetpbmsDecodingOfItsOwnFiles) {
  if (!HaveTool("/usr/bin/ppmtobmp") || !HaveTool("/usr/bin/bmptopnm"))
    GTEST_SKIP() << "netpbm is not installed";
  struct Kind {
    int colors;
    const char* options;
  };
  for (const Kind& kind :
       {Kind{0, "-windows"}, Kind{256, "-windows -bpp 8"}, Kind{16, "-windows -bpp 4"},
        Kind{2, "-windows -bpp 1"}, Kind{0, "-os2"}, Kind{256, "-os2 -bpp 8"},
        Kind{16, "-os2 -bpp 4"}, Kind{2, "-os2 -bpp 1"}, Kind{200, "-windows -bpp 8"}}) {
    const std::string pattern = WritePattern(kind.colors);
    const std::string bmp = DriveC() + "/netpbm" + std::to_string(kind.colors) +
                            std::string(kind.options).substr(1, 3) + ".bmp";
    CommandOutput("/usr/bin/ppmtobmp " + std::string(kind.options) + " '" + pattern + "' > '" +
                  bmp + "' 2>/dev/null");
    ExpectSameAsReference(
        bmp, "/usr/bin/bmptopnm '" + bmp + "' 2>/dev/null | /usr/bin/ppmtoppm 2>/dev/null");
  }
}
#endif

// A small RLE file whose header claims 2^31 - 1 columns, painted 1:1 and stretched into huge
// destinations on a 4 x 2 surface: painting costs the visible pixels, not the claimed ones, and
// extents near INT_MAX neither overflow nor paint anywhere else.
TEST_F(DibTest, HugeExtentsCostOnlyWhatIsVisible) {
  HDIB dib = MakeDib(INT_MAX, 2, 8, 1, BI_RLE8);  // no room for rows: only the codes follow
  HGLOBAL grown = GlobalReAlloc(dib, 40 + 4 + 4, GMEM_MOVEABLE | GMEM_ZEROINIT);
  ASSERT_NE(grown, nullptr);
  dib = reinterpret_cast<HDIB>(grown);
  char* lpbi = static_cast<char*>(GlobalLock(dib));
  reinterpret_cast<BITMAPINFOHEADER*>(lpbi)->biSizeImage = 4;
  const unsigned char table[4] = {0, 0, 255, 0};  // red
  const unsigned char codes[4] = {2, 0, 0, 1};    // two pixels, end of bitmap
  std::memcpy(lpbi + 40, table, sizeof table);
  std::memcpy(lpbi + 44, codes, sizeof codes);
  GlobalUnlock(dib);
  HDC dc = SurfaceDc(4, 2);
  RECT whole = {0, 0, INT_MAX, 2};
  EXPECT_NE(PaintDIB(dc, &whole, dib, &whole, nullptr), 0);
  EXPECT_EQ(GetPixel(dc, 0, 1), RGB(255, 0, 0));  // the bottom row's first two pixels
  EXPECT_EQ(GetPixel(dc, 1, 1), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(dc, 2, 1), RGB(0, 0, 0));
  RECT two = {0, 0, 2, 2};
  RECT stretched = {0, 0, INT_MAX, 4};
  PaintDIB(dc, &stretched, dib, &two, nullptr);
  RECT past = {-1, 0, INT_MAX, 2};  // a width past INT_MAX wraps, as Windows computes it
  PaintDIB(dc, &past, dib, &whole, nullptr);
  DeleteDC(dc);
  GlobalFree(dib);
}

// A source rectangle reaching past the picture: the picture lands where the rectangle puts it.
TEST_F(DibTest, ASourceRectanglePastThePicturePaintsItWhereItFalls) {
  HDIB dib = MakeDib(4, 4, 24, 0);
  auto* lpbi = static_cast<char*>(GlobalLock(dib));
  unsigned char* top = reinterpret_cast<unsigned char*>(FindDIBBits(lpbi)) + 3 * 12;
  top[2] = 255;  // the top left pixel red; the rest black
  GlobalUnlock(dib);
  HDC dc = SurfaceDc(6, 6);
  SetPixel(dc, 0, 0, RGB(0, 0, 255));  // outside the picture: stays blue
  RECT from = {-2, -2, 4, 4};
  RECT to = {0, 0, 6, 6};
  PaintDIB(dc, &to, dib, &from, nullptr);
  EXPECT_EQ(GetPixel(dc, 2, 2), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(dc, 5, 5), RGB(0, 0, 0));
  DeleteDC(dc);
  GlobalFree(dib);
}

// Device contexts, bitmaps and palettes as Windows documents them.
TEST_F(DibTest, GdiObjectsAnswerAsWindowsDocumentsThem) {
  HDC fresh = CreateCompatibleDC(nullptr);
  HDC other = CreateCompatibleDC(nullptr);
  EXPECT_FAILS_AS(SetStretchBltMode(fresh, 0), 0, ERROR_INVALID_PARAMETER);

  // A fresh memory DC holds a 1x1 monochrome bitmap, so its compatible bitmaps are monochrome.
  HBITMAP mono = CreateCompatibleBitmap(fresh, 8, 8);
  BITMAP described = {};
  ASSERT_EQ(GetObjectA(mono, sizeof described, &described), static_cast<int>(sizeof described));
  EXPECT_EQ(described.bmBitsPixel, 1);

  // A 5-6-5 DIB section keeps its own format, tells it through DIBSECTION, and is selected into
  // one DC at a time.
  struct {
    BITMAPINFOHEADER header;
    DWORD masks[3];
  } info = {{sizeof(BITMAPINFOHEADER), 2, -1, 1, 16, BI_BITFIELDS, 0, 0, 0, 0, 0},
            {0xF800, 0x07E0, 0x001F}};
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(fresh, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                     &bits, nullptr, 0);
  ASSERT_NE(section, nullptr);
  DIBSECTION ds = {};
  ASSERT_EQ(GetObjectA(section, sizeof ds, &ds), static_cast<int>(sizeof ds));
  EXPECT_EQ(ds.dsBm.bmBitsPixel, 16);
  EXPECT_EQ(ds.dsBm.bmBits, bits);
  EXPECT_EQ(ds.dsBmih.biCompression, static_cast<DWORD>(BI_BITFIELDS));
  EXPECT_EQ(ds.dsBitfields[0], 0xF800u);
  EXPECT_EQ(ds.dsBitfields[1], 0x07E0u);
  ASSERT_NE(SelectObject(fresh, section), nullptr);
  EXPECT_EQ(SelectObject(other, section), nullptr);
  SetPixel(fresh, 0, 0, RGB(255, 0, 0));
  SetPixel(fresh, 1, 0, RGB(0, 255, 0));
  EXPECT_EQ(static_cast<WORD*>(bits)[0], 0xF800);
  EXPECT_EQ(static_cast<WORD*>(bits)[1], 0x07E0);

  // Every DC starts with the default palette of 20 colours.
  LOGPALETTE one = {0x300, 1, {{1, 2, 3, 0}}};
  HPALETTE mine = CreatePalette(&one);
  HPALETTE stock = SelectPalette(other, mine, TRUE);
  ASSERT_NE(stock, nullptr);
  EXPECT_EQ(GetPaletteEntries(stock, 0, 0, nullptr), 20u);
  PALETTEENTRY last = {};
  EXPECT_EQ(GetPaletteEntries(stock, 19, 1, &last), 1u);
  EXPECT_EQ(RGB(last.peRed, last.peGreen, last.peBlue), RGB(255, 255, 255));
  SelectPalette(other, stock, TRUE);
  DeleteObject(mine);
  DeleteDC(fresh);
  DeleteDC(other);
  DeleteObject(section);
  DeleteObject(mono);
}

// 16 bits as Windows widens them (Microsoft's "GDI Color Space Conversions"): each channel's
// bits moved to the top and the low bits filled with its high bits again, so white stays white
// and the middle of each range (16 of 32, 32 of 64) becomes 132 and 130.
TEST_F(DibTest, SixteenBitPixelsWidenAsWindowsWidensThem) {
  struct {
    BITMAPINFOHEADER header;
    DWORD masks[3];
  } info = {};
  info.header = {sizeof(BITMAPINFOHEADER), 2, -1, 1, 16, BI_BITFIELDS, 0, 0, 0, 0, 0};
  info.masks[0] = 0xF800;
  info.masks[1] = 0x07E0;
  info.masks[2] = 0x001F;
  HGLOBAL block = GlobalAlloc(GMEM_FIXED, 4);
  auto* pixels = static_cast<WORD*>(block);
  pixels[0] = 0xFFFF;
  pixels[1] = 0x8410;  // the middle of each range
  HDC dc = SurfaceDc(2, 1);
  EXPECT_EQ(SetDIBitsToDevice(dc, 0, 0, 2, 1, 0, 0, 0, 1, pixels,
                              reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS),
            1);
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 255, 255));
  EXPECT_EQ(GetPixel(dc, 1, 0), RGB(132, 130, 132));
  info.header.biCompression = BI_RGB;  // 5-5-5
  pixels[0] = 0x7FFF;
  EXPECT_EQ(SetDIBitsToDevice(dc, 0, 0, 1, 1, 0, 0, 0, 1, pixels,
                              reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS),
            1);
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 255, 255));
  DeleteDC(dc);
  GlobalFree(block);
}

#if LYR_POSIX_TESTS  // netpbm and ImageMagick
TEST_F(DibTest, PixelsEqualImageMagicksDecodingOfItsOwnFiles) {
  const char* convert = "/usr/bin/convert";
  if (!HaveTool(convert)) GTEST_SKIP() << "ImageMagick is not installed";
  struct Kind {
    int colors;
    const char* options;
    const char* format;
  };
  for (const Kind& kind : {Kind{0, "", "BMP3"}, Kind{256, "-type Palette", "BMP3"},
                           Kind{200, "-type Palette -compress RLE", "BMP3"},
                           Kind{2, "-type Bilevel", "BMP3"}, Kind{16, "-type Palette", "BMP3"},
                           Kind{0, "", "BMP2"}, Kind{0, "-type TrueColorAlpha", "BMP"}}) {
    // TrueColorAlpha in BMP: 32 bits with bit fields in a 124-byte header.
    const std::string pattern = WritePattern(kind.colors);
    const std::string bmp = DriveC() + "/magick" + std::to_string(kind.colors) + kind.format +
                            std::to_string(std::strlen(kind.options)) + ".bmp";
    CommandOutput(std::string(convert) + " '" + pattern + "' " + kind.options + " " + kind.format +
                  ":'" + bmp + "' 2>/dev/null");
    ExpectSameAsReference(bmp, std::string(convert) + " '" + bmp + "' -depth 8 ppm:- 2>/dev/null");
  }
}
#endif

}  // namespace

// RLE8 codes: a run, end of line, a delta, an absolute run, end of bitmap.
// Pixels no code reaches keep what the surface had. A header promising 30,000 x 30,000 pixels
// over the same few codes paints the same pixels (and takes no more memory than its codes).
TEST_F(DibTest, RleCodesSetOnlyThePixelsTheyReach) {
  const unsigned char codes[] = {3, 1, 0, 0, 0, 2, 2, 1, 2, 2, 0, 3, 5, 6, 7, 0, 0, 1};
  for (const LONG side : {0L, 30000L}) {
    const LONG width = side != 0 ? side : 6;
    const LONG height = side != 0 ? side : 4;
    SCOPED_TRACE(width);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT,
                                sizeof(BITMAPINFOHEADER) + 8 * sizeof(RGBQUAD) + sizeof codes);
    auto* info = static_cast<BITMAPINFO*>(GlobalLock(block));
    info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info->bmiHeader.biWidth = width;
    info->bmiHeader.biHeight = height;
    info->bmiHeader.biPlanes = 1;
    info->bmiHeader.biBitCount = 8;
    info->bmiHeader.biCompression = BI_RLE8;
    info->bmiHeader.biSizeImage = sizeof codes;  // compressed bitmaps must give their size
    info->bmiHeader.biClrUsed = 8;
    for (int i = 0; i < 8; ++i) info->bmiColors[i] = {0, 0, static_cast<BYTE>(30 * i), 0};
    std::memcpy(&info->bmiColors[8], codes, sizeof codes);
    HDC dc = SurfaceDc(6, 4);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 6; ++x) SetPixel(dc, x, y, RGB(1, 2, 3));
    // The image's bottom four rows land on the surface's four rows.
    EXPECT_EQ(SetDIBitsToDevice(dc, 0, 0, 6, 4, 0, 0, 0, static_cast<UINT>(height),
                                &info->bmiColors[8], info, DIB_RGB_COLORS),
              height);
    GlobalUnlock(block);
    GlobalFree(block);
    const COLORREF o = RGB(1, 2, 3);
    const COLORREF expected[4][6] = {
        {o, o, o, o, o, o},                                   // row 3 from the bottom: no code
        {o, o, RGB(60, 0, 0), RGB(60, 0, 0), RGB(150, 0, 0),  // row 2: the delta, then the
         RGB(180, 0, 0)},    // absolute run (its third pixel beyond a 6-pixel row is dropped)
        {o, o, o, o, o, o},  // row 1: skipped by the delta
        {RGB(30, 0, 0), RGB(30, 0, 0), RGB(30, 0, 0), o, o, o}};  // row 0: the run
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 6; ++x) EXPECT_EQ(GetPixel(dc, x, y), expected[y][x]) << x << "," << y;
    DeleteDC(dc);
  }
}

#ifndef _WIN32
// A header in a global block with its rows in memory of another kind: the stand-in cannot tell
// them from rows reckoned past a block too short for its colour table, so it refuses the DIB
// (0, nothing painted) rather than read past the block. Windows paints such rows.
TEST_F(DibTest, RowsOutsideTheHeadersBlockAreRefusedNotReadPastIt) {
  HGLOBAL block = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, sizeof(BITMAPINFOHEADER));
  auto* header = static_cast<BITMAPINFOHEADER*>(block);
  *header = {sizeof(BITMAPINFOHEADER), 1, 1, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  const std::vector<unsigned char> rows = {0, 0, 255, 0};  // one red pixel
  HDC dc = SurfaceDc(2, 2);
  EXPECT_EQ(SetDIBitsToDevice(dc, 1, 1, 1, 1, 0, 0, 0, 1, rows.data(),
                              reinterpret_cast<BITMAPINFO*>(header), DIB_RGB_COLORS),
            0);
  EXPECT_EQ(GetPixel(dc, 1, 1), RGB(0, 0, 0));
  DeleteDC(dc);
  GlobalFree(block);
}
#endif
