// Picture sizes typed on lyrutil's command line: any text is read or refused, never past its
// end; a size that is read lies within cairo's limits and reads back the same when written out.
#include "size_text.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  long width = 0;
  long height = 0;
  if (!ParseSizeText(text, &width, &height)) return 0;
  if (width < 1 || height < 1 || width > kLargestSide || height > kLargestSide) std::abort();
  long againWidth = 0;
  long againHeight = 0;
  if (!ParseSizeText(std::to_string(width) + "x" + std::to_string(height), &againWidth,
                     &againHeight) ||
      againWidth != width || againHeight != height)
    std::abort();
  return 0;
}
