// A registry query on a registry of about 1 MB (10,000 keys), as an installation that has been
// in use for years may hold: served from memory while the file is unchanged, it costs a lock, a
// counter read and a stat; after a change, the file is parsed once again.
#include <LyrUtil.h>
#include <lyrhost.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

std::string MakeLargeRegistry() {
  char pattern[] = "/tmp/lyrutil-bench-XXXXXX";
  std::string prefix = ::mkdtemp(pattern);
  LyrSetPrefix(prefix.c_str());
  for (int i = 0; i < 10000; ++i) {
    HKEY key;
    std::string name = "Software\\Bench\\Key" + std::to_string(i);
    if (i % 1000 != 999 && i != 0) continue;  // one key in a thousand through the API ...
    RegCreateKeyA(HKEY_LOCAL_MACHINE, name.c_str(), &key);
    RegCloseKey(key);
  }
  // ... and the bulk written as a file, as an import would leave it.
  std::string text = "Windows Registry Editor Version 5.00\r\n\r\n";
  for (int i = 0; i < 10000; ++i) {
    text += "[HKEY_LOCAL_MACHINE\\Software\\Bench\\Key" + std::to_string(i) + "]\r\n";
    text += "\"Path\"=\"C:\\\\Tessera\\\\Data\\\\Project" + std::to_string(i) +
            "\\\\Results and more text to fill\"\r\n\"Count\"=dword:0000002a\r\n\r\n";
  }
  FILE* f = std::fopen((prefix + "/system.reg").c_str(), "wb");
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
  return prefix;
}

DWORD Query() {
  HKEY key;
  DWORD value = 0;
  DWORD size = sizeof value;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Bench\\Key5000", 0, KEY_READ, &key) ==
      ERROR_SUCCESS) {
    RegQueryValueExA(key, "Count", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
  }
  return value;
}

void BM_QueryUnchangedRegistry(benchmark::State& state) {
  std::string prefix = MakeLargeRegistry();
  if (Query() != 42) state.SkipWithError("the value was not read");
  for (auto _ : state) benchmark::DoNotOptimize(Query());
  std::system(("rm -rf " + prefix).c_str());
}

void BM_QueryAfterEachChange(benchmark::State& state) {
  std::string prefix = MakeLargeRegistry();
  HKEY key;
  RegCreateKeyA(HKEY_LOCAL_MACHINE, "Software\\Bench\\Changing", &key);
  DWORD n = 0;
  for (auto _ : state) {
    state.PauseTiming();
    ++n;
    RegSetValueExA(key, "N", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&n), sizeof n);
    state.ResumeTiming();
    benchmark::DoNotOptimize(Query());
  }
  RegCloseKey(key);
  std::system(("rm -rf " + prefix).c_str());
}

}  // namespace

BENCHMARK(BM_QueryUnchangedRegistry)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_QueryAfterEachChange)->Unit(benchmark::kMillisecond)->Iterations(20);

BENCHMARK_MAIN();
