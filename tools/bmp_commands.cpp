// lyrutil bmp: BMP files read and painted by the library (ReadDIBFile, PaintDIB), as a suite
// application shows them, with what the header says; pictures written as PPM or, through cairo,
// PNG.
#include "audit_files.h"
#include "commands.h"
#include "output_file.h"
#include "text_encoding.h"
#include "size_text.h"
#include "tool_error.h"
#include "tool_runtime.h"

#include <LyrUtil.h>

#include <nlohmann/json.hpp>

#include <cairo.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>

namespace {

// A BMP that arrives through a pipe, a FIFO or a terminal, read whole first: its length is known
// only at its end, and the library sizes its block from the length before it reads.
class StreamedFile final : public CFile {
 public:
  explicit StreamedFile(std::string bytes) : bytes_(std::move(bytes)) {}
  ULONGLONG GetLength() const override { return bytes_.size(); }
  UINT Read(void* buffer, UINT count) override {
    const size_t n = std::min<size_t>(count, bytes_.size() - at_);
    std::memcpy(buffer, bytes_.data() + at_, n);
    at_ += n;
    return static_cast<UINT>(n);
  }

 private:
  std::string bytes_;
  size_t at_ = 0;
};

// Everything the stream brings, up to the largest BMP file (4 GiB); false when reading fails.
bool ReadStream(const std::string& hostPath, std::string* bytes) {
  std::ifstream in(hostPath, std::ios::binary);
  if (!in) return false;
  constexpr size_t kLargestBmp = 0xFFFFFFFFu;
  char chunk[1 << 16];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    if (bytes->size() + static_cast<size_t>(in.gcount()) > kLargestBmp) return false;
    bytes->append(chunk, static_cast<size_t>(in.gcount()));
  }
  return in.eof();
}

// The DIB of a BMP file, freed with the object.
class DibFile {
 public:
  explicit DibFile(const std::string& hostPath) {
    struct stat st;
    const bool found = ::stat(hostPath.c_str(), &st) == 0;
    if (found && S_ISDIR(st.st_mode)) throw ToolError(hostPath + ": not a file");
    if (found && !S_ISREG(st.st_mode)) {
      std::string bytes;
      if (!ReadStream(hostPath, &bytes)) throw ToolError(hostPath + ": cannot be read");
      StreamedFile stream(std::move(bytes));
      dib_ = ReadDIBFile(stream);
    } else {
      const std::string dos = DosName(hostPath);
      CFile file;
      if (!file.Open(dos.c_str(), CFile::modeRead | CFile::shareDenyWrite))
        throw ToolError(hostPath + ": cannot be read");
      dib_ = ReadDIBFile(file);
    }
    if (dib_ == nullptr) throw ToolError(hostPath + ": not a BMP file");
  }
  ~DibFile() { GlobalFree(dib_); }
  DibFile(const DibFile&) = delete;
  DibFile& operator=(const DibFile&) = delete;
  HDIB Handle() const { return dib_; }

 private:
  HDIB dib_ = nullptr;
};

// The height of a Windows header as the signed number it is (negative: rows run from the top);
// the accessor gives it as an unsigned 32-bit value.
long SignedHeight(char* lpbi) {
  return static_cast<LONG>(static_cast<DWORD>(DIBHeight(lpbi)));
}

nlohmann::ordered_json Describe(const DibFile& dib) {
  char* lpbi = static_cast<char*>(GlobalLock(dib.Handle()));
  nlohmann::ordered_json info;
  DWORD headerSize;
  std::memcpy(&headerSize, lpbi, sizeof headerSize);
  info["header_bytes"] = headerSize;
  info["header"] = headerSize == sizeof(BITMAPINFOHEADER) ? "windows"
                   : headerSize > sizeof(BITMAPINFOHEADER)
                       ? "windows, later version (the library reads it as a core header)"
                       : "core";
  info["width"] = DIBWidth(lpbi);
  const bool windows = headerSize == sizeof(BITMAPINFOHEADER);
  const long height = SignedHeight(lpbi);
  info["height"] = windows ? std::abs(height) : static_cast<long>(DIBHeight(lpbi));
  if (windows) info["top_down"] = height < 0;
  info["colors"] = DIBNumColors(lpbi);
  info["color_table_bytes"] = PaletteSize(lpbi);
  info["pixels_at"] = FindDIBBits(lpbi) - lpbi;
  GlobalUnlock(dib.Handle());
  return info;
}

