#include "pager.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

pid_t pager = -1;

// At exit: what is gathered goes to the pager, the pipe is closed so that the pager sees the end,
// and the pager is waited for.
void WaitForPager() {
  std::cout.flush();
  std::fflush(stdout);
  ::close(STDOUT_FILENO);
  int status = 0;
  while (::waitpid(pager, &status, 0) < 0 && errno == EINTR) {
  }
}

bool OnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::istringstream folders(path ? path : "/usr/bin:/bin");
  for (std::string folder; std::getline(folders, folder, ':');)
    if (!folder.empty() && ::access((folder + "/" + name).c_str(), X_OK) == 0) return true;
  return false;
}

std::string PagerCommand() {
  for (const char* name : {"LYRUTIL_PAGER", "PAGER"})
    if (const char* chosen = std::getenv(name)) return chosen;
  return OnPath("less") ? "less" : "";
}

}  // namespace

void StartPagerOnATerminal() {
  if (pager != -1 || !::isatty(STDOUT_FILENO)) return;
  const std::string command = PagerCommand();
  if (command.empty() || command == "cat") return;
  // Set here, not in the child: between fork and exec only async-signal-safe calls may run.
  ::setenv("LESS", "FRX", 0);
  int pipe[2];
  if (::pipe2(pipe, O_CLOEXEC) != 0) return;  // no pager: the output goes to the terminal
  std::cout.flush();
  std::fflush(stdout);
  const pid_t child = ::fork();
  if (child < 0) {
    ::close(pipe[0]);
    ::close(pipe[1]);
    return;
  }
  if (child == 0) {
    ::dup2(pipe[0], STDIN_FILENO);
    ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::dup2(pipe[1], STDOUT_FILENO);
  ::close(pipe[0]);
  ::close(pipe[1]);
  pager = child;
  std::atexit(WaitForPager);
}
