// A device-independent bitmap as SetDIBitsToDevice and StretchDIBits read it: the header, the
// colour table and the pixel rows, decoded pixel by pixel on demand, every read kept within the
// memory block that holds it.
#ifndef LYRWIN_DIB_SOURCE_H
#define LYRWIN_DIB_SOURCE_H

#include <windows.h>

#include <cstdint>
#include <vector>

namespace lyrwin {

class DibSource {
 public:
  // False for what GDI refuses: a header too short or of an unknown size, a bit count or
  // compression it does not take, a width or height of 0. `palette` is the device context's, for
  // DIB_PAL_COLORS.
  bool Load(const BITMAPINFO* info, const void* bits, UINT usage,
            const std::vector<COLORREF>& palette);
  int Width() const { return width_; }
  int Height() const { return height_; }
  bool TopDown() const { return topDown_; }
  bool Rle() const { return rle_; }
  // The colour of the pixel `x` columns from the left and `row` rows from the top of the image;
  // false where there is none (beyond the bytes the block holds, or skipped by an RLE delta).
  bool Pixel(int x, int row, COLORREF* color) const {
    return StoredPixel(x, topDown_ ? row : height_ - 1 - row, color);
  }
  // The same for the `stored`-th row as the rows lie in memory (for RLE, counted from the
  // bottom as its codes go).
  bool StoredPixel(int x, int stored, COLORREF* color) const;

 private:
  bool DecodeRle(const unsigned char* data, size_t available);
  COLORREF FromMasks(uint32_t value) const;

  int width_ = 0;
  int height_ = 0;
  bool topDown_ = false;
  int bitCount_ = 0;
  DWORD compression_ = BI_RGB;
  std::vector<COLORREF> colors_;
  uint32_t masks_[3] = {0, 0, 0};
  const unsigned char* bits_ = nullptr;
  size_t bitsAvailable_ = 0;
  uint64_t stride_ = 0;
  // An RLE image, decoded: the runs of pixels its codes set, in the order the codes set them
  // (rows from the bottom, left to right), each with its colour indices in rleIndex_. Only the
  // pixels that are there take memory, so a small file whose header promises a huge image costs
  // no more than its codes.
  struct RleSpan {
    int y;  // from the bottom
    int x;
    int length;
    size_t offset;  // of the first index in rleIndex_
  };
  bool rle_ = false;
  std::vector<RleSpan> rleSpans_;
  std::vector<uint8_t> rleIndex_;
};

}  // namespace lyrwin

#endif  // LYRWIN_DIB_SOURCE_H
