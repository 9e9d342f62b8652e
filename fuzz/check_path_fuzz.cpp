// CheckPath cleans whatever a user typed: arbitrary bytes in its 260-byte buffer must come out as
// a path of at most 256 characters, never written past the buffer.
#include <LyrUtil.h>
#include <lyrhost.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {
struct SilentUi : LyrHostUi {
  int ShowMessage(const char*, UINT, UINT) override { return IDNO; }
  int RunDialog(LyrDialog&) override { return IDCANCEL; }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static SilentUi ui;
  static bool ready = [] {
    LyrSetPrefix("/tmp/lyrutil-fuzz-prefix");
    LyrSetHostUi(&ui);
    return true;
  }();
  (void)ready;
  if (size < 2) return 0;
  auto path = std::make_unique<char[]>(MAX_PATH);  // exactly the documented buffer
  size_t n = size - 2 < MAX_PATH - 1 ? size - 2 : MAX_PATH - 1;
  std::memcpy(path.get(), data + 2, n);
  path[n] = '\0';
  // The create flag stays 0 so that the fuzzer makes no folders; the message flag varies.
  unsigned short result = CheckPath(path.get(), 0, data[1] & 1);
  if (result != 0 && result != 1 && result != 3) std::abort();
  if (std::strlen(path.get()) > MAX_PATH - 1) std::abort();
  return 0;
}
