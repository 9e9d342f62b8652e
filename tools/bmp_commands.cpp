// lyrutil bmp: BMP files read and painted by the library (ReadDIBFile, PaintDIB), as a suite
// application shows them, with what the header says.
#include "audit_files.h"
#include "commands.h"
#include "tool_error.h"

#include <LyrUtil.h>

#include <nlohmann/json.hpp>

#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>

namespace {

// The DIB of a BMP file, freed with the object.
class DibFile {
 public:
  explicit DibFile(const std::string& hostPath) {
    const std::string dos = DosName(hostPath);
    CFile file;
    if (!file.Open(dos.c_str(), CFile::modeRead | CFile::shareDenyWrite))
      throw ToolError(hostPath + ": cannot be read");
    dib_ = ReadDIBFile(file);
    if (dib_ == nullptr) throw ToolError(hostPath + ": not a BMP file");
  }
  ~DibFile() { GlobalFree(dib_); }
  DibFile(const DibFile&) = delete;
  DibFile& operator=(const DibFile&) = delete;
  HDIB Handle() const { return dib_; }

 private:
  HDIB dib_ = nullptr;
};

nlohmann::ordered_json Describe(const DibFile& dib) {
  char* lpbi = static_cast<char*>(GlobalLock(dib.Handle()));
  nlohmann::ordered_json info;
  DWORD headerSize;
  std::memcpy(&headerSize, lpbi, sizeof headerSize);
  info["header_bytes"] = headerSize;
  info["header"] = headerSize == sizeof(BITMAPINFOHEADER) ? "windows" : "core";
  info["width"] = DIBWidth(lpbi);
  info["height"] = DIBHeight(lpbi);
  info["colors"] = DIBNumColors(lpbi);
  info["color_table_bytes"] = PaletteSize(lpbi);
  info["pixels_at"] = FindDIBBits(lpbi) - lpbi;
  GlobalUnlock(dib.Handle());
  return info;
}

// Paints the DIB 1:1 into a 32-bit DIB section and writes it as a binary PPM.
void WritePpm(const DibFile& dib, const std::string& to) {
  char* lpbi = static_cast<char*>(GlobalLock(dib.Handle()));
  const long width = static_cast<long>(DIBWidth(lpbi));
  const long height = static_cast<long>(DIBHeight(lpbi));
  GlobalUnlock(dib.Handle());
  if (width <= 0 || height <= 0 || width > 65535 || height > 65535)
    throw ToolError("the picture's size cannot be painted (" + std::to_string(width) + " x " +
                    std::to_string(height) + ")");
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP surface = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (surface == nullptr) {
    DeleteDC(dc);
    throw ToolError("no memory for a picture of " + std::to_string(width) + " x " +
                    std::to_string(height));
  }
  SelectObject(dc, surface);
  RECT rect = {0, 0, static_cast<LONG>(width), static_cast<LONG>(height)};
  PaintDIB(dc, &rect, dib.Handle(), &rect, nullptr);
  std::string ppm = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
  const auto* pixels = static_cast<const unsigned char*>(bits);
  for (long i = 0; i < width * height; ++i) {
    ppm += static_cast<char>(pixels[4 * i + 2]);
    ppm += static_cast<char>(pixels[4 * i + 1]);
    ppm += static_cast<char>(pixels[4 * i]);
  }
  DeleteDC(dc);
  DeleteObject(surface);
  WriteFileWhole(to, ppm);
}

}  // namespace

void AddBmpCommands(CLI::App& app, Action& action) {
  auto* bmp = app.add_subcommand("bmp", "BMP files as the library reads and paints them");
  bmp->require_subcommand(1);
  auto file = std::make_shared<std::string>();
  auto to = std::make_shared<std::string>();
  auto json = std::make_shared<bool>(false);
  auto* info = bmp->add_subcommand("info", "what the header says, through the library's accessors");
  info->add_option("FILE", *file, "the BMP file")->required();
  info->add_flag("--json", *json, "as JSON");
  info->callback([=, &action] {
    action = [=] {
      StartLibrary();
      DibFile dib(*file);
      nlohmann::ordered_json described = Describe(dib);
      if (*json) {
        std::cout << described.dump(2) << "\n";
      } else {
        for (const auto& [key, value] : described.items())
          std::cout << key << ": " << (value.is_string() ? value.get<std::string>() : value.dump())
                    << "\n";
      }
      return 0;
    };
  });
  auto* decode = bmp->add_subcommand("decode", "the pixels as PaintDIB paints them, as a PPM file");
  decode->add_option("FILE", *file, "the BMP file")->required();
  decode->add_option("--to", *to, "the PPM file to write")->required();
  decode->callback([=, &action] {
    action = [=] {
      StartLibrary();
      DibFile dib(*file);
      WritePpm(dib, *to);
      return 0;
    };
  });
}
