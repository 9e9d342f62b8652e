// The name routines take names from users, INI files and method files: whatever the bytes, they
// must stay inside the 260-byte buffers (or the name's own, when longer).
#include <LyrUtil.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A name in a buffer of exactly the size the interface promises, so that AddressSanitizer sees
// any write past it.
std::vector<char> NameBuffer(const std::string& text) {
  std::vector<char> buffer(text.size() + 1 > MAX_PATH ? text.size() + 1 : MAX_PATH);
  std::memcpy(buffer.data(), text.c_str(), text.size() + 1);
  return buffer;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  text = text.c_str();
  std::vector<char> out(MAX_PATH);

  std::vector<char> name = NameBuffer(text);
  GetExt(name.data());
  GetExt(name.data(), out.data());
  GetDirecFromFile(name.data(), out.data());
  GetNameFromFile(name.data(), out.data());
  GetName_ExtFromFile(name.data(), out.data());
  FormatDirString(name.data(), out.data());
  LegalFileName(name.data());
  GetNumBackSlashes(name.data());
  IsitMeth(name.data());

  name = NameBuffer(text);
  FixExt(name.data(), ".met");
  name = NameBuffer(text);
  FixExt_SansRemoveExt(name.data(), "_cr");
  name = NameBuffer(text);
  FixFileExt(static_cast<unsigned short>(size), name.data());
  name = NameBuffer(text);
  FixFileExt_samsRemoveExt(static_cast<unsigned short>(size), name.data());
  name = NameBuffer(text);
  RemoveExt(name.data());
  name = NameBuffer(text);
  CheckDirectoryLength(name.data(), static_cast<unsigned int>(size % 300));
  name = NameBuffer(text);
  std::vector<char> directory = NameBuffer(text.substr(0, text.size() / 2));
  MakeFFPS(directory.data(), name.data());
  return 0;
}
