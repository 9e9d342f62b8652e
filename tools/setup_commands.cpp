// lyrutil install and lyrutil info: an installation made as the suite's installer makes it, and
// what the library finds in it.
#include "commands.h"
#include "tool_error.h"
#include "tool_runtime.h"

#include <LyrUtil.h>
#include <lyrhost.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>

namespace {

const char kInstallationKey[] = "SOFTWARE\\KDT_Zuzovodevoz\\Tessera";

// Makes a DOS folder and the folders above it; on a share, the folders below the share.
void MakeFolders(const std::string& dos) {
  size_t first = 3;  // after "C:\"
  if (dos.compare(0, 2, "\\\\") == 0) {
    const size_t share = dos.find('\\', 2);
    first = share == std::string::npos ? std::string::npos : dos.find('\\', share + 1);
    if (first == std::string::npos) return;  // the share itself
  }
  for (size_t at = dos.find('\\', first);; at = dos.find('\\', at + 1)) {
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

// The password for a network login: asked on the terminal without echo, or read as the first
// line of standard input when that is no terminal (a script's pipe). Never an argument, which
// other users see in the process list.
std::string AskPassword(const std::string& user, const std::string& server) {
  std::string password;
  if (::isatty(STDIN_FILENO)) {
    std::cerr << "password for " << user << " on " << server << ": " << std::flush;
    termios before;
    const bool quiet = ::tcgetattr(STDIN_FILENO, &before) == 0;
    if (quiet) {
      termios silent = before;
      silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
      ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
    }
    std::getline(std::cin, password);
    if (quiet) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &before);
    std::cerr << "\n";
  } else {
    std::getline(std::cin, password);
  }
  if (!password.empty() && password.back() == '\r') password.pop_back();
  return password;
}

// Writes the login file readable by its owner alone, whole or not at all: made under another
// name, flushed, then renamed over the old one.
void WriteNetworkLogin(const std::string& server, const std::string& user,
                       const std::string& domain, std::string password) {
  const std::string path = LyrNetworkLoginPath(server.c_str());
  const std::string folder = path.substr(0, path.rfind('/'));
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
    throw ToolError(folder + ": " + std::strerror(errno));
  std::string text = "username=" + user + "\npassword=" + password + "\n";
  if (!domain.empty()) text += "domain=" + domain + "\n";
  std::fill(password.begin(), password.end(), '\0');
  const std::string temporary = path + ".new";
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  bool written = fd >= 0 && ::fchmod(fd, 0600) == 0 &&
                 ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
                 ::fsync(fd) == 0;
  const int error = errno;
  std::fill(text.begin(), text.end(), '\0');
  if (fd >= 0) written = ::close(fd) == 0 && written;
  if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
    ::unlink(temporary.c_str());
    throw ToolError(path + ": cannot be written (" + std::strerror(written ? errno : error) + ")");
  }
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
  auto server = std::make_shared<std::string>();
  auto user = std::make_shared<std::string>();
  auto domain = std::make_shared<std::string>();
  install
      ->add_option("--network-login", *server,
                   "keep a login to this server (\\\\server) for its shares; the password is "
                   "asked on the terminal")
      ->needs(install->add_option("--user", *user, "the login's user name"));
  install->add_option("--domain", *domain, "the login's domain or workgroup");
  install->callback([=, &action] {
    action = [=] {
      if (!server->empty()) {
        if (user->empty()) throw ToolError("--network-login needs --user");
        WriteNetworkLogin(*server, *user, *domain, AskPassword(*user, *server));
        std::cout << "network login for " << *server << " kept in "
                  << LyrNetworkLoginPath(server->c_str()) << " (readable by you alone)\n";
      }
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
