// GetRangeValue over arbitrary "\module.csv" contents: it must return (never wait or loop), and
// fill the record only from a row of the table.
#include <LyrUtil.h>
#include <lyrhost.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::string table = [] {
    LyrSetPrefix("/tmp/lyrutil-fuzz-module-prefix");
    // No installation: the working directory is the default, C:\tessera.
    CreateDirectoryA("C:\\tessera", nullptr);
    std::string host;
    LyrDosToHostPath("C:\\tessera\\module.csv", &host);
    return host;
  }();
  FILE* file = std::fopen(table.c_str(), "wb");
  if (file == nullptr) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);
  __Q7400ProfileModule module;
  std::memset(&module, 0, sizeof module);
  std::strcpy(module.szModuleName, "tcd");
  module.dModuleValue = 1.0;
  std::strcpy(module.szType, "fix");
  __RangeValue7400 range;
  std::memset(&range, 0, sizeof range);
  std::strcpy(range.szModuleName, "untouched");
  GetRangeValue(module, range);
  if (strnlen(range.szModuleName, sizeof range.szModuleName) > 19) std::abort();
  return 0;
}