// Where GDI finds the rows of a DIB with a later Windows header (108 or 124 bytes), or with a
// 40-byte header and bit fields: after the header, the three colour masks that follow a 40-byte
// header, and the colour table. The library's FindDIBBits, by the bitmap rules, points at the
// masks of the second kind and reads a header of the first as a core header.
const char* RowsAsGdiFindsThem(const char* lpbi, const BITMAPINFOHEADER& header) {
  const DWORD colors = header.biClrUsed != 0
                           ? header.biClrUsed
                           : (header.biBitCount <= 8 ? 1u << header.biBitCount : 0);
  const size_t masks =
      header.biSize == sizeof(BITMAPINFOHEADER) && header.biCompression == BI_BITFIELDS
          ? 3 * sizeof(DWORD)
          : 0;
  return lpbi + header.biSize + masks + static_cast<size_t>(colors) * sizeof(RGBQUAD);
}

// The DIB painted by PaintDIB into a 32-bit top-down DIB section of `width` x `height` (the
// picture's own size when 0): stretched as a suite application shows it in a window. A later
// Windows header (108 or 124 bytes, ImageMagick's default), which the library's accessors read as
// a core header, and a 40-byte header with bit fields, whose rows the library finds at the
// masks, are painted straight through GDI instead: the tool does better than the library here.
class PaintedPicture {
 public:
  PaintedPicture(const DibFile& dib, long width, long height) {
    char* lpbi = static_cast<char*>(GlobalLock(dib.Handle()));
    DWORD headerSize;
    std::memcpy(&headerSize, lpbi, sizeof headerSize);
    BITMAPINFOHEADER header = {};
    if (headerSize >= sizeof(BITMAPINFOHEADER)) std::memcpy(&header, lpbi, sizeof header);
    const bool throughGdi =
        headerSize > sizeof(BITMAPINFOHEADER) ||
        (headerSize == sizeof(BITMAPINFOHEADER) && header.biCompression == BI_BITFIELDS);
    const long dibWidth = throughGdi ? header.biWidth : static_cast<long>(DIBWidth(lpbi));
    const long dibHeight = throughGdi ? std::labs(header.biHeight)
                           : headerSize == sizeof(BITMAPINFOHEADER)
                               ? std::abs(SignedHeight(lpbi))
                               : static_cast<long>(DIBHeight(lpbi));
    width_ = width != 0 ? width : dibWidth;
    height_ = height != 0 ? height : dibHeight;
    if (dibWidth <= 0 || dibHeight <= 0 || width_ <= 0 || height_ <= 0 || width_ > kLargestSide ||
        height_ > kLargestSide) {
      GlobalUnlock(dib.Handle());
      throw ToolError("the picture's size cannot be painted (" + std::to_string(width_) + " x " +
                      std::to_string(height_) + ")");
    }
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    dc_ = CreateCompatibleDC(nullptr);
    surface_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
    if (surface_ == nullptr) {
      DeleteDC(dc_);
      GlobalUnlock(dib.Handle());
      throw ToolError("no memory for a picture of " + std::to_string(width_) + " x " +
                      std::to_string(height_));
    }
    SelectObject(dc_, surface_);
    SetStretchBltMode(dc_, COLORONCOLOR);
    if (throughGdi) {
      StretchDIBits(dc_, 0, 0, width_, height_, 0, 0, dibWidth, dibHeight,
                    RowsAsGdiFindsThem(lpbi, header), reinterpret_cast<BITMAPINFO*>(lpbi),
                    DIB_RGB_COLORS, SRCCOPY);
    }
    GlobalUnlock(dib.Handle());
    if (!throughGdi) {
      RECT to = {0, 0, static_cast<LONG>(width_), static_cast<LONG>(height_)};
      RECT from = {0, 0, static_cast<LONG>(dibWidth), static_cast<LONG>(dibHeight)};
      PaintDIB(dc_, &to, dib.Handle(), &from, nullptr);
    }
  }
  ~PaintedPicture() {
    DeleteDC(dc_);
    DeleteObject(surface_);
  }
  PaintedPicture(const PaintedPicture&) = delete;
  PaintedPicture& operator=(const PaintedPicture&) = delete;

