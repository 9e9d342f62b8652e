// Titles come from users: the two lines always rebuild the title around one space, and neither
// outgrows a buffer the size of the title.
#include <LyrUtil.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string title(reinterpret_cast<const char*>(data), size);
  title = title.c_str();
  auto first = std::make_unique<char[]>(title.size() + 1);
  auto second = std::make_unique<char[]>(title.size() + 1);
  ParseTitle(title.c_str(), first.get(), second.get());
  std::string rebuilt =
      std::string(first.get()) + (title.find(' ') == std::string::npos ? "" : " ") + second.get();
  if (rebuilt != title) std::abort();
  std::string spaced = title;
  RemoveSpaces(&spaced[0]);
  if (std::strchr(spaced.c_str(), ' ') != nullptr) std::abort();
  return 0;
}
