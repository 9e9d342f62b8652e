// The audit trail against plain baselines in the same run, on a log of 100,000 records: appends,
// a filtered scan that matches nothing, the text export, and the records read to find a begin
// time (also on 1,000,000 records). Each of the library's benchmarks also reports the heap
// allocations it made per record (allocs_per_record), counted at malloc; the heap in use over a
// scan of 1,000,000 records is printed at the end.
#include <LyrUtil.h>
#include <lyrhost.h>

#include "log_seal.h"
#include "smb_server.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <string>
#include <vector>

// Every heap allocation of the process goes through here (operator new calls malloc), counted,
// with the bytes in use (as malloc_usable_size sees them) and their highest mark.
std::atomic<long long> g_allocations{0};
std::atomic<long long> g_heapBytes{0};
std::atomic<long long> g_heapPeak{0};

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void __libc_free(void* block);

static void* Counted(void* block) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (block != nullptr) {
    const long long now = g_heapBytes.fetch_add(static_cast<long long>(malloc_usable_size(block))) +
                          static_cast<long long>(malloc_usable_size(block));
    long long peak = g_heapPeak.load(std::memory_order_relaxed);
    while (now > peak && !g_heapPeak.compare_exchange_weak(peak, now)) {
    }
  }
  return block;
}

void* malloc(size_t size) {
  return Counted(__libc_malloc(size));
}
void* calloc(size_t count, size_t size) {
  return Counted(__libc_calloc(count, size));
}
void* realloc(void* block, size_t size) {
  const long long before = block ? static_cast<long long>(malloc_usable_size(block)) : 0;
  void* moved = __libc_realloc(block, size);
  if (moved != nullptr || size == 0) g_heapBytes.fetch_sub(before);
  return Counted(moved);
}
void free(void* block) {
  if (block != nullptr) g_heapBytes.fetch_sub(static_cast<long long>(malloc_usable_size(block)));
  __libc_free(block);
}
}

namespace {

constexpr int kRecords = 100000;

// Counts the allocations from here to Report, per record handled.
class AllocationCounter {
 public:
  AllocationCounter() : start_(g_allocations.load()) {}
  void Report(benchmark::State& state, long long records) {
    state.counters["allocs_per_record"] =
        static_cast<double>(g_allocations.load() - start_) / static_cast<double>(records);
  }

 private:
  long long start_;
};
std::string g_prefix;

// Counts the stand-in's system calls (its own call table) from here to Report, per unit of
// work: an append, or a load of 53 records. The plain loops make 4 (open, write, fsync, close)
// and 3 (open, pread, close).
class SystemCallCounter {
 public:
  SystemCallCounter() : start_(LyrSystemCallCount(nullptr)) {}
  void Report(benchmark::State& state, long long units, const char* name) {
    state.counters[name] =
        static_cast<double>(LyrSystemCallCount(nullptr) - start_) / static_cast<double>(units);
  }

