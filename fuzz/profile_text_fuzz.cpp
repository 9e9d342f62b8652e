// INI files come from users and installers: any bytes must parse, the text must come back byte
// for byte, and edits must keep every other line.
#include "profile_text.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  lyrwin::ProfileText profile(text);
  if (profile.Text() != text) std::abort();
  std::string section = size > 0 ? std::string(1, static_cast<char>(data[0])) : "S";
  profile.Set(section, "Key", "Value");
  profile.Set("General", "Key", " spaced ");
  const lyrwin::ProfileLine* entry = profile.Find("General", "Key");
  if (entry == nullptr || entry->value != "spaced") std::abort();
  for (const std::string& name : profile.SectionNames()) profile.DeleteKey(name, "Key");
  profile.DeleteSection("General");
  lyrwin::ProfileText reread(profile.Text());
  if (reread.Text() != profile.Text()) std::abort();
  return 0;
}
