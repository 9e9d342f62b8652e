// The test fixture on Windows. The machine is the installation, so the fixture notes what drive
// C:, the Windows directory and the registry hold before each test and takes away what the test
// added (and puts back the Windows directory's INI files), so that every test starts from the
// same machine. Meant for a throwaway machine (a new Wine prefix), never a user's own.
#include <windows.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "lyr_test.h"

namespace fs = std::filesystem;

namespace {

struct RegistryPlace {
  HKEY root;
  const char* path;
};

// Where the library and the tests make keys: the suite's key, file associations and the tests'
// own keys under SOFTWARE.
const RegistryPlace kRegistryPlaces[] = {
    {HKEY_LOCAL_MACHINE, "SOFTWARE"},
    {HKEY_CURRENT_USER, "Software"},
    {HKEY_CLASSES_ROOT, ""},
};

std::set<std::string> SubkeyNames(const RegistryPlace& place) {
  std::set<std::string> names;
  HKEY key;
  if (RegOpenKeyExA(place.root, place.path, 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
  char name[256];
  for (DWORD i = 0;; ++i) {
    DWORD size = sizeof name;
    if (RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    names.insert(name);
  }
  RegCloseKey(key);
  return names;
}

// Names as Windows keeps them (UTF-16): a name outside the ANSI code page still compares and goes.
std::set<std::wstring> EntryNames(const fs::path& folder) {
  std::set<std::wstring> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error))
    names.insert(entry.path().filename().wstring());
  return names;
}

void RemoveTree(const fs::path& path) {
  std::error_code error;
  // Read-only files and folders cannot be deleted on Windows until the attribute goes.
  for (const auto& entry : fs::recursive_directory_iterator(path, error))
    SetFileAttributesW(entry.path().wstring().c_str(), FILE_ATTRIBUTE_NORMAL);
  SetFileAttributesW(path.wstring().c_str(), FILE_ATTRIBUTE_NORMAL);
  fs::remove_all(path, error);
}

const fs::path kDriveC = "C:\\";
const fs::path kWindows = "C:\\windows";

}  // namespace

struct LyrTest::MachineState {
  std::set<std::wstring> driveC;
  std::set<std::wstring> windows;
  std::map<std::wstring, std::string> windowsIni;  // name -> contents
  std::vector<std::set<std::string>> keys;         // per registry place
};

void LyrTest::SetUp() {
  char cwd[MAX_PATH];
  savedCwd_ = GetCurrentDirectoryA(MAX_PATH, cwd) ? cwd : "C:\\";
  before_ = new MachineState;
  before_->driveC = EntryNames(kDriveC);
  before_->windows = EntryNames(kWindows);
  for (const std::wstring& name : before_->windows)
    if (fs::path(name).extension() == ".ini")
      before_->windowsIni[name] = ReadHostFile((kWindows / name).string());
  for (const RegistryPlace& place : kRegistryPlaces) before_->keys.push_back(SubkeyNames(place));
  LyrSetHostUi(&ui_);
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\"));
}

void LyrTest::TearDown() {
  LyrSetHostUi(nullptr);
  SetCurrentDirectoryA(savedCwd_.c_str());
  if (before_ == nullptr) return;
  for (const std::wstring& name : EntryNames(kDriveC))
    if (before_->driveC.count(name) == 0) RemoveTree(kDriveC / name);
  for (const std::wstring& name : EntryNames(kWindows))
    if (before_->windows.count(name) == 0) RemoveTree(kWindows / name);
  for (const auto& ini : before_->windowsIni) {
    std::string path = (kWindows / ini.first).string();
    if (ReadHostFile(path) != ini.second) WriteHostFile(path, ini.second);
  }
  for (size_t i = 0; i < before_->keys.size(); ++i) {
    const RegistryPlace& place = kRegistryPlaces[i];
    HKEY key;
    if (RegOpenKeyExA(place.root, place.path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) continue;
    for (const std::string& name : SubkeyNames(place))
      if (before_->keys[i].count(name) == 0) RegDeleteTreeA(key, name.c_str());
    RegCloseKey(key);
  }
  delete before_;
  before_ = nullptr;
}

// The helper programs sit beside the test program, where they find the DLLs too.
std::string HelperPath(const std::string& name) {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, n < MAX_PATH ? n : 0);
  folder.erase(folder.find_last_of('\\') + 1);
  return folder + name + ".exe";
}

HelperProcess::HelperProcess(const std::string& program, const std::vector<std::string>& args) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  std::string commandLine = "\"" + program + "\"";
  for (const std::string& arg : args) commandLine += " \"" + arg + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION info = {};
  BOOL started = CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                                nullptr, &startup, &info);
  CloseHandle(writeEnd);
  out_ = readEnd;
  if (!started) return;
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  char c;
  DWORD n;
  while (ReadFile(readEnd, &c, 1, &n, nullptr) && n == 1 && c != '\n')
    if (c != '\r') firstLine_ += c;
}

HelperProcess::~HelperProcess() {
  Kill();
  if (out_ != nullptr) CloseHandle(out_);
}

std::string HelperProcess::RestOfOutput() {
  std::string text;
  char buffer[4096];
  DWORD n;
  while (out_ != nullptr && ReadFile(out_, buffer, sizeof buffer, &n, nullptr) && n > 0)
    text.append(buffer, n);
  return text;
}

int HelperProcess::Wait() {
  if (process_ == nullptr) return -1;
  WaitForSingleObject(process_, INFINITE);
  DWORD status = 0;
  GetExitCodeProcess(process_, &status);
  CloseHandle(process_);
  process_ = nullptr;
  return static_cast<int>(status);
}

void HelperProcess::Kill() {
  if (process_ == nullptr) return;
  TerminateProcess(process_, 1);
  WaitForSingleObject(process_, INFINITE);
  CloseHandle(process_);
  process_ = nullptr;
}