 private:
  unsigned long long start_;
};

struct QuietUi : LyrHostUi {
  int ShowMessage(const char*, UINT, UINT) override { return IDOK; }
  int RunDialog(LyrDialog&) override { return IDOK; }
};

std::string HostPath(const char* name) {
  return g_prefix + "/drive_c/" + name;
}

void WriteLog(const char* name, int records) {
  std::vector<LOG_ENTRY_STRUCT> block(4096);
  int fd = ::open(HostPath(name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  for (int written = 0; written < records;) {
    int n = std::min<int>(static_cast<int>(block.size()), records - written);
    for (int i = 0; i < n; ++i) {
      LOG_ENTRY_STRUCT& e = block[i];
      std::memset(&e, 0, sizeof e);
      e.Time = 1000000000 + (written + i) * 10;
      std::snprintf(e.UsrId, sizeof e.UsrId, "user%d", (written + i) % 7);
      e.Channel = 'A';
      std::snprintf(e.SysMess, sizeof e.SysMess, "action %d", written + i);
    }
    if (::write(fd, block.data(), n * sizeof(LOG_ENTRY_STRUCT)) < 0) break;
    written += n;
  }
  ::close(fd);
}

// Appends the same entry to `path` (a DOS path) once an iteration.
void AppendRepeatedly(benchmark::State& state, const char* path) {
  CLyrLog log;
  std::string name = path;
  log.SetFile(&name[0]);
  log.SetSysMess("benchmark");
  AllocationCounter allocations;
  SystemCallCounter calls;
  for (auto _ : state) log.FixLogMess(0);
  allocations.Report(state, state.iterations());
  calls.Report(state, state.iterations(), "syscalls_per_append");
  state.SetItemsProcessed(state.iterations());
}

void BM_FixLogMess(benchmark::State& state) {
  AppendRepeatedly(state, "C:\\append.log");
}

// The same append to a log on a share of a Samba server on loopback (started by the benchmark):
// every call of the append crosses to the server, which keeps the share modes.
void BM_FixLogMessOnAShare(benchmark::State& state) {
  SmbServer& server = TestSmbServer();
  if (!server.Running()) {
    state.SkipWithError("smbd did not start");
    return;
  }
  AppendRepeatedly(state, "\\\\127.0.0.1\\lab\\append.log");
}

// Starts sealing the installation once; the verification key it gives, or null (with the
// benchmark skipped) when it cannot.
const lyrutil::SealVerificationKey* SealingKey(benchmark::State& state) {
  static lyrutil::SealVerificationKey key;
  static std::string error;
  static const bool started = [] {
    const bool ok = lyrutil::StartSealing(900, std::time(nullptr), &key, &error);
    // Measured as an installation that sealed long ago: the stand-in trusts what it remembers of
    // a folder (here: the backlog is missing) only once the folder's last change (the key file
    // made) has settled, a second later; until then every append scans the folder.
    if (ok) std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    return ok;
  }();
  if (!started) state.SkipWithError(error.c_str());
  return started ? &key : nullptr;
}

// The same append in an installation that seals: the record read back, its digest, the chain,
// the MAC and the seal file's entry (written, not flushed).
void BM_FixLogMessSealed(benchmark::State& state) {
  if (SealingKey(state) != nullptr) AppendRepeatedly(state, "C:\\sealed.log");
}

// A sealed log of kRecords records: one appended, the rest written behind the library's back and
// sealed late by the last append, which seals whatever its seal file does not cover yet.
void WriteSealedLog(const char* name) {
  CLyrLog log;
  std::string dos = std::string("C:\\") + name;
  log.SetFile(&dos[0]);
  log.SetSysMess("first");
  log.FixLogMess(0);
  std::vector<LOG_ENTRY_STRUCT> block(kRecords - 2);
  for (size_t i = 0; i < block.size(); ++i) {
    block[i].Time = static_cast<int>(std::time(nullptr));
    std::snprintf(block[i].SysMess, sizeof block[i].SysMess, "action %zu", i);
  }
  const int fd = ::open(HostPath(name).c_str(), O_WRONLY | O_APPEND);
  if (fd < 0 || ::write(fd, block.data(), block.size() * sizeof block[0]) < 0) std::abort();
  ::close(fd);
  log.FixLogMess(0);
}

// `audit verify --key` without the tool around it: every record's digest, the chain, each seal's
// MAC. Set against the filtered scan, which reads the same number of records.
void BM_VerifySealedLog(benchmark::State& state) {
  const lyrutil::SealVerificationKey* key = SealingKey(state);
  if (key == nullptr) return;
  static const int written = (WriteSealedLog("verified.log"), 0);
  (void)written;
  const std::string path = "C:\\verified.log";
  for (auto _ : state) {
    const lyrutil::SealReport report =
        lyrutil::VerifySeals(path.c_str(), key, "", std::time(nullptr));
    if (report.records != kRecords || report.sealEntries != kRecords)
      state.SkipWithError("the sealed log did not verify whole");
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_PlainAppend(benchmark::State& state, bool sync) {
  LOG_ENTRY_STRUCT entry = {};
  std::string path = HostPath("plain.log");
  for (auto _ : state) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0666);
    if (::write(fd, &entry, sizeof entry) != sizeof entry) state.SkipWithError("write");
    if (sync) ::fsync(fd);
    ::close(fd);
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_FilteredScanMatchingNothing(benchmark::State& state) {
  CLyrLog log;
  char path[] = "C:\\big.log";
  log.SetFile(path);
  log.SetUsrIdMask("nobody");
  AllocationCounter allocations;
  SystemCallCounter calls;
  for (auto _ : state) benchmark::DoNotOptimize(log.SetMask());
  allocations.Report(state, state.iterations() * kRecords);
  calls.Report(state, state.iterations() * ((kRecords + 52) / 53), "syscalls_per_load");
  state.SetItemsProcessed(state.iterations() * kRecords);
}

// The library's reading pattern with nothing around it: for each load of 53 records, open the
// log, read 64,448 bytes at the load's offset, close.
void BM_PlainBlockRead(benchmark::State& state) {
  constexpr size_t kLoad = 53 * sizeof(LOG_ENTRY_STRUCT);
  std::vector<char> buffer(kLoad);
  std::string path = HostPath("big.log");
  for (auto _ : state) {
    for (off_t at = 0;
         at < static_cast<off_t>(kRecords) * static_cast<off_t>(sizeof(LOG_ENTRY_STRUCT));
         at += static_cast<off_t>(kLoad)) {
      int fd = ::open(path.c_str(), O_RDONLY);
      if (::pread(fd, buffer.data(), kLoad, at) < 0) state.SkipWithError("read");
      ::close(fd);
    }
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_ExportASCIILog(benchmark::State& state) {
  CLyrLog log;
  char path[] = "C:\\big.log";
  char out[] = "C:\\export.txt";
  log.SetFile(path);
  AllocationCounter allocations;
  for (auto _ : state) log.ExportASCIILog(out);
  allocations.Report(state, state.iterations() * kRecords);
  state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_PlainFormatLines(benchmark::State& state) {
  std::string path = HostPath("big.log");
  std::vector<LOG_ENTRY_STRUCT> entries(kRecords);
  int fd = ::open(path.c_str(), O_RDONLY);
  if (::read(fd, entries.data(), entries.size() * sizeof(LOG_ENTRY_STRUCT)) < 0)
    state.SkipWithError("read");
  ::close(fd);
  for (auto _ : state) {
    FILE* out = std::fopen(HostPath("plain.txt").c_str(), "w");
    for (const LOG_ENTRY_STRUCT& e : entries) {
      time_t t = e.Time;
      struct tm local;
      localtime_r(&t, &local);
      char date[32], clock[32], line[1100];
      std::strftime(date, sizeof date, "%d/%m/%Y", &local);
      std::strftime(clock, sizeof clock, "%X", &local);
      int n =
          std::snprintf(line, sizeof line,
                        "%s | %s | %s | %s | %s | %s | %s | %s | %s | %c | %s | %s | %s | %s\r\n",
                        date, clock, e.UsrId, e.AuthId, e.SysId, e.PrjId, e.SmpId, e.SmpName,
                        e.ARName, e.Channel, e.MethName, e.MethType, e.SysMess, e.UsrMess);
      std::fwrite(line, 1, static_cast<size_t>(n), out);
    }
    std::fclose(out);
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}

BENCHMARK(BM_FixLogMess)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FixLogMessSealed)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FixLogMessOnAShare)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_VerifySealedLog)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PlainAppend, no_fsync, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_PlainAppend, fsync, true)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FilteredScanMatchingNothing)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainBlockRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportASCIILog)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PlainFormatLines)->Unit(benchmark::kMillisecond)->Iterations(3);

// On a log of `records` records written for it (and removed after): the reads that position a
// begin time, against the ⌈log2 n⌉ + 2 of the binary search (the first record, the last, the
// search), and a filtered scan's speed and heap, which should not change with the log's size.
void ReportAtScale(int records) {
  const char name[] = "scale.log";
  WriteLog(name, records);
  std::string dos = std::string("C:\\") + name;
  {
    CLyrLog log;
    log.SetFile(&dos[0]);
    log.SetBeginTimeMask(1000000000 + (records / 3) * 10 + 5);
    const unsigned long long before = LyrFileReadCount();
    log.SetMask();
    const unsigned long long reads = LyrFileReadCount() - before - 1;  // the first load
    std::printf("%d records: %llu reads position a begin time (at most %d)\n", records, reads,
                static_cast<int>(std::ceil(std::log2(records))) + 2);
  }
  CLyrLog log;
  log.SetFile(&dos[0]);
  log.SetUsrIdMask("nobody");
  const long long before = g_heapBytes.load();
  g_heapPeak.store(before);
  const auto start = std::chrono::steady_clock::now();
  log.SetMask();
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  const long long after = g_heapBytes.load();
  std::printf(
      "%d records: a filtered scan reads %.2f million records a second; heap %lld bytes "
      "before, %lld after, at most %lld more during it\n",
      records, records / took.count() / 1e6, before, after, g_heapPeak.load() - before);
  std::remove(HostPath(name).c_str());
}

// The suite installed as its installer leaves it: the registry's installation path and the INI
// file's working directory, which every append reads to find the backlog.
void InstallSuite() {
  CreateDirectoryA("C:\\Tessera", nullptr);
  CreateDirectoryA("C:\\Tessera\\Work", nullptr);
  HKEY key;
  RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\KDT_Zuzovodevoz\\Tessera", 0, nullptr, 0,
                  KEY_ALL_ACCESS, nullptr, &key, nullptr);
  const char path[] = "C:\\Tessera";
  RegSetValueExA(key, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(path), sizeof path);
  RegCloseKey(key);
  WritePrivateProfileStringA("WORKING PATH", "WorkingDirectory", "C:\\Tessera\\Work",
                             "C:\\Tessera\\sylwin.ini");
}

// The console's table, and each benchmark's wall time per iteration kept for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  RatioReporter() : ConsoleReporter(::isatty(STDOUT_FILENO) ? OO_Color : OO_None) {}

