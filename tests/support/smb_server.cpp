#include "smb_server.h"

#include "loopback.h"

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

// The test program's port for every server it starts.
int ServerPort() {
  static const int port = [] {
    if (const char* set = std::getenv("LYRUTIL_SMB_PORT")) return std::atoi(set);
    const int free = FreeLoopbackPort();
    ::setenv("LYRUTIL_SMB_PORT", std::to_string(free).c_str(), 1);
    return free;
  }();
  return port;
}

}  // namespace

std::string SmbServer::User() {
  const passwd* user = ::getpwuid(::geteuid());
  return user != nullptr ? user->pw_name : "nobody";
}

SmbServer::SmbServer(const std::string& folder) : folder_(folder) {
  for (const char* sub : {"", "/lab", "/archive", "/private-share", "/private", "/lock", "/state",
                          "/cache", "/pid", "/log", "/ncalrpc"})
    ::mkdir((folder_ + sub).c_str(), 0755);
  std::ofstream(folder_ + "/smb.conf")
      << "[global]\n"
         "server role = standalone server\n"
         "smb ports = "
      << ServerPort()
      << "\ninterfaces = lo\nbind interfaces only = yes\n"
         "private dir = "
      << folder_ << "/private\nlock directory = " << folder_
      << "/lock\nstate directory = " << folder_ << "/state\ncache directory = " << folder_
      << "/cache\npid directory = " << folder_ << "/pid\nncalrpc dir = " << folder_
      << "/ncalrpc\nlog file = " << folder_
      << "/log/smbd.log\nlog level = 1\nmap to guest = Bad User\nguest account = " << User()
      << "\nload printers = no\nprinting = bsd\nprintcap name = /dev/null\n"
         "disable spoolss = yes\n"
         "[lab]\npath = "
      << folder_ << "/lab\nguest ok = yes\nread only = no\nstrict sync = yes\nsync always = yes\n"
      << "[archive]\npath = " << folder_ << "/archive\nguest ok = yes\nread only = yes\n"
      << "[private]\npath = " << folder_
      << "/private-share\nguest ok = no\nvalid users = " << User() << "\nread only = no\n";
  // The user's password in the server's own database (its private folder), nowhere else.
  const std::string setPassword = "printf '%s\\n%s\\n' '" + std::string(kPassword) + "' '" +
                                  kPassword + "' | smbpasswd -c '" + folder_ +
                                  "/smb.conf' -s -a '" + User() + "' >/dev/null 2>&1";
  passwordSet_ = std::system(setPassword.c_str()) == 0;
  Start();
}

SmbServer::~SmbServer() {
  Stop();
}

bool SmbServer::Start() {
  if (pid_ > 0) return true;
  pid_ = ::fork();
  if (pid_ == 0) {
    ::setpgid(0, 0);  // its children with it, so that Stop reaches them all
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::dup2(null, 2);
    ::execl("/usr/sbin/smbd", "smbd", "-F", "--no-process-group", "-s",
            (folder_ + "/smb.conf").c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  if (pid_ > 0) ::setpgid(pid_, pid_);
  for (int waited = 0; pid_ > 0 && waited < 100; ++waited) {
    if (LoopbackPortAnswers(ServerPort())) return true;
    if (::waitpid(pid_, nullptr, WNOHANG) == pid_) pid_ = -1;  // it did not start
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  Stop();
  return false;
}

void SmbServer::Stop(bool kill) {
  if (pid_ <= 0) return;
  ::kill(-pid_, kill ? SIGKILL : SIGTERM);
  ::kill(-pid_, SIGCONT);  // a paused server takes its SIGTERM only once it runs again
  ::waitpid(pid_, nullptr, 0);
  // The processes that served clients are the group's too; none may outlive the test.
  ::kill(-pid_, SIGKILL);
  pid_ = -1;
  for (int waited = 0; waited < 50 && LoopbackPortAnswers(ServerPort()); ++waited)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

void SmbServer::Pause() {
  if (pid_ > 0) ::kill(-pid_, SIGSTOP);
}

void SmbServer::Resume() {
  if (pid_ > 0) ::kill(-pid_, SIGCONT);
}

std::string SmbServer::Log() const {
  std::ifstream in(folder_ + "/log/smbd.log");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

SmbServer& TestSmbServer() {
  struct Owned {
    std::unique_ptr<SmbServer> server;
    ~Owned() {
      const std::string folder = server->Folder();
      server.reset();
      std::filesystem::remove_all(folder);
    }
  };
  static Owned owned = [] {
    char folder[] = "/tmp/lyrutil-smb-XXXXXX";
    const char* made = ::mkdtemp(folder);
    return Owned{std::make_unique<SmbServer>(made != nullptr ? made : "/tmp/lyrutil-smb")};
  }();
  return *owned.server;
}

void EmptyLabShare(const SmbServer& server) {
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(server.Folder() + "/lab", ignored))
    std::filesystem::remove_all(entry.path(), ignored);
}
