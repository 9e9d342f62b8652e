// The stand-in's printer: a page at 600 dots per inch whose documents become PDF files, drawn
// with cairo. Device units are dots from the top-left corner of the printable area, inside the
// paper's margins (A4 with 1/4 inch margins, unless a print server's queue says otherwise). A
// document is written under a temporary name beside its destination and renamed when it ends, so a
// reader never finds half a file and an abandoned document leaves nothing.
#ifndef LYRWIN_PDF_PRINTER_H
#define LYRWIN_PDF_PRINTER_H

#include <windows.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace lyrwin {

// The printer every installation has.
constexpr const char* kPdfPrinterName = "LyrUtil PDF";

// Pixels to place on a page, rows from the top, each 0xAARRGGBB with alpha 0 (nothing painted
// there) or 0xFF.
struct PageImage {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
};

// The paper, and the margins around its printable area in dots.
struct PageGeometry {
  double widthMm = 210;
  double heightMm = 297;
  int left = 150, top = 150, right = 150, bottom = 150;  // 1/4 inch
  int WidthDots() const;                                 // 4961 for A4
  int HeightDots() const;
};

class PdfPrinter {
 public:
  static constexpr int kDotsPerInch = 600;

  // A printer whose documents become PDF files; with a `queue`, one whose documents go as PDF
  // jobs to that queue of the print server when they end.
  explicit PdfPrinter(std::string name, std::string queue = std::string(),
                      PageGeometry page = PageGeometry());
  ~PdfPrinter();  // a document not ended is thrown away
  PdfPrinter(const PdfPrinter&) = delete;
  PdfPrinter& operator=(const PdfPrinter&) = delete;

  const std::string& Name() const { return name_; }
  int GetDeviceCaps(int index) const;

  // Calls from several threads on one printer take turns: "Cancel printing" may end the document
  // while another thread draws, which then finds no document open and fails.
  // Each returns as the GDI call of the same name: a job number or SP_ERROR for StartDoc, a value
  // above zero or SP_ERROR for the others; the last error says why.
  int StartDoc(const DOCINFOA& info);
  int StartPage();
  int EndPage();
  int EndDoc();
  int AbortDoc();

  // Draw on the current page; false when no document is open.
  bool Text(int x, int y, const std::string& ansi, COLORREF color);
  // Places `image` in the rectangle at (x, y) of `width` by `height` device units, whole source
  // pixels scaled without blending; a negative extent mirrors the image.
  bool Image(int x, int y, int width, int height, const PageImage& image);

 private:
  struct Document;
  std::string name_;
  std::string queue_;
  PageGeometry page_;
  std::mutex mutex_;  // guards document_ and its drawing
  std::unique_ptr<Document> document_;
};

}  // namespace lyrwin

#endif  // LYRWIN_PDF_PRINTER_H
