// lyrutil over an audit log of 1,000,000 records (1.2 GB): `audit show -o jsonl` and
// `audit export`, in records per second, against `cat` of the same file to /dev/null, all in one
// run. The log sits in the page cache for all three, so the baseline is the cost of reading it.
#include <LyrUtil.h>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
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

void RunOver(benchmark::State& state, const std::string& command) {
  for (auto _ : state)
    if (std::system(command.c_str()) != 0) state.SkipWithError(("failed: " + command).c_str());
  state.SetItemsProcessed(state.iterations() * kRecords);
  state.SetBytesProcessed(state.iterations() * kRecords *
                          static_cast<int64_t>(sizeof(LOG_ENTRY_STRUCT)));
}

const std::string kTool = std::string(LYRUTIL_TOOL) + " --prefix ";

void BM_Cat(benchmark::State& state) {
  RunOver(state, "cat '" + Log() + "' > /dev/null");
}
void BM_ShowJsonl(benchmark::State& state) {
  RunOver(state, kTool + "'" + Prefix() + "' audit show '" + Log() + "' -o jsonl > /dev/null");
}
void BM_Export(benchmark::State& state) {
  RunOver(state, kTool + "'" + Prefix() + "' audit export '" + Log() + "' --to '" + Prefix() +
                     "/day.txt' 2> /dev/null");
}

BENCHMARK(BM_Cat)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ShowJsonl)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_Export)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  WriteLog();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::system(("rm -rf '" + Prefix() + "'").c_str());
  return 0;
}
