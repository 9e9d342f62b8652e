#include "qr_text.h"

#include <qrencode.h>

#include <memory>

std::string QrText(const std::string& text) {
  std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
      QRcode_encodeString(text.c_str(), 0, QR_ECLEVEL_M, QR_MODE_8, 1), &QRcode_free);
  if (!code) return std::string();
  const int quiet = 2;  // modules of light border on each side
  const int size = code->width + 2 * quiet;
  // Light modules are drawn in the terminal's text colour and dark ones left as its background:
  // on the usual dark terminal with light text that is a dark code on a light ground.
  auto dark = [&](int x, int y) {
    x -= quiet;
    y -= quiet;
    if (x < 0 || y < 0 || x >= code->width || y >= code->width) return false;
    return (code->data[y * code->width + x] & 1) != 0;
  };
  std::string out;
  for (int y = 0; y < size; y += 2) {
    for (int x = 0; x < size; ++x) {
      const bool top = !dark(x, y);
      const bool bottom = y + 1 < size && !dark(x, y + 1);
      out += top && bottom ? "\u2588" : top ? "\u2580" : bottom ? "\u2584" : " ";
    }
    out += "\n";
  }
  return out;
}
