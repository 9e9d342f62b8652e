// TextOutA and the text colour. A printer draws the text onto its page; a memory DC gets the
// text's pixels, rasterised by cairo without smoothing (as GDI draws with its default quality),
// in the same monospaced 10-point font at the DC's 96 dots per inch.
#include "gdi_objects.h"
#include "internal.h"

#include <cairo.h>

#include <algorithm>

namespace lyrwin {
namespace {

constexpr double kFontPoints = 10;

void SetFont(cairo_t* cr, int dotsPerInch) {
  cairo_select_font_face(cr, "monospace", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, kFontPoints * dotsPerInch / 72.0);
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_NONE);
  cairo_set_font_options(cr, options);
  cairo_font_options_destroy(options);
}

// Where the text's ink can fall, from the top left of its cell: its advance or its ink,
// whichever reaches further, and the font's height or the ink's.
struct TextBox {
  double ascent = 0;
  double right = 0;
  double bottom = 0;
};

TextBox MeasureText(const std::string& utf8, int dotsPerInch) {
  cairo_surface_t* probe = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
  cairo_t* cr = cairo_create(probe);
  SetFont(cr, dotsPerInch);
  cairo_font_extents_t font;
  cairo_font_extents(cr, &font);
  cairo_text_extents_t ink;
  cairo_text_extents(cr, utf8.c_str(), &ink);
  cairo_destroy(cr);
  cairo_surface_destroy(probe);
  TextBox box;
  box.ascent = font.ascent;
  box.right = std::max(ink.x_advance, ink.x_bearing + ink.width) + 1;
  box.bottom = std::max(font.ascent + font.descent, font.ascent + ink.y_bearing + ink.height) + 1;
  return box;
}

// Draws `ansi` into the bitmap with the top left of its cell at (x, y). Only the part of the
// bitmap that the text can cover is rasterised, so the cost follows the glyphs drawn.
void DrawIntoBitmap(BitmapObject& bitmap, int x, int y, const std::string& ansi, COLORREF color,
                    int dotsPerInch) {
  const std::string utf8 = PrintableUtf8(ansi);
  const TextBox box = MeasureText(utf8, dotsPerInch);
  const long long left = std::max(x, 0);
  const long long top = std::max(y, 0);
  const long long right = std::min<long long>(bitmap.width, x + static_cast<long long>(box.right));
  const long long bottom =
      std::min<long long>(bitmap.height, y + static_cast<long long>(box.bottom));
  if (right <= left || bottom <= top) return;
  const int width = static_cast<int>(right - left);
  const int height = static_cast<int>(bottom - top);
  cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, width, height);
  cairo_t* cr = cairo_create(mask);
  cairo_translate(cr, static_cast<double>(x - left), static_cast<double>(y - top));
  SetFont(cr, dotsPerInch);
  cairo_move_to(cr, 0, box.ascent);
  cairo_show_text(cr, utf8.c_str());
  cairo_destroy(cr);
  cairo_surface_flush(mask);
  if (cairo_surface_status(mask) == CAIRO_STATUS_SUCCESS) {
    const unsigned char* data = cairo_image_surface_get_data(mask);
    const int stride = cairo_image_surface_get_stride(mask);
    for (int row = 0; row < height; ++row)
      for (int column = 0; column < width; ++column)
        if (data[static_cast<size_t>(row) * stride + column] >= 0x80)
          bitmap.Put(static_cast<int>(left) + column, static_cast<int>(top) + row, color);
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
