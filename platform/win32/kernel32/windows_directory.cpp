// The Windows directory: C:\windows in a new prefix. Like a real installation, the prefix records
// it in the registry (HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion,
// "SystemRoot"), so an installation whose Windows directory is elsewhere, a drive's root
// included, is set up by changing that value.
#include "internal.h"

#include <cstring>

extern "C" UINT WINAPI GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) {
  std::string directory = "C:\\windows";
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows NT\\CurrentVersion", 0,
                    KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
    char value[MAX_PATH] = {};
    DWORD size = sizeof value - 1;
    DWORD type = 0;
    if (RegQueryValueExA(key, "SystemRoot", nullptr, &type, reinterpret_cast<LPBYTE>(value),
                         &size) == ERROR_SUCCESS &&
        type == REG_SZ && value[0] != '\0')
      directory = value;
    RegCloseKey(key);
  }
  // Windows gives the directory without a final backslash, except at a drive's root (C:\).
  while (directory.size() > 3 && directory.back() == '\\') directory.pop_back();
  if (directory.size() == 2 && directory[1] == ':') directory += '\\';
  if (lpBuffer != nullptr && uSize > directory.size()) {
    std::memcpy(lpBuffer, directory.c_str(), directory.size() + 1);
    return static_cast<UINT>(directory.size());
  }
  return static_cast<UINT>(directory.size() + 1);
}
