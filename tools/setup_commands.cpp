// lyrutil install and lyrutil info: an installation made as the suite's installer makes it, and
// what the library finds in it.
#include "commands.h"
#include "tool_error.h"
#include "tool_runtime.h"

#include <LyrUtil.h>
#include <lyrhost.h>

#include <iostream>
#include <memory>

namespace {

const char kInstallationKey[] = "SOFTWARE\\KDT_Zuzovodevoz\\Tessera";

// Makes a DOS folder and the folders above it.
void MakeFolders(const std::string& dos) {
  for (size_t at = dos.find('\\', 3);; at = dos.find('\\', at + 1)) {
    std::string part = dos.substr(0, at);
    if (!CreateDirectoryA(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
      throw ToolError(part + ": cannot be made (error " + std::to_string(GetLastError()) + ")");
    if (at == std::string::npos) return;
  }
}

void SetInstallationPath(const std::string& suite) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kInstallationKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    throw ToolError("the registry cannot be written");
  LONG err = RegSetValueExA(key, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(suite.c_str()),
                            static_cast<DWORD>(suite.size() + 1));
  RegCloseKey(key);
  if (err != ERROR_SUCCESS) throw ToolError("the registry cannot be written");
}

std::string Association() {
  HKEY key;
  char value[64] = {};
  DWORD size = sizeof value - 1;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, "._cv", 0, KEY_READ, &key) != ERROR_SUCCESS)
    return "not registered";
  LONG err =
      RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  return err == ERROR_SUCCESS ? value : "not registered";
}

}  // namespace

std::string SuiteFolder() {
  char path[256] = {};
  LitBaseRegistre(HKEY_LOCAL_MACHINE, kInstallationKey, const_cast<char*>("Path"),
                  reinterpret_cast<unsigned char*>(path));
  return path;
}

bool SuiteInstalled() {
  return !SuiteFolder().empty();
}

// What InitSystemGlobalParameters found, for `info`, `install` and the demo.
void ShowInstallation(std::ostream& out) {
  StartLibrary();
  const std::string path = SuiteFolder();
  CString ini;
  GetLyraININame(ini);
  out << "installation folder: " << LyrGetPrefix() << "\n"
      << "suite folder (registry): " << (path.empty() ? "(not installed: lyrutil install)" : path)
      << "\n"
      << "suite INI file: " << static_cast<const char*>(ini) << "\n"
      << "working directory: " << GetWorkingDirectory() << "\n"
      << "Windows directory: " << GetWindowsDirectoryA() << "\n"
      << "\"._cv\" association: " << Association() << "\n";
}

void InstallSuite(const std::string& suite, const std::string& working) {
  MakeFolders(suite);
  MakeFolders(working);
  SetInstallationPath(suite);
  std::string ini = suite + "\\sylwin.ini";
  if (!WritePrivateProfileStringA("WORKING PATH", "WorkingDirectory", working.c_str(), ini.c_str()))
    throw ToolError(ini + ": cannot be written");
}

void AddSetupCommands(CLI::App& app, Action& action) {
  auto* install = app.add_subcommand("install", "make or update an installation of the suite");
  auto suite = std::make_shared<std::string>("C:\\Tessera");
  auto working = std::make_shared<std::string>("C:\\Tessera\\Work");
  install->add_option("--suite-dir", *suite, "the suite's folder (DOS path)")
      ->capture_default_str();
  install->add_option("--working-dir", *working, "the working directory (DOS path)")
      ->capture_default_str();
  install->callback([=, &action] {
    action = [=] {
      InstallSuite(*suite, *working);
      ShowInstallation(std::cout);
      return 0;
    };
  });
  auto* info = app.add_subcommand("info", "what the library finds in the installation");
  info->callback([&action] {
    action = [] {
      ShowInstallation(std::cout);
      return 0;
    };
  });
}
