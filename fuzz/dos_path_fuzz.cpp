// DOS paths arrive from users, INI files and method files: any bytes must normalise and map
// without reading or writing past a buffer.
#include "internal.h"

#include <lyrhost.h>

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool prefixed = LyrSetPrefix("/tmp/lyrutil-fuzz-prefix");
  (void)prefixed;
  std::string path(reinterpret_cast<const char*>(data), size);
  path = path.c_str();  // the API sees NUL-terminated strings
  lyrwin::DosPath dos;
  lyrwin::HostPath host;
  if (lyrwin::NormalizeDosPath(path.c_str(), &dos) == 0) {
    if (dos.full.size() >= MAX_PATH) std::abort();
    lyrwin::MapToHost(dos, &host);
  }
  char buffer[MAX_PATH];
  LPSTR part = nullptr;
  DWORD n = GetFullPathNameA(path.c_str(), MAX_PATH, buffer, &part);
  if (n < MAX_PATH && n != 0 && part != nullptr && (part < buffer || part > buffer + n))
    std::abort();
  // Not for a network name: that asks a server (a name lookup for each input).
  if (!dos.IsNetwork()) GetFileAttributesA(path.c_str());
  return 0;
}
