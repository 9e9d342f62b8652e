// An example host: initialises the library on an installation and shows what the library found.
// On Linux the installation is the stand-in's prefix (the default one, made on first use, unless
// LYRUTIL_PREFIX names another); on Windows it is the machine itself.
#include <LyrUtil.h>
#ifndef _WIN32
#include <lyrhost.h>
#endif

#include <cstdio>

int main() {
#ifndef _WIN32
  std::printf("installation folder: %s\n", LyrGetPrefix().c_str());
#endif
  InitSystemGlobalParameters();

  char path[256] = {};
  LitBaseRegistre(HKEY_LOCAL_MACHINE, "SOFTWARE\\KDT_Zuzovodevoz\\Tessera",
                  const_cast<char*>("Path"), reinterpret_cast<unsigned char*>(path));
  CString ini;
  GetLyraININame(ini);
  std::printf("suite folder (registry): %s\n", path[0] ? path : "(not installed)");
  std::printf("suite INI file: %s\n", static_cast<const char*>(ini));
  std::printf("working directory: %s\n", GetWorkingDirectory());
  std::printf("Windows directory: %s\n", GetWindowsDirectoryA());

  HKEY key;
  char association[64] = {};
  DWORD size = sizeof association - 1;
  bool registered = RegOpenKeyExA(HKEY_CLASSES_ROOT, "._cv", 0, KEY_READ, &key) == ERROR_SUCCESS;
  if (registered) {
    registered = RegQueryValueExA(key, nullptr, nullptr, nullptr,
                                  reinterpret_cast<BYTE*>(association), &size) == ERROR_SUCCESS;
    RegCloseKey(key);
  }
  std::printf("\"._cv\" association: %s\n", registered ? association : "not registered");
  return 0;
}
