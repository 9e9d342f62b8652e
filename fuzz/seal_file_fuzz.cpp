// A seal file is outside input: whatever bytes sit beside a log, verification reads them without
// reading past a buffer, and says what it finds instead of crashing; a verification key typed
// on the command line is read the same way. The input is split into a log (up to three records)
// and its seal file.
#include "log_seal.h"

#include <LyrUtil.h>
#include <lyrhost.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>

namespace {

// A plain buffer, not a string: the clean-up at exit runs after static strings are gone.
char g_folder[] = "/tmp/lyrutil-seal-fuzz.XXXXXX";

void RemoveFolder() {
  std::system(("rm -rf '" + std::string(g_folder) + "'").c_str());
}

std::string Folder() {
  static const bool made = [] {
    if (::mkdtemp(g_folder) == nullptr || !LyrSetPrefix(g_folder)) std::abort();
    std::atexit(RemoveFolder);
    return true;
  }();
  (void)made;
  return g_folder;
}

void Write(const std::string& path, const uint8_t* data, size_t size) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const std::string drive = Folder() + "/drive_c";
  static const bool made = (std::system(("mkdir -p '" + drive + "'").c_str()), true);
  (void)made;
  const size_t logBytes = std::min<size_t>(size - 1, (data[0] % 4) * sizeof(LOG_ENTRY_STRUCT));
  Write(drive + "/f.log", data + 1, logBytes);
  Write(drive + "/f.log.seal", data + 1 + logBytes, size - 1 - logBytes);
  // The key's epochs: fifteen minutes from a day before `now`, whatever the header claims.
  const int64_t now = 2000000000;
  lyrutil::SealVerificationKey key;
  key.key[0] = data[0];
  key.start = now - 86400;
  key.interval = 900;
  lyrutil::SealVerificationKey typed;
  lyrutil::VerificationKeyFromText(std::string(reinterpret_cast<const char*>(data), size), &typed);
  try {
    lyrutil::VerifySeals("C:\\f.log", &key, "1:00", now);
    lyrutil::VerifySeals("C:\\f.log", nullptr, "", 0);
  } catch (const std::runtime_error&) {
  }
  std::string head;
  lyrutil::SealHead("C:\\f.log", &head);
  return 0;
}
