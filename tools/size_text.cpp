// Picture sizes typed on lyrutil's command line.
#include "size_text.h"

namespace {

// A decimal number of at most five digits from `text` at `at`, which moves past it.
bool ReadSide(const std::string& text, size_t* at, long* side) {
  long value = 0;
  size_t digits = 0;
  while (*at < text.size() && text[*at] >= '0' && text[*at] <= '9') {
    if (++digits > 5) return false;
    value = value * 10 + (text[*at] - '0');
    ++*at;
  }
  if (digits == 0 || value < 1 || value > kLargestSide) return false;
  *side = value;
  return true;
}

}  // namespace

bool ParseSizeText(const std::string& text, long* width, long* height) {
  size_t at = 0;
  long w = 0;
  long h = 0;
  if (!ReadSide(text, &at, &w) || at >= text.size() || (text[at] != 'x' && text[at] != 'X'))
    return false;
  ++at;
  if (!ReadSide(text, &at, &h) || at != text.size()) return false;
  *width = w;
  *height = h;
  return true;
}
