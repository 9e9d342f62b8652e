#include "dib_source.h"

#include "internal.h"

#include <algorithm>
#include <iterator>
#include <utility>
#include <cstring>

namespace lyrwin {
namespace {

uint32_t Read32(const unsigned char* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint16_t Read16(const unsigned char* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}

}  // namespace

Channel ChannelOf(uint32_t mask) {
  Channel channel;
  if (mask == 0) return channel;
  while (!(mask & (1u << channel.shift))) ++channel.shift;
  for (uint32_t bits = mask >> channel.shift; bits & 1u; bits >>= 1) ++channel.width;
  return channel;
}

// A channel of `width` bits as 8 bits, as GDI widens it ("GDI Color Space Conversions" in
// Microsoft's display driver documentation): the bits moved to the top and the low bits filled
// with copies of the high ones, so that 5-bit 31 is 255 and 16 is 132.
BYTE WidenChannel(uint32_t value, int width) {
  if (width <= 0) return 0;
  if (width >= 8) return static_cast<BYTE>(value >> (width - 8));
  uint32_t wide = 0;
  for (int at = 8 - width; at > -width; at -= width) wide |= at >= 0 ? value << at : value >> -at;
  return static_cast<BYTE>(wide);
}

bool DibSource::Load(const BITMAPINFO* info, const void* bits, UINT usage,
                     const std::vector<COLORREF>& palette) {
  if (info == nullptr || bits == nullptr) return false;
  const unsigned char* header = reinterpret_cast<const unsigned char*>(info);
  const size_t available = BytesAvailableAt(header);
  if (available < 4) return false;
  const uint32_t headerSize = Read32(header);
  size_t entryBytes = 4;
  int colorCount = 0;
  uint32_t clrUsed = 0;
  if (headerSize == sizeof(BITMAPCOREHEADER)) {
    if (available < sizeof(BITMAPCOREHEADER)) return false;
    width_ = Read16(header + 4);
    height_ = Read16(header + 6);
    bitCount_ = Read16(header + 10);
    compression_ = BI_RGB;
    entryBytes = 3;
  } else if (headerSize >= sizeof(BITMAPINFOHEADER) && headerSize <= 1024) {
    if (available < sizeof(BITMAPINFOHEADER)) return false;
    const int32_t width = static_cast<int32_t>(Read32(header + 4));
    const int32_t height = static_cast<int32_t>(Read32(header + 8));
    if (width <= 0 || height == 0 || height == INT32_MIN) return false;
    width_ = width;
    topDown_ = height < 0;
    height_ = topDown_ ? -height : height;
    bitCount_ = Read16(header + 14);
    compression_ = Read32(header + 16);
    clrUsed = Read32(header + 32);
  } else {
    return false;
  }
  if (width_ <= 0 || height_ <= 0) return false;
  switch (compression_) {
    case BI_RGB:
      if (bitCount_ != 1 && bitCount_ != 4 && bitCount_ != 8 && bitCount_ != 16 &&
          bitCount_ != 24 && bitCount_ != 32)
        return false;
      break;
    case BI_RLE8:
    case BI_RLE4:
      if (bitCount_ != (compression_ == BI_RLE8 ? 8 : 4) || topDown_) return false;
      break;
    case BI_BITFIELDS:
      if (bitCount_ != 16 && bitCount_ != 32) return false;
      break;
    default:
      return false;
  }
  if (bitCount_ <= 8) {
    const uint32_t most = 1u << bitCount_;
    colorCount = static_cast<int>(clrUsed != 0 && clrUsed < most ? clrUsed : most);
  }

  const unsigned char* table = header + headerSize;
  const size_t tableAvailable = available == SIZE_MAX    ? SIZE_MAX
                                : available > headerSize ? available - headerSize
                                                         : 0;
  if (compression_ == BI_BITFIELDS) {
    const unsigned char* masks = headerSize >= 52 ? header + 40 : table;
    const size_t masksAvailable = headerSize >= 52 ? available - 40 : tableAvailable;
    if (masksAvailable < 12) return false;
    for (int i = 0; i < 3; ++i) masks_[i] = Read32(masks + 4 * i);
  } else if (bitCount_ == 16) {
    masks_[0] = 0x7C00;
    masks_[1] = 0x03E0;
    masks_[2] = 0x001F;
  } else if (bitCount_ == 32) {
    masks_[0] = 0xFF0000;
    masks_[1] = 0x00FF00;
    masks_[2] = 0x0000FF;
  }
  colors_.assign(static_cast<size_t>(colorCount), RGB(0, 0, 0));
  if (colorCount > 0) {
    const size_t usable =
        std::min<size_t>(static_cast<size_t>(colorCount),
                         tableAvailable / (usage == DIB_PAL_COLORS ? 2 : entryBytes));
    for (size_t i = 0; i < usable; ++i) {
      if (usage == DIB_PAL_COLORS) {
        const uint16_t index = Read16(table + 2 * i);
        // An index past the end of the palette wraps round it, as Windows reads it.
        colors_[i] = palette.empty() ? RGB(0, 0, 0) : palette[index % palette.size()];
      } else {
        const unsigned char* entry = table + i * entryBytes;
        colors_[i] = RGB(entry[2], entry[1], entry[0]);
      }
    }
  }

  bits_ = static_cast<const unsigned char*>(bits);
  bitsAvailable_ = BytesAvailableAt(bits);
  // A header in a global block with rows in no block: they may be memory of another kind, or
  // rows reckoned past the end of a block too short for its colour table, and the two cannot be
  // told apart. Such a DIB is refused (0 painted) rather than read past its block.
  uintptr_t start, end;
  if (bitsAvailable_ == SIZE_MAX && BlockHolding(header, &start, &end)) return false;
  stride_ = ((static_cast<uint64_t>(width_) * static_cast<uint64_t>(bitCount_) + 31) / 32) * 4;
  if (compression_ == BI_RLE8 || compression_ == BI_RLE4) {
    size_t dataBytes = bitsAvailable_;
    if (headerSize != sizeof(BITMAPCOREHEADER)) {
      const uint32_t sizeImage = Read32(header + 20);
      if (sizeImage != 0) dataBytes = std::min<size_t>(dataBytes, sizeImage);
    }
    return DecodeRle(bits_, dataBytes);
  }
  return true;
}

// RLE8 and RLE4 as the BMP format defines them: runs, absolute runs (padded to 16 bits), and
// the escapes end of line, end of bitmap and delta. Pixels no code reaches stay unset.
bool DibSource::DecodeRle(const unsigned char* data, size_t available) {
  rle_ = true;
  rleSpans_.clear();
  rleIndex_.clear();
  const bool four = compression_ == BI_RLE4;
  int x = 0;
  int y = 0;  // from the bottom
  // Codes only ever move right along a row or up to a later row, so the spans come out sorted
  // and never overlap; a pixel next to the last span's end extends it.
  auto put = [&](uint8_t index) {
    if (x < width_ && y < height_) {
      if (rleSpans_.empty() || rleSpans_.back().y != y ||
          rleSpans_.back().x + rleSpans_.back().length != x)
        rleSpans_.push_back({y, x, 0, rleIndex_.size()});
      rleIndex_.push_back(index);
      ++rleSpans_.back().length;
    }
    if (x < INT32_MAX) ++x;
  };
  size_t i = 0;
  while (i + 1 < available && y < height_) {
    const uint8_t count = data[i];
    const uint8_t value = data[i + 1];
    i += 2;
    if (count > 0) {
      for (int k = 0; k < count; ++k)
        put(four ? static_cast<uint8_t>(k % 2 == 0 ? value >> 4 : value & 0x0F) : value);
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++y;
    } else if (value == 1) {  // end of bitmap
      break;
    } else if (value == 2) {  // delta
      if (i + 1 >= available) break;
      x = static_cast<int>(std::min<int64_t>(int64_t(x) + data[i], INT32_MAX));
      y = static_cast<int>(std::min<int64_t>(int64_t(y) + data[i + 1], INT32_MAX));
      i += 2;
    } else {  // absolute run of `value` pixels
      const size_t bytes = four ? (value + 1u) / 2u : value;
      for (int k = 0; k < value; ++k) {
        const size_t at = i + (four ? static_cast<size_t>(k) / 2 : static_cast<size_t>(k));
        if (at >= available) return true;
        put(four ? static_cast<uint8_t>(k % 2 == 0 ? data[at] >> 4 : data[at] & 0x0F) : data[at]);
      }
      i += (bytes + 1) & ~size_t(1);
    }
  }
  return true;
}

COLORREF DibSource::FromMasks(uint32_t value) const {
  BYTE channel[3];
  for (int c = 0; c < 3; ++c) {
    const Channel where = ChannelOf(masks_[c]);
    channel[c] = WidenChannel((value & masks_[c]) >> where.shift, where.width);
  }
  return RGB(channel[0], channel[1], channel[2]);
}

bool DibSource::StoredPixel(int x, int stored, COLORREF* color) const {
  if (x < 0 || x >= width_ || stored < 0 || stored >= height_) return false;
  auto lookup = [&](size_t index) {
    *color = index < colors_.size() ? colors_[index] : RGB(0, 0, 0);
    return true;
  };
  if (rle_) {
    // The last span that starts at or before (fromBottom, x).
    auto after =
        std::upper_bound(rleSpans_.begin(), rleSpans_.end(), std::make_pair(stored, x),
                         [](const std::pair<int, int>& at, const RleSpan& span) {
                           return at.first < span.y || (at.first == span.y && at.second < span.x);
                         });
    if (after == rleSpans_.begin()) return false;
    const RleSpan& span = *std::prev(after);
    if (span.y != stored || x >= span.x + span.length) return false;
    return lookup(rleIndex_[span.offset + static_cast<size_t>(x - span.x)]);
  }
  const uint64_t line = static_cast<uint64_t>(stored);
  const uint64_t bitOffset = static_cast<uint64_t>(x) * static_cast<uint64_t>(bitCount_);
  const uint64_t offset = line * stride_ + bitOffset / 8;
  const uint64_t bytes = bitCount_ >= 8 ? static_cast<uint64_t>(bitCount_ / 8) : 1;
  if (bitsAvailable_ != SIZE_MAX && offset + bytes > bitsAvailable_) return false;
  const unsigned char* p = bits_ + offset;
  switch (bitCount_) {
    case 1:
      return lookup((*p >> (7 - bitOffset % 8)) & 1);
    case 4:
      return lookup(bitOffset % 8 == 0 ? *p >> 4 : *p & 0x0F);
    case 8:
      return lookup(*p);
    case 16:
      *color = FromMasks(Read16(p));
      return true;
    case 24:
      *color = RGB(p[2], p[1], p[0]);
      return true;
    default:
      *color = FromMasks(Read32(p));
      return true;
  }
}

}  // namespace lyrwin
