// Arbitrary bytes as a BMP file: ReadDIBFile reads them (from memory, through CFile) and PaintDIB
// paints the result 1:1 and stretched into a 32-bit DIB section. Nothing may crash or read past the
// DIB's block (ASan watches the block's edges), whatever the header promises.
#include <LyrUtil.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

// The input as a file that ReadDIBFile reads through CFile's virtual members, without a trip
// through the disk for every run.
class InputFile final : public CFile {
 public:
  InputFile(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  ULONGLONG GetLength() const override { return size_; }
  ULONGLONG GetPosition() const override { return at_; }
  ULONGLONG Seek(LONGLONG offset, UINT from) override {
    const LONGLONG base = from == CFile::begin ? 0 : from == CFile::current ? at_ : size_;
    at_ = static_cast<size_t>(std::clamp<LONGLONG>(base + offset, 0, size_));
    return at_;
  }
  UINT Read(void* buffer, UINT count) override {
    const size_t n = std::min<size_t>(count, size_ - at_);
    if (n > 0) std::memcpy(buffer, data_ + at_, n);
    at_ += n;
    return static_cast<UINT>(n);
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static HDC dc = [] {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 40;
    info.bmiHeader.biHeight = -30;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC memory = CreateCompatibleDC(nullptr);
    SelectObject(memory, CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    return memory;
  }();
  InputFile in(data, size);
  HDIB dib = ReadDIBFile(in);
  if (dib == nullptr) return 0;
  char* lpbi = static_cast<char*>(GlobalLock(dib));
  const LONG width = static_cast<LONG>(DIBWidth(lpbi) % 64);
  const LONG height = static_cast<LONG>(DIBHeight(lpbi) % 64);
  GlobalUnlock(dib);
  RECT source = {0, 0, width, height};
  RECT same = {0, 0, width, height};
  RECT stretched = {3, 2, 3 + 17, 2 + 13};
  PaintDIB(dc, &same, dib, &source, nullptr);
  PaintDIB(dc, &stretched, dib, &source, nullptr);
  CPalette palette;
  CreateDIBPalette(dib, &palette);
  GlobalFree(dib);
  return 0;
}
