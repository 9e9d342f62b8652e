// Typed numbers and formatted values: Lyra_atof on any text, FormatFloatString on any double,
// count of decimals and length. The text always fits the length or is the overflow marker, and
// nothing is written past the caller's buffer (length + 1, at least 8).
#include <LyrUtil.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  text = text.c_str();
  double value = 0;
  int refused = Lyra_atof(&value, &text[0]);
  if (refused != 0 && refused != 1) std::abort();
  if (refused == 1 && value != 1.0) std::abort();

  if (size < 12) return 0;
  double number;
  std::memcpy(&number, data, sizeof number);
  unsigned short decimals = static_cast<unsigned short>(data[8] | (data[9] << 8)) % 400;
  unsigned short length = static_cast<unsigned short>(data[10] | (data[11] << 8)) % 600;
  size_t capacity = length + 1 < 8 ? 8 : length + 1;
  auto out = std::make_unique<char[]>(capacity);
  FormatFloatString(number, out.get(), decimals, length, data[8] & 1);
  size_t written = std::strlen(out.get());
  if (written > length && std::strcmp(out.get(), "**000**") != 0) std::abort();
  return 0;
}
