#include "cups_server.h"

#include "loopback.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

void Write(const std::string& path, const std::string& text) {
  std::ofstream(path) << text;
}

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

CupsServer::CupsServer(const std::string& folder, const std::string& printersConf,
                       const std::vector<std::pair<std::string, std::string>>& drivers)
    : folder_(folder) {
  for (const char* sub : {"", "/spool", "/tmp", "/cache", "/state", "/log", "/ppd"})
    ::mkdir((folder_ + sub).c_str(), 0755);
  for (const auto& [queue, ppd] : drivers) Write(folder_ + "/ppd/" + queue + ".ppd", ppd);
  const int port = FreeLoopbackPort();
  address_ = "127.0.0.1:" + std::to_string(port);
  Write(folder_ + "/cupsd.conf",
        "Listen " + address_ +
            "\nLogLevel info\nWebInterface No\nBrowsing No\nDefaultAuthType None\n"
            "PreserveJobFiles Yes\nMaxJobs 0\nDirtyCleanInterval 0\n<Location />\n  Order "
            "allow,deny\n  Allow from "
            "127.0.0.1\n</Location>\n<Policy default>\n  <Limit All>\n    Order deny,allow\n"
            "  </Limit>\n</Policy>\n");
  Write(folder_ + "/cups-files.conf",
        "ServerRoot " + folder_ + "\nRequestRoot " + folder_ + "/spool\nTempDir " + folder_ +
            "/tmp\nCacheDir " + folder_ + "/cache\nStateDir " + folder_ + "/state\nErrorLog " +
            folder_ + "/log/error_log\nAccessLog " + folder_ + "/log/access_log\nPageLog " +
            folder_ + "/log/page_log\nPrintcap " + folder_ + "/printcap\nFileDevice Yes\n");
  Write(folder_ + "/printers.conf", printersConf);
  pid_ = ::fork();
  if (pid_ == 0) {
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 1);
    ::dup2(null, 2);
    ::execl("/usr/sbin/cupsd", "cupsd", "-f", "-c", (folder_ + "/cupsd.conf").c_str(), "-s",
            (folder_ + "/cups-files.conf").c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  for (int waited = 0; pid_ > 0 && waited < 100; ++waited) {
    if (LoopbackPortAnswers(port)) {
      ::setenv("CUPS_SERVER", address_.c_str(), 1);
      return;
    }
    if (::waitpid(pid_, nullptr, WNOHANG) == pid_) pid_ = -1;  // it did not start
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  Stop();
}

CupsServer::~CupsServer() {
  Stop();
}

void CupsServer::Stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  ::waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

std::string CupsServer::JobDocument(int job, int waitMs) const {
  char name[32];
  std::snprintf(name, sizeof name, "/spool/d%05d-001", job);
  // The document is there as soon as it arrives; the job is done when cupsd has let go of it.
  for (int waited = 0; waited < waitMs; waited += 100) {
    const std::string text = Read(folder_ + name);
    if (!text.empty() && text.find("%%EOF") != std::string::npos) return text;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return Read(folder_ + name);
}

std::string CupsServer::JobControl(int job) const {
  char name[32];
  std::snprintf(name, sizeof name, "/spool/c%05d", job);
  return Read(folder_ + name);
}

int CupsServer::JobCount() const {
  int count = 0;
  DIR* dir = ::opendir((folder_ + "/spool").c_str());
  if (dir == nullptr) return 0;
  while (const dirent* entry = ::readdir(dir)) count += entry->d_name[0] == 'c';
  ::closedir(dir);
  return count;
}
