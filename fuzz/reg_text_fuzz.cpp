// The registry file is text a person may edit: any bytes must parse without harm, and what the
// stand-in writes must read back to the same tree.
#include "reg_file.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lyrwin::RegTree tree;
  lyrwin::ParseRegText(std::string(reinterpret_cast<const char*>(data), size), &tree);
  std::string written = lyrwin::FormatRegText(tree);
  lyrwin::RegTree reread;
  lyrwin::ParseRegText(written, &reread);
  if (lyrwin::FormatRegText(reread) != written) std::abort();
  return 0;
}
