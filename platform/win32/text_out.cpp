// TextOutA and the text colour. A printer draws the text onto its page; a memory DC gets the
// text's pixels, rasterised by cairo without smoothing (as GDI draws with its default quality),
// in the same monospaced 10-point font at the DC's 96 dots per inch.
#include "gdi_objects.h"
#include "internal.h"

#include <cairo.h>

namespace lyrwin {
namespace {

constexpr double kFontPoints = 10;

// Draws `ansi` into the bitmap with the top left of its cell at (x, y).
void DrawIntoBitmap(BitmapObject& bitmap, int x, int y, const std::string& ansi, COLORREF color,
                    int dotsPerInch) {
  const std::string utf8 = PrintableUtf8(ansi);
  // Only the part of the text that can fall on the bitmap is rasterised.
  const int width = bitmap.width - std::max(x, 0);
  const int height = bitmap.height - std::max(y, 0);
  if (width <= 0 || height <= 0) return;
  cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, width, height);
  cairo_t* cr = cairo_create(mask);
  cairo_translate(cr, x < 0 ? x : 0, y < 0 ? y : 0);
  cairo_select_font_face(cr, "monospace", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, kFontPoints * dotsPerInch / 72.0);
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_NONE);
  cairo_set_font_options(cr, options);
  cairo_font_options_destroy(options);
  cairo_font_extents_t extents;
  cairo_font_extents(cr, &extents);
  cairo_move_to(cr, 0, extents.ascent);
  cairo_show_text(cr, utf8.c_str());
  cairo_destroy(cr);
  cairo_surface_flush(mask);
  if (cairo_surface_status(mask) == CAIRO_STATUS_SUCCESS) {
    const unsigned char* data = cairo_image_surface_get_data(mask);
    const int stride = cairo_image_surface_get_stride(mask);
    const int left = std::max(x, 0);
    const int top = std::max(y, 0);
    for (int row = 0; row < height; ++row)
      for (int column = 0; column < width; ++column)
        if (data[static_cast<size_t>(row) * stride + column] >= 0x80)
          bitmap.Put(left + column, top + row, color);
  }
  cairo_surface_destroy(mask);
}

}  // namespace
}  // namespace lyrwin

extern "C" BOOL WINAPI TextOutA(HDC hdc, int x, int y, LPCSTR lpString, int c) {
  auto dc = lyrwin::DcFromHandle(hdc);
  if (!dc || (lpString == nullptr && c != 0) || c < 0) {
    SetLastError(dc ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  const std::string text(lpString != nullptr ? lpString : "", static_cast<size_t>(c));
  if (dc->printer) {
    if (!dc->printer->Text(x, y, text, dc->textColor)) {
      SetLastError(ERROR_INVALID_PARAMETER);  // no document open
      return FALSE;
    }
    return TRUE;
  }
  lyrwin::DrawIntoBitmap(*dc->bitmap, x, y, text, dc->textColor, GetDeviceCaps(hdc, LOGPIXELSY));
  return TRUE;
}

extern "C" COLORREF WINAPI SetTextColor(HDC hdc, COLORREF color) {
  auto dc = lyrwin::DcFromHandle(hdc);
  if (!dc) return CLR_INVALID;
  const COLORREF previous = dc->textColor;
  dc->textColor = color & 0x00FFFFFF;
  return previous;
}

extern "C" COLORREF WINAPI GetTextColor(HDC hdc) {
  auto dc = lyrwin::DcFromHandle(hdc);
  return dc ? dc->textColor : CLR_INVALID;
}
