// The parts of the test fixture that are the same on Linux and Windows.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "lyr_test.h"

int ScriptedUi::ShowMessage(const char* text, UINT type, UINT helpId) {
  messages.push_back({text ? text : "", type, helpId});
  if (answers.empty()) return IDOK;
  int answer = answers.front();
  answers.pop_front();
  return answer;
}

BOOL ScriptedUi::SetForeground(HWND window) {
  foregroundChanges.push_back(window);
  foreground = window;
  return TRUE;
}

int ScriptedUi::RunDialog(LyrDialog& dialog) {
  return dialogScript ? dialogScript(dialog) : IDCANCEL;
}

int ScriptedUi::ChoosePrinter(LyrPrintChoice& choice) {
  printDialogs.push_back(choice);
  return printerScript ? printerScript(choice) : IDOK;
}

std::string LyrTest::ReadHostFile(const std::string& hostPath) {
  std::ifstream in(hostPath, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void LyrTest::WriteHostFile(const std::string& hostPath, const std::string& contents) {
  std::ofstream out(hostPath, std::ios::binary | std::ios::trunc);
  out << contents;
}

bool LyrTest::HostFileExists(const std::string& hostPath) {
  std::error_code error;
  return std::filesystem::exists(hostPath, error);
}

void LyrTest::InstallSuite(const std::string& dosFolder) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\KDT_Zuzovodevoz\\Tessera", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(dosFolder.c_str()),
                           static_cast<DWORD>(dosFolder.size() + 1)),
            ERROR_SUCCESS);
  RegCloseKey(key);
  CreateDirectoryA(dosFolder.c_str(), nullptr);
}

void LyrTest::InstallSuiteWorkingIn(const char* section) {
  InstallSuite("C:\\Tessera");
  WriteHostFile(DriveC() + "/Tessera/sylwin.ini",
                std::string("[") + section + "]\r\nWorkingDirectory=C:\\Work\r\n");
  ASSERT_TRUE(CreateDirectoryA("C:\\Work", nullptr));
}

ScopedTimeZone::ScopedTimeZone(const char* zone) {
  const char* old = std::getenv("TZ");
  hadZone_ = old != nullptr;
  saved_ = old ? old : "";
#ifdef _WIN32
  _putenv_s("TZ", zone);
  _tzset();
#else
  ::setenv("TZ", zone, 1);
  ::tzset();
#endif
}

ScopedTimeZone::~ScopedTimeZone() {
#ifdef _WIN32
  _putenv_s("TZ", hadZone_ ? saved_.c_str() : "");  // an empty value removes the variable
  _tzset();
#else
  if (hadZone_) {
    ::setenv("TZ", saved_.c_str(), 1);
  } else {
    ::unsetenv("TZ");
  }
  ::tzset();
#endif
}

std::tm LocalTime(time_t moment) {
  std::tm local = {};
#ifdef _WIN32
  localtime_s(&local, &moment);
#else
  localtime_r(&moment, &local);
#endif
  return local;
}

bool RunningUnderWine() {
#ifdef _WIN32
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
  return false;
#endif
}

bool MakeHardLink(const std::string& target, const std::string& link) {
  std::error_code error;
  std::filesystem::create_hard_link(target, link, error);
  return !error;
}

bool MakeSymbolicLink(const std::string& target, const std::string& link) {
  std::error_code error;
  std::filesystem::create_symlink(target, link, error);
  return !error;
}

unsigned long long FileReadCount() {
#ifdef _WIN32
  IO_COUNTERS counters = {};
  return GetProcessIoCounters(GetCurrentProcess(), &counters) ? counters.ReadOperationCount : 0;
#else
  return LyrFileReadCount();
#endif
}

std::vector<std::string> HostFolderNames(const std::string& hostFolder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(hostFolder, error))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}
