// The library's CopyFileA against the system's cp on a 64 MiB file, in one run; prints the ratio
// of their times (1.0: as fast as cp).
#include <LyrUtil.h>
#include <lyrhost.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr size_t kFileBytes = 64u << 20;
std::string g_prefix;

struct QuietUi : LyrHostUi {
  int ShowMessage(const char* text, UINT, UINT) override {
    std::fprintf(stderr, "message: %s\n", text);
    return IDOK;
  }
  int RunDialog(LyrDialog&) override { return IDCANCEL; }
};

void MakeSource() {
  char pattern[] = "/tmp/lyrutil-bench-XXXXXX";
  g_prefix = ::mkdtemp(pattern);
  LyrSetPrefix(g_prefix.c_str());
  std::ofstream out(g_prefix + "/drive_c/source.bin", std::ios::binary);
  std::string block(1 << 20, '\0');
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 31 + i / 4096);
  for (size_t written = 0; written < kFileBytes; written += block.size()) out << block;
}

void BM_LibraryCopyFileA(benchmark::State& state) {
  char destination[] = "C:\\copy.bin";
  char source[] = "C:\\source.bin";
  for (auto _ : state) {
    if (CopyFileA(destination, source) != 1) state.SkipWithError("CopyFileA failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileBytes));
}

void BM_SystemCp(benchmark::State& state) {
  std::string command = "cp " + g_prefix + "/drive_c/source.bin " + g_prefix + "/drive_c/cp.bin";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("cp failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileBytes));
}

BENCHMARK(BM_LibraryCopyFileA)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_SystemCp)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

// Passes results on to the console and keeps each benchmark's time per iteration.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) times_[run.benchmark_name()] = run.GetAdjustedRealTime();
  }
  double Time(const std::string& name) const {
    auto it = times_.find(name);
    return it == times_.end() ? 0 : it->second;
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  QuietUi ui;
  LyrSetHostUi(&ui);
  MakeSource();
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  double library = reporter.Time("BM_LibraryCopyFileA/min_time:2.000/real_time");
  double system = reporter.Time("BM_SystemCp/min_time:2.000/real_time");
  if (library > 0 && system > 0)
    std::printf("CopyFileA / cp time ratio: %.2f (64 MiB)\n", library / system);
  std::string cleanup = "rm -rf " + g_prefix;
  return std::system(cleanup.c_str()) == 0 ? 0 : 1;
}
