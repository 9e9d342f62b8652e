// Writes COUNT values "NAME0".."NAME<COUNT-1>" under HKEY_LOCAL_MACHINE\SOFTWARE\Race, one call
// each, to race another writer:   reg_writer NAME COUNT
// Prints "ready" first, and exits 0 when every write succeeded.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  int count = std::atoi(argv[2]);
  std::printf("ready\n");
  std::fflush(stdout);
  int failures = 0;
  for (int i = 0; i < count; ++i) {
    HKEY key;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Race", &key) != ERROR_SUCCESS) {
      ++failures;
      continue;
    }
    std::string name = std::string(argv[1]) + std::to_string(i);
    DWORD value = static_cast<DWORD>(i);
    if (RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                       sizeof value) != ERROR_SUCCESS)
      ++failures;
    RegCloseKey(key);
  }
  return failures == 0 ? 0 : 1;
}
