// lyrutil over an audit log of 1,000,000 records (1.2 GB): each reading command in records per
// second against `cat` of the same file to /dev/null, all in one run, with the peak memory of
// each run (peak_MB, the command's own maximum resident set). The log sits in the page cache for
// all of them, so the baseline is the cost of reading it.
#include <LyrUtil.h>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr int kRecords = 1000000;

const std::string& Prefix() {
  static const std::string prefix = [] {
    char folder[] = "/tmp/lyrutil-tool-bench.XXXXXX";
    if (::mkdtemp(folder) == nullptr) std::abort();
    return std::string(folder);
  }();
  return prefix;
}

std::string Log() {
  return Prefix() + "/drive_c/day.log";
}

// Records as a suite application writes them: a second apart, seven users, two systems.
void WriteLog() {
  std::system(("mkdir -p '" + Prefix() + "/drive_c'").c_str());
  std::vector<LOG_ENTRY_STRUCT> block(4096);
  const int fd = ::open(Log().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  for (int written = 0; written < kRecords;) {
    const int n = std::min<int>(static_cast<int>(block.size()), kRecords - written);
    for (int i = 0; i < n; ++i) {
      LOG_ENTRY_STRUCT& e = block[i];
      std::memset(&e, 0, sizeof e);
      e.Time = 1700000000 + written + i;
      std::snprintf(e.UsrId, sizeof e.UsrId, "USER%d", (written + i) % 7);
      std::snprintf(e.SysId, sizeof e.SysId, "LC-%d", (written + i) % 2 + 1);
      e.Channel = 'A';
      std::snprintf(e.SysMess, sizeof e.SysMess, "Sample %d injected", written + i);
    }
    if (::write(fd, block.data(), n * sizeof(LOG_ENTRY_STRUCT)) < 0) std::abort();
    written += n;
  }
  ::close(fd);
}

// Runs `command` through the shell, which execs it, so that the child's resource use is the
// command's own.
void RunOver(benchmark::State& state, const std::string& command) {
  double peakMegabytes = 0;
  for (auto _ : state) {
    const pid_t child = ::fork();
    if (child == 0) {
      ::execl("/bin/sh", "sh", "-c", ("exec " + command).c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    int status = 0;
    struct rusage usage {};
    if (::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
      state.SkipWithError(("failed: " + command).c_str());
    peakMegabytes = std::max(peakMegabytes, usage.ru_maxrss / 1024.0);
  }
  state.counters["peak_MB"] = peakMegabytes;
  state.SetItemsProcessed(state.iterations() * kRecords);
  state.SetBytesProcessed(state.iterations() * kRecords *
                          static_cast<int64_t>(sizeof(LOG_ENTRY_STRUCT)));
}

std::string Tool(const std::string& arguments) {
  return std::string(LYRUTIL_TOOL) + " --prefix '" + Prefix() + "' " + arguments;
}

void BM_Cat(benchmark::State& state) {
  RunOver(state, "cat '" + Log() + "' > /dev/null");
}
void BM_ShowJsonl(benchmark::State& state) {
  RunOver(state, Tool("audit show '" + Log() + "' -o jsonl > /dev/null"));
}
void BM_ShowText(benchmark::State& state) {
  RunOver(state, Tool("audit show '" + Log() + "' > /dev/null"));
}
// A filter that matches one record in seven: the whole log is still read.
void BM_ShowOneUser(benchmark::State& state) {
  RunOver(state, Tool("audit show '" + Log() + "' --user user3 -o jsonl > /dev/null"));
}
void BM_ShowReverse(benchmark::State& state) {
  RunOver(state, Tool("audit show '" + Log() + "' -r -o jsonl > /dev/null"));
}
// The last ten: read from the end, so the log's size hardly counts.
void BM_ShowLastTen(benchmark::State& state) {
  RunOver(state, Tool("audit show '" + Log() + "' -n 10 > /dev/null"));
}
void BM_Verify(benchmark::State& state) {
  RunOver(state, Tool("audit verify '" + Log() + "' > /dev/null"));
}
void BM_Stats(benchmark::State& state) {
  RunOver(state, Tool("audit stats '" + Log() + "' > /dev/null"));
}
void BM_Export(benchmark::State& state) {
  RunOver(state, Tool("audit export '" + Log() + "' --to '" + Prefix() + "/day.txt' 2> /dev/null"));
}

BENCHMARK(BM_Cat)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ShowJsonl)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_ShowText)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_ShowOneUser)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_ShowReverse)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_ShowLastTen)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Verify)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_Stats)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_Export)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  WriteLog();
  // The reading commands need an installation to read in.
  if (std::system((Tool("install") + " > /dev/null").c_str()) != 0) return 1;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::system(("rm -rf '" + Prefix() + "'").c_str());
  return 0;
}
