// BMP files: a 14-byte file header, then the packed DIB. Copies of global memory blocks.
#include <LyrUtil.h>

#include <cstring>

namespace {

constexpr WORD kBmpType = 0x4D42;  // "BM"
constexpr UINT kBlockFlags = GMEM_MOVEABLE | GMEM_ZEROINIT;

// Locks the handle's block for the length of a scope.
class Locked {
 public:
  explicit Locked(HGLOBAL block) : block_(block), data_(static_cast<char*>(GlobalLock(block))) {}
  ~Locked() {
    if (data_ != nullptr) GlobalUnlock(block_);
  }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;
  char* Data() const { return data_; }

 private:
  HGLOBAL block_;
  char* data_;
};

}  // namespace

void* CopyHandle(void* h) {
  if (h == nullptr) return nullptr;
  const SIZE_T size = GlobalSize(h);
  HGLOBAL copy = GlobalAlloc(kBlockFlags, size);
  if (copy == nullptr) return nullptr;
  Locked from(h);
  Locked to(copy);
  if (from.Data() != nullptr && to.Data() != nullptr && size > 0)
    std::memcpy(to.Data(), from.Data(), size);
  return copy;
}

namespace {

// The bytes of an uncompressed image: rows made up to whole 32-bit words, as many as the height
// says, whichever way they run (a negative height is a top-down DIB). 0 for a negative width.
ULONGLONG UncompressedImageBytes(const BITMAPINFOHEADER& header) {
  if (header.biWidth < 0) return 0;
  const ULONGLONG row =
      (static_cast<ULONGLONG>(header.biBitCount) * static_cast<ULONGLONG>(header.biWidth) + 31) /
      32 * 4;
  const LONGLONG height = header.biHeight;
  return row * static_cast<ULONGLONG>(height < 0 ? -height : height);
}

// The bytes between a 40-byte header and the rows as a BMP file lays them out: the colour table,
// and before it the three colour masks of a bit-field DIB, which stand where the table starts.
ULONGLONG TableBytes(char* lpbi, const BITMAPINFOHEADER& header) {
  return PaletteSize(lpbi) + (header.biCompression == BI_BITFIELDS ? 3 * sizeof(DWORD) : 0);
}

}  // namespace

// A DIB whose block is shorter than its header, colour table and image say is not saved: what
// it lacks would be copied from whatever memory follows the block. The masks of a bit-field DIB
// are saved with the colour table, so that the file holds every row and reads back whole.
int SaveDIB(HDIB hDib, CFile& file) {
  if (hDib == nullptr) return 0;
  const SIZE_T blockBytes = GlobalSize(hDib);
  if (blockBytes < sizeof(BITMAPINFOHEADER)) return 0;
  Locked dib(hDib);
  char* lpbi = dib.Data();
  if (lpbi == nullptr) return 0;
  DWORD headerSize;
  std::memcpy(&headerSize, lpbi, sizeof headerSize);
  // A core-header DIB is not saved; its header is read no further than its size field.
  if (headerSize != sizeof(BITMAPINFOHEADER)) return 0;
  BITMAPINFOHEADER header;
  std::memcpy(&header, lpbi, sizeof header);

  const bool compressed = header.biCompression == BI_RLE8 || header.biCompression == BI_RLE4;
  const ULONGLONG image = compressed ? header.biSizeImage : UncompressedImageBytes(header);
  const ULONGLONG table = TableBytes(lpbi, header);
  const ULONGLONG size = header.biSize + table + image;
  if ((!compressed && header.biWidth < 0) || size > blockBytes ||
      size + sizeof(BITMAPFILEHEADER) > 0xFFFFFFFFull)
    return 0;
  if (!compressed) {
    header.biSizeImage = static_cast<DWORD>(image);  // saving changes the DIB in memory
    std::memcpy(lpbi, &header, sizeof header);
  }
  BITMAPFILEHEADER fileHeader;
  fileHeader.bfType = kBmpType;
  fileHeader.bfSize = static_cast<DWORD>(size + sizeof(BITMAPFILEHEADER));
  fileHeader.bfReserved1 = 0;
  fileHeader.bfReserved2 = 0;
  fileHeader.bfOffBits = static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + header.biSize + table);
  file.Write(&fileHeader, sizeof fileHeader);  // a CFileException passes on, the DIB unlocked
  file.Write(lpbi, static_cast<UINT>(size));
  return 1;
}

// The file's header sizes and pixel offset are not used: the packed DIB starts right after the
// file header and runs to the end of the file. A file too short to hold the header it promises is
// refused, so that the accessors never read past the block. The length is taken once, before
// reading: a pipe's reads as 0 and is refused, a file that grows meanwhile is read no further
// than the block made for it.
HDIB ReadDIBFile(CFile& file) {
  const ULONGLONG length = file.GetLength();
  BITMAPFILEHEADER fileHeader;
  if (file.Read(&fileHeader, sizeof fileHeader) != sizeof fileHeader) return nullptr;
  if (fileHeader.bfType != kBmpType) return nullptr;
  if (length <= sizeof fileHeader || length > 0xFFFFFFFFull) return nullptr;
  HGLOBAL block = GlobalAlloc(kBlockFlags, static_cast<SIZE_T>(length));
  if (block == nullptr) return nullptr;
  const UINT dibBytes = static_cast<UINT>(length - sizeof fileHeader);
  bool whole;
  {
    Locked dib(block);
    whole = dib.Data() != nullptr && file.Read(dib.Data(), dibBytes) == dibBytes;
    if (whole) {
      DWORD headerSize = 0;
      if (dibBytes >= sizeof headerSize) std::memcpy(&headerSize, dib.Data(), sizeof headerSize);
      const DWORD needed = headerSize == sizeof(BITMAPINFOHEADER) ? sizeof(BITMAPINFOHEADER)
                                                                  : sizeof(BITMAPCOREHEADER);
      whole = dibBytes >= needed;
    }
  }
  if (!whole) {
    GlobalFree(block);
    return nullptr;
  }
  return reinterpret_cast<HDIB>(block);
}
