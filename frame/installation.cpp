// Installation settings: the installation key, the suite INI file, the working directory, the
// Windows directory and the file association of the comparison viewer.
#include <LyrUtil.h>

#include <mbstring.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "files/lock_list.h"
#include "frame_state.h"

namespace lyrutil {

char g_windowsDirectory[kDirectoryBufferBytes];
char g_workingDirectory[kDirectoryBufferBytes];
ULONG g_mainThreadId;

namespace {

const char kInstallationKey[] = "SOFTWARE\\KDT_Zuzovodevoz\\Tessera";
const char kIniFileName[] = "\\sylwin.ini";
const char kWorkingPathSection[] = "WORKING PATH";
const char kWorkingDirectoryKey[] = "WorkingDirectory";
// LitBaseRegistre's callers hand it buffers of at least this many bytes.
constexpr DWORD kRegistryValueBytes = 255;
// The section-name buffer of IsKeyPresent.
constexpr DWORD kSectionNamesBytes = 32000;

void RemoveOneTrailingBackslash(char* text) {
  size_t n = std::strlen(text);
  if (n > 0 && text[n - 1] == '\\') text[n - 1] = '\0';
}

}  // namespace

void FillWindowsDirectoryCache() {
  if (g_windowsDirectory[0] == '\0')
    ::GetWindowsDirectoryA(g_windowsDirectory, kDirectoryBufferBytes);
}

// The installation path is read into a zeroed buffer one byte longer than LitBaseRegistre may
// fill, so that it is always terminated; the name is kept whole, in a buffer that holds the
// longest path with "\sylwin.ini" (the historical fixed buffers could not; a name too long for
// Windows simply fails to open later, and the INI defaults apply). The buffer is the caller's:
// the working directory is read on every audited append, without an allocation.
constexpr size_t kIniNameBytes = kRegistryValueBytes + sizeof kIniFileName;
void SuiteIniName(char (&name)[kIniNameBytes]) {
  char path[kRegistryValueBytes + 1] = {};
  LitBaseRegistre(HKEY_LOCAL_MACHINE, kInstallationKey, const_cast<char*>("Path"),
                  reinterpret_cast<unsigned char*>(path));
  std::snprintf(name, sizeof name, "%s%s", path, kIniFileName);
}

CString SuiteIniName() {
  char name[kIniNameBytes];
  SuiteIniName(name);
  return name;
}

}  // namespace lyrutil

using namespace lyrutil;

void InitSystemGlobalParameters(void) {
  g_mainThreadId = GetCurrentThreadId();

  g_windowsDirectory[0] = '\0';
  ::GetWindowsDirectoryA(g_windowsDirectory, kDirectoryBufferBytes);
  RemoveOneTrailingBackslash(g_windowsDirectory);

  CString iniName;
  GetLyraININame(iniName);
  GetPrivateProfileStringA(kWorkingPathSection, kWorkingDirectoryKey, g_windowsDirectory,
                           g_workingDirectory, kDirectoryBufferBytes, iniName);
  RemoveOneTrailingBackslash(g_workingDirectory);

  ClearLockList();

  CString openCommand = CString(g_workingDirectory) + "\\compare.exe %1";
  SetRunAppWithExtension("Compare", "Rererur Ivev", openCommand, "._cv");
}

void GetLyraININame(CString& name) {
  FillWindowsDirectoryCache();
  name = SuiteIniName();
}

char* GetWindowsDirectoryA(void) {
  FillWindowsDirectoryCache();
  return g_windowsDirectory;
}

char* GetWorkingDirectory(void) {
  FillWindowsDirectoryCache();
  char iniName[kIniNameBytes];
  SuiteIniName(iniName);
  GetPrivateProfileStringA(kWorkingPathSection, kWorkingDirectoryKey, g_windowsDirectory,
                           g_workingDirectory, kDirectoryBufferBytes, iniName);
  return g_workingDirectory;
}

ULONG GetMainThreadId(void) {
  return g_mainThreadId;
}

void LitBaseRegistre(HKEY root, const char* subKey, char* valueName, unsigned char* data) {
  HKEY key;
  if (RegOpenKeyExA(root, subKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  DWORD size = kRegistryValueBytes;
  RegQueryValueExA(key, valueName, nullptr, nullptr, data, &size);
  RegCloseKey(key);
}

namespace {

// An open registry key, closed on every way out.
class RegistryKey final {
 public:
  RegistryKey() = default;
  ~RegistryKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  bool Create(HKEY root, const char* subKey) {
    return RegCreateKeyA(root, subKey, &key_) == ERROR_SUCCESS;
  }
  bool SetDefault(const char* subKey, const char* text) {
    return RegSetValueA(key_, subKey, REG_SZ, text, static_cast<DWORD>(std::strlen(text))) ==
           ERROR_SUCCESS;
  }

 private:
  HKEY key_ = nullptr;
};

}  // namespace

bool SetRunAppWithExtension(const char* typeName, const char* description, const char* openCommand,
                            const char* extension) {
  if (!typeName || !*typeName || !description || !openCommand || !extension || !*extension)
    return false;
  RegistryKey type;
  if (!type.Create(HKEY_CLASSES_ROOT, typeName) || !type.SetDefault(nullptr, description))
    return false;
  RegistryKey association;
  if (!association.Create(HKEY_CLASSES_ROOT, extension)) return false;
  association.SetDefault(nullptr, typeName);  // its result does not matter
  RegistryKey typeAgain;
  if (!typeAgain.Create(HKEY_CLASSES_ROOT, typeName)) return false;
  return typeAgain.SetDefault("shell\\open\\command", openCommand);
}

void SetHeapFragmentation(int flag) {
  CString iniName;
  GetLyraININame(iniName);
  char value[16];
  wsprintfA(value, "%d", flag);
  WritePrivateProfileStringA("General", "Heapfragmented", value, iniName);
}

bool IsKeyPresent(char* const section, char* const iniFile) {
  if (section == nullptr) return false;
  std::vector<char> names(kSectionNamesBytes);
  DWORD count = GetPrivateProfileSectionNamesA(names.data(), kSectionNamesBytes, iniFile);
  if (count < 1) return false;
  for (const char* name = names.data(); name < names.data() + count && *name != '\0';
       name += std::strlen(name) + 1) {
    if (_mbscmp(reinterpret_cast<const unsigned char*>(name),
                reinterpret_cast<const unsigned char*>(section)) == 0)
      return true;
  }
  return false;
}

bool IsTria2011(char* const iniFile) {
  char code[5] = {};
  GetPrivateProfileStringA("General", "AdrDbrd", "AB00", code, sizeof code, iniFile);
  return code[2] == 'C' || code[3] == 'D';
}