  // With --benchmark_repetitions the median of the repetitions stands for the benchmark, so that
  // one slow fsync does not decide the ratio.
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred || run.iterations == 0) continue;
      const double seconds = run.real_accumulated_time / static_cast<double>(run.iterations);
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
        medians_[run.run_name.str()] = seconds;
      } else if (run.run_type == Run::RT_Iteration) {
        seconds_[run.benchmark_name()] = seconds;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // The library against its plain loop, as bench/README.md sets them side by side.
  void PrintRatios() const {
    struct Pair {
      const char* work;
      const char* library;
      const char* plain;
    } pairs[] = {
        {"One audited append, on disk", "BM_FixLogMess", "BM_PlainAppend/fsync"},
        {"Sealed append against unsealed", "BM_FixLogMessSealed", "BM_FixLogMess"},
        {"Append on a share against on disk", "BM_FixLogMessOnAShare", "BM_FixLogMess"},
        {"Filtered scan, 100,000 records", "BM_FilteredScanMatchingNothing", "BM_PlainBlockRead"},
        {"ExportASCIILog, 100,000 records", "BM_ExportASCIILog", "BM_PlainFormatLines"},
        {"Verify with the key against the scan", "BM_VerifySealedLog",
         "BM_FilteredScanMatchingNothing"}};
    std::printf("\n%-34s %12s %12s %7s\n", "Work", "LyrUtil", "Plain loop", "Ratio");
    for (const Pair& pair : pairs) {
      const double library = Find(pair.library), plain = Find(pair.plain);
      if (library <= 0 || plain <= 0) continue;  // not run (a filter left it out)
      std::printf("%-34s %12s %12s %7.2f\n", pair.work, Duration(library).c_str(),
                  Duration(plain).c_str(), plain / library);
    }
  }

 private:
  // The time of the benchmark whose name begins with `name` (iteration counts follow a '/').
  double Find(const std::string& name) const {
    for (const auto* times : {&medians_, &seconds_}) {
      for (const auto& kept : *times)
        if (kept.first == name || kept.first.rfind(name + "/", 0) == 0) return kept.second;
    }
    return 0;
  }

  static std::string Duration(double seconds) {
    char text[32];
    if (seconds >= 0.01)
      std::snprintf(text, sizeof text, "%.1f ms", seconds * 1e3);
    else
      std::snprintf(text, sizeof text, "%.0f us", seconds * 1e6);
    return text;
  }

  std::map<std::string, double> seconds_;
  std::map<std::string, double> medians_;
};

}  // namespace

// The heap over a filtered scan of 1,000,000 records that matches nothing: what a scan keeps
// does not grow with the log.
int main(int argc, char** argv) {
  QuietUi ui;
  LyrSetHostUi(&ui);
  char pattern[] = "/tmp/lyrutil-audit-bench-XXXXXX";
  g_prefix = ::mkdtemp(pattern);
  LyrSetPrefix(g_prefix.c_str());
  InstallSuite();
  InitSystemGlobalParameters();
  WriteLog("big.log", kRecords);
  WriteLog("append.log", kRecords);
  // The logs just written are flushed now, so that the first appends' fsync does not pay for
  // writing 240 MB back; and the installation is left to settle for a second, as any real one
  // has: the stand-in reads settings and drive links changed within the last second afresh.
  ::sync();
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  ReportAtScale(100000);
  ReportAtScale(1000000);
  // LYRUTIL_BENCH_SCALE=10000000 adds a log of that many records (12 GB for ten million: the
  // disk needs room for it).
  if (const char* scale = std::getenv("LYRUTIL_BENCH_SCALE")) ReportAtScale(std::atoi(scale));
  std::string cleanup = "rm -rf " + g_prefix;
  return std::system(cleanup.c_str()) == 0 ? 0 : 1;
}
