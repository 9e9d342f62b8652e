// Writes COUNT values "NAME0".."NAME<COUNT-1>" (value i) one call each, to race other writers:
// under HKEY_LOCAL_MACHINE\SOFTWARE\Race, or with an INI file's name as the third argument, in
// that file's section [Race].      reg_writer NAME COUNT [INI-FILE]
// Prints "ready" first, and exits 0 when every write succeeded.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

bool WriteRegistryValue(const std::string& name, DWORD value) {
  HKEY key;
  if (RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Race", &key) != ERROR_SUCCESS) return false;
  const bool written =
      RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                     sizeof value) == ERROR_SUCCESS;
  RegCloseKey(key);
  return written;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) return 2;
  int count = std::atoi(argv[2]);
  std::printf("ready\n");
  std::fflush(stdout);
  int failures = 0;
  for (int i = 0; i < count; ++i) {
    const std::string name = std::string(argv[1]) + std::to_string(i);
    const bool written =
        argc == 4 ? WritePrivateProfileStringA("Race", name.c_str(), std::to_string(i).c_str(),
                                               argv[3]) != FALSE
                  : WriteRegistryValue(name, static_cast<DWORD>(i));
    if (!written) {
      std::fprintf(stderr, "%s: error %lu\n", name.c_str(),
                   static_cast<unsigned long>(GetLastError()));
      ++failures;
    }
  }
  return failures == 0 ? 0 : 1;
}
