#include "lyr_test.h"

#include <fcntl.h>
#include <ftw.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

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

namespace {

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
  ::chmod(path, 0700);
  return ::remove(path);
}

}  // namespace

void LyrTest::SetUp() {
  char cwd[4096];
  savedCwd_ = ::getcwd(cwd, sizeof cwd) ? cwd : "/";
  char pattern[] = "/tmp/lyrutil-test-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  prefix_ = pattern;
  ASSERT_TRUE(LyrSetPrefix(prefix_.c_str()));
  ::setenv("LYRUTIL_PREFIX", prefix_.c_str(), 1);  // for helper programs
  LyrClearHostStrings();
  ASSERT_TRUE(LyrLoadHostStrings(LYRUTIL_TEST_STRINGS));
  LyrSetHostUi(&ui_);
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\"));
}

void LyrTest::TearDown() {
  LyrSetHostUi(nullptr);
  LyrFailGlobalAllocs(0);
  if (::chdir(savedCwd_.c_str()) != 0) ::chdir("/");
  ::nftw(prefix_.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
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
  struct stat st;
  return ::stat(hostPath.c_str(), &st) == 0;
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

std::string HelperPath(const std::string& name) {
  return std::string(LYRUTIL_TEST_HELPERS) + "/" + name;
}

HelperProcess::HelperProcess(const std::string& program, const std::vector<std::string>& args) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return;
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(pipeFds[1], 1);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(pipeFds[1]);
  out_ = pipeFds[0];
  char c;
  while (::read(out_, &c, 1) == 1 && c != '\n') firstLine_ += c;
}

HelperProcess::~HelperProcess() {
  Kill();
  if (out_ >= 0) ::close(out_);
}

std::string HelperProcess::RestOfOutput() {
  std::string text;
  char buffer[4096];
  ssize_t n;
  while (out_ >= 0 && (n = ::read(out_, buffer, sizeof buffer)) > 0) text.append(buffer, n);
  return text;
}

int HelperProcess::Wait() {
  if (pid_ <= 0) return -1;
  int status = 0;
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void HelperProcess::Kill() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

std::string CommandOutput(const std::string& command) {
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  ::pclose(pipe);
  return out;
}
