// The test fixture on Linux: each test gets a fresh prefix (installation) of the stand-in in a
// temporary folder, and helper programs are forked.
#include <fcntl.h>
#include <ftw.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <regex>

#include "lyr_test.h"

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
  // No print server unless the test starts one: the machine's own queues never reach a test (a
  // closed loopback port refuses at once).
  ::setenv("CUPS_SERVER", "127.0.0.1:9", 1);
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

ScopedFileSizeLimit::ScopedFileSizeLimit(unsigned long long bytes) {
  struct rlimit limit;
  EXPECT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
  saved_ = limit.rlim_cur;
  limit.rlim_cur = bytes;
  EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
}

ScopedFileSizeLimit::~ScopedFileSizeLimit() {
  struct rlimit limit;
  getrlimit(RLIMIT_FSIZE, &limit);
  limit.rlim_cur = saved_;
  setrlimit(RLIMIT_FSIZE, &limit);
}

ScopedSystemCallFault::ScopedSystemCallFault(const char* kind, unsigned nth, unsigned count,
                                             int error)
    : kind_(kind) {
  EXPECT_TRUE(LyrFailSystemCall(kind, nth, count, error)) << kind;
}

ScopedSystemCallFault::~ScopedSystemCallFault() {
  LyrFailSystemCall(kind_, 0, 0, 0);
}

std::vector<PdfWord> PdfWords(const std::string& pdfHostPath) {
  const std::string html = CommandOutput("pdftotext -bbox '" + pdfHostPath + "' - 2>&1");
  static const std::regex word(
      "<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" "
      "yMax=\"([0-9.]+)\">([^<]*)</word>");
  std::vector<PdfWord> words;
  for (std::sregex_iterator it(html.begin(), html.end(), word), end; it != end; ++it)
    words.push_back({(*it)[5], std::stod((*it)[1]), std::stod((*it)[2]), std::stod((*it)[3]),
                     std::stod((*it)[4])});
  return words;
}
