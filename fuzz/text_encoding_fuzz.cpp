// Bytes leaving lyrutil as text: a code page 1252 text and any host file name come out as valid
// UTF-8 that JSON takes, never read past their end; valid UTF-8 passes unchanged.
#include "text_encoding.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string name = HostPathText(bytes);
  if (HostPathText(name) != name) std::abort();  // the result is valid UTF-8
  const std::string converted = Cp1252ToUtf8(bytes);
  if (HostPathText(converted) != converted) std::abort();
  Utf8ToCp1252(bytes);  // typed text of any kind is taken in without reading past its end
  const nlohmann::json value = {{"name", name}, {"raw", bytes}};
  if (nlohmann::json::parse(DumpJson(value))["name"] != name) std::abort();
  return 0;
}
