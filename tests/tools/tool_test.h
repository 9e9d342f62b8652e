// The fixture of the lyrutil tests: a fresh installation per test, every command run through
// the built binary as a user runs it, with its exit status and both outputs.
#ifndef LYRUTIL_TESTS_TOOLS_TOOL_TEST_H
#define LYRUTIL_TESTS_TOOLS_TOOL_TEST_H

#include "lyr_test.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <string>
#include <sys/wait.h>
#include <vector>

struct ToolRun {
  int status;
  std::string out;
  std::string err;
};

// The last line of a command's output, without its end.
inline std::string LastLine(const std::string& out) {
  const size_t end = out.find_last_not_of('\n');
  if (end == std::string::npos) return "";
  const size_t begin = out.rfind('\n', end);
  return out.substr(begin == std::string::npos ? 0 : begin + 1,
                    end - (begin == std::string::npos ? 0 : begin + 1) + 1);
}

class ToolTest : public LyrTest {
 protected:
  // Runs lyrutil with the test's prefix through the shell; `shell` goes before the command (a
  // ulimit, an environment variable, a wrapper such as timeout).
  ToolRun Tool(const std::string& args, const std::string& input = "",
               const std::string& shell = "") {
    return Run(shell + " " + std::string(LYRUTIL_TOOL) + " --prefix '" + Prefix() + "' " + args,
               input);
  }
  // Runs `args` and expects exit status `status` with `part` in standard error (ExpectError)
  // or standard output (ExpectOutput).
  void ExpectError(int status, const std::string& part, const std::string& args,
                   const std::string& input = "", const std::string& shell = "") {
    const ToolRun r = Tool(args, input, shell);
    EXPECT_EQ(r.status, status) << args << ": " << r.err;
    EXPECT_CONTAINS(r.err, part) << args;
  }
  void ExpectOutput(int status, const std::string& part, const std::string& args) {
    const ToolRun r = Tool(args);
    EXPECT_EQ(r.status, status) << args << ": " << r.err;
    EXPECT_CONTAINS(r.out, part) << args;
  }
  // Runs `args`, expecting exit status `status`, and parses what it printed as JSON (null when it
  // is not JSON, which fails the test).
  nlohmann::json JsonOf(const std::string& args, int status = 0, const std::string& input = "") {
    const ToolRun r = Tool(args, input);
    EXPECT_EQ(r.status, status) << args << ": " << r.err;
    nlohmann::json parsed = nlohmann::json::parse(r.out, nullptr, false);
    EXPECT_FALSE(parsed.is_discarded()) << args << ": " << r.out;
    return parsed.is_discarded() ? nlohmann::json() : parsed;
  }
  // Runs a shell command line as it stands (the tool is $LYRUTIL_TOOL there).
  ToolRun Run(std::string command, const std::string& input = "") {
    std::string errFile = Prefix() + "/stderr.txt";
    command =
        "LYRUTIL_TOOL='" + std::string(LYRUTIL_TOOL) + "'; " + command + " 2>'" + errFile + "'";
    if (!input.empty()) command = "printf '%s' '" + input + "' | { " + command + "; }";
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string out;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    int status = ::pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out, ReadHostFile(errFile)};
  }
  // Starts lyrutil with the test's prefix and `args` in a process of its own, its standard error
  // going to `errFile`; `*out` gets the reading end of a pipe its standard output goes to.
  pid_t StartTool(const std::vector<std::string>& args, const std::string& errFile, int* out) {
    int pipe[2];
    if (::pipe(pipe) != 0) return -1;
    const pid_t child = ::fork();
    if (child == 0) {
      ::dup2(pipe[1], 1);
      ::dup2(::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
      ::close(pipe[0]);
      std::vector<std::string> line = {LYRUTIL_TOOL, "--prefix", Prefix()};
      line.insert(line.end(), args.begin(), args.end());
      std::vector<char*> argv;
      for (std::string& word : line) argv.push_back(&word[0]);
      argv.push_back(nullptr);
      ::execv(LYRUTIL_TOOL, argv.data());
      ::_exit(127);
    }
    ::close(pipe[1]);
    *out = pipe[0];
    return child;
  }
  std::string Log() { return DriveC() + "/audit.log"; }
  // How many lines `audit show` of the test's log with `options` prints.
  long LinesShown(const std::string& options, const std::string& shell = "") {
    return LineCount(Tool("audit show " + Log() + " " + options, "", shell).out);
  }
  // Whether `folder` holds a private folder of a run that writes an output file there.
  static bool AnyPrivateFolderIn(const std::string& folder) {
    bool any = false;
    if (DIR* dir = ::opendir(folder.c_str())) {
      while (const dirent* e = ::readdir(dir))
        any = any || std::strncmp(e->d_name, ".lyrutil-", 9) == 0;
      ::closedir(dir);
    }
    return any;
  }
  // `audit append` to `log` with `options`, which must succeed.
  void Append(const std::string& log, const std::string& options) {
    const ToolRun r = Tool("audit append " + log + " " + options);
    EXPECT_EQ(r.status, 0) << options << ": " << r.err;
  }
  void AppendThree() {
    ASSERT_EQ(Tool("install").status, 0);
    Append(Log(), "--user ALICE --system LC-1 --message first --time '2026-12-05 08:00'");
    Append(Log(), "--user bob --system LC-2 --message 'a, \"b\"' --time '2026-12-05 09:00'");
    Append(Log(), "--user CAROL --system LC-1 --message third --time '2026-12-05 10:00'");
  }
};

// Reads `fd` into `seen` until it holds `wanted`, the pipe ends or 20 seconds pass.
inline bool ReadUntil(int fd, std::string* seen, const std::string& wanted) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (seen->find(wanted) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    struct pollfd ready = {fd, POLLIN, 0};
    if (::poll(&ready, 1, 200) <= 0) continue;
    char buffer[4096];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    seen->append(buffer, static_cast<size_t>(n));
  }
  return seen->find(wanted) != std::string::npos;
}

#endif  // LYRUTIL_TESTS_TOOLS_TOOL_TEST_H
