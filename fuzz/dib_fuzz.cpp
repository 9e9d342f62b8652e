// Arbitrary bytes as a BMP file: ReadDIBFile reads them (from memory, through CFile), also with a
// length that lies (a pipe's 0, a file that grew or shrank after its length was taken); PaintDIB
// paints the result 1:1 and stretched into a 32-bit DIB section, SaveDIB writes it back, and the
// same DIB is tried again cut short to a few bytes. Nothing may crash or read past the DIB's block
// (ASan watches the block's edges), whatever the header promises.
#include <LyrUtil.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

// The input as a file that ReadDIBFile reads through CFile's virtual members, without a trip
// through the disk for every run.
class InputFile final : public CFile {
 public:
  InputFile(const uint8_t* data, size_t size, size_t claimed)
      : data_(data), size_(size), claimed_(claimed) {}
  ULONGLONG GetLength() const override { return claimed_; }
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
  size_t claimed_;
  size_t at_ = 0;
};

// Where SaveDIB writes: nothing kept, and nothing more than the block and the file header.
class CountingFile final : public CFile {
 public:
  void Write(const void* buffer, UINT count) override {
    volatile uint8_t sink = 0;
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    for (UINT i = 0; i < count; i += 64) sink = sink ^ bytes[i];  // ASan sees any overread
    if (count > 0) sink = sink ^ bytes[count - 1];
    written += count;
  }
  size_t written = 0;
};

void PaintSaveAndDescribe(HDC dc, HDIB dib) {
  char* lpbi = static_cast<char*>(GlobalLock(dib));
  const LONG width = static_cast<LONG>(DIBWidth(lpbi) % 64);
  const LONG height = static_cast<LONG>(DIBHeight(lpbi) % 64);
  PaletteSize(lpbi);
  FindDIBBits(lpbi);
  GlobalUnlock(dib);
  RECT source = {0, 0, width, height};
  RECT same = {0, 0, width, height};
  RECT stretched = {3, 2, 3 + 17, 2 + 13};
  PaintDIB(dc, &same, dib, &source, nullptr);
  PaintDIB(dc, &stretched, dib, &source, nullptr);
  CPalette palette;
  CreateDIBPalette(dib, &palette);
  CountingFile saved;
  if (SaveDIB(dib, saved) == 1 && saved.written > GlobalSize(dib) + sizeof(BITMAPFILEHEADER))
    __builtin_trap();  // saved more than the DIB holds
}

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
  // A length that lies, chosen by the input's size: 0 as a pipe's, half, or twice the bytes.
  const size_t lies[3] = {0, size / 2, size * 2};
  InputFile lying(data, size, lies[size % 3]);
  if (HDIB dib = ReadDIBFile(lying)) GlobalFree(dib);

  InputFile in(data, size, size);
  HDIB dib = ReadDIBFile(in);
  if (dib == nullptr) return 0;
  PaintSaveAndDescribe(dc, dib);
  // The same DIB in a block cut to fewer bytes than its header: a damaged or hand-made DIB.
  if (HGLOBAL cut = GlobalReAlloc(dib, size % 48, GMEM_MOVEABLE)) {
    dib = reinterpret_cast<HDIB>(cut);
    PaintSaveAndDescribe(dc, dib);
  }
  GlobalFree(dib);
  return 0;
}
