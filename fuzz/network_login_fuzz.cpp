// A network login file is text a user or another program wrote: any bytes must read as some
// login without reading past the text.
#include "internal.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lyrwin::NetworkLogin login;
  lyrwin::ParseNetworkLogin(std::string_view(reinterpret_cast<const char*>(data), size), &login);
  if (login.user.size() + login.password.size() + login.domain.size() > size) std::abort();
  return 0;
}