  // Rows from the top, four bytes a pixel: blue, green, red, unused.
  const unsigned char* Bits() const { return static_cast<const unsigned char*>(bits_); }
  long Width() const { return width_; }
  long Height() const { return height_; }

 private:
  long width_ = 0;
  long height_ = 0;
  HDC dc_ = nullptr;
  HBITMAP surface_ = nullptr;
  void* bits_ = nullptr;
};

void WritePpm(const PaintedPicture& picture, const std::string& to) {
  std::string ppm =
      "P6\n" + std::to_string(picture.Width()) + " " + std::to_string(picture.Height()) + "\n255\n";
  const unsigned char* pixels = picture.Bits();
  for (long i = 0; i < picture.Width() * picture.Height(); ++i) {
    ppm += static_cast<char>(pixels[4 * i + 2]);
    ppm += static_cast<char>(pixels[4 * i + 1]);
    ppm += static_cast<char>(pixels[4 * i]);
  }
  WriteFileWhole(to, ppm);
}

cairo_status_t AppendPng(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

// The DIB section's rows are cairo's RGB24 format as they stand (blue, green, red, unused in
// memory on a little-endian machine).
void WritePng(const PaintedPicture& picture, const std::string& to) {
  cairo_surface_t* surface = cairo_image_surface_create_for_data(
      const_cast<unsigned char*>(picture.Bits()), CAIRO_FORMAT_RGB24,
      static_cast<int>(picture.Width()), static_cast<int>(picture.Height()),
      static_cast<int>(picture.Width() * 4));
  std::string png;
  const cairo_status_t status = cairo_surface_write_to_png_stream(surface, AppendPng, &png);
  cairo_surface_destroy(surface);
  if (status != CAIRO_STATUS_SUCCESS)
    throw ToolError(std::string("the PNG could not be made: ") + cairo_status_to_string(status));
  WriteFileWhole(to, png);
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
  auto format = std::make_shared<std::string>("text");
  info->add_option("-o,--output", *format, "text or json")->check(CLI::IsMember({"text", "json"}));
  info->add_flag("--json", *json, "as JSON: the same as -o json");
  info->callback([=, &action] {
    action = [=] {
      StartLibrary();
      DibFile dib(*file);
      nlohmann::ordered_json described = Describe(dib);
      if (*json || *format == "json") {
        std::cout << DumpJson(described, 2) << "\n";
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
      WritePpm(PaintedPicture(dib, 0, 0), *to);
      return 0;
    };
  });
  auto size = std::make_shared<std::string>();
  auto* png = bmp->add_subcommand("png", "the picture as PaintDIB paints it, as a PNG file");
  png->add_option("FILE", *file, "the BMP file")->required();
  png->add_option("--to", *to, "the PNG file to write")->required();
  png->add_option("--size", *size, "WIDTHxHEIGHT to stretch to, as a window would (COLORONCOLOR)");
  png->callback([=, &action] {
    action = [=] {
      long width = 0;
      long height = 0;
      if (!size->empty() && !ParseSizeText(*size, &width, &height))
        throw ToolError("--size: not WIDTHxHEIGHT from 1x1 to 32767x32767: " + *size);
      StartLibrary();
      DibFile dib(*file);
      WritePng(PaintedPicture(dib, width, height), *to);
      return 0;
    };
  });
}
