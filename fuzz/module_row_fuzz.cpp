// Rows of the module table and lines of AR archives, as people edit them: any bytes must parse
// into the record without writing past it, and the archive's module name stays within 99
// characters.
#include <LyrUtil.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto row = std::make_unique<char[]>(size + 1);
  std::memcpy(row.get(), data, size);
  row[size] = '\0';
  __RangeValue7400 range;
  std::memset(&range, 0, sizeof range);
  ParseModuleInfo(row.get(), range);
  if (strnlen(range.szModuleName, sizeof range.szModuleName) > 19) std::abort();
  __Q7400ProfileModule module;
  std::memset(&module, 'x', sizeof module);  // names without terminators, as a careless host gives
  module.dModuleValue = range.dModuleValue;
  checkModule(range, module);
  if (GetModuleNameFromARArchive(row.get()).GetLength() > 99) std::abort();
  return 0;
}
