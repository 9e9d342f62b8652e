// Arbitrary bytes as a BMP file: ReadDIBFile reads them and PaintDIB paints the result 1:1 and
// stretched into a 32-bit DIB section. Nothing may crash or read past the DIB's block (ASan
// watches the block's edges), whatever the header promises.
#include <LyrUtil.h>
#include <lyrhost.h>

#include <cstdint>
#include <cstdio>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string host = [] {
    LyrSetPrefix("/tmp/lyrutil-fuzz-dib-prefix");
    std::string path;
    LyrDosToHostPath("C:\\fuzz.bmp", &path);
    return path;
  }();
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
  FILE* file = std::fopen(host.c_str(), "wb");
  if (file == nullptr) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);
  CFile in;
  if (!in.Open("C:\\fuzz.bmp", CFile::modeRead)) return 0;
  HDIB dib = ReadDIBFile(in);
  in.Close();
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
