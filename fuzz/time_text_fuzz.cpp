// Times typed on lyrutil's command line: any text is read or refused, never past its end, and a
// time that is read lies on the audit trail's 32-bit scale.
#include "time_text.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  int32_t seconds = 0;
  if (ParseTimeText(text, 1733400000, &seconds)) {
    std::string shown = LocalTimeText(seconds);
    if (shown.size() < 19) std::abort();
  }
  return 0;
}
