// FormatFloatString and Lyra_atof against snprintf and strtod on the same inputs, side by side.
#include <LyrUtil.h>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

// Values as dialogs hold them: magnitudes from 1e-6 to 1e9, both signs.
const std::vector<double>& Values() {
  static const std::vector<double> values = [] {
    std::mt19937_64 random(42);
    std::uniform_real_distribution<double> exponent(-6, 9);
    std::vector<double> v(1024);
    for (size_t i = 0; i < v.size(); ++i)
      v[i] = (i % 2 ? -1 : 1) * std::pow(10.0, exponent(random));
    return v;
  }();
  return values;
}

const std::vector<std::string>& Texts() {
  static const std::vector<std::string> texts = [] {
    std::vector<std::string> t;
    char buffer[32];
    for (double v : Values()) {
      std::snprintf(buffer, sizeof buffer, "%.6g", v);
      t.push_back(buffer);
    }
    return t;
  }();
  return texts;
}

void BM_FormatFloatString(benchmark::State& state) {
  char out[32];
  size_t i = 0;
  for (auto _ : state) {
    FormatFloatString(Values()[i++ % 1024], out, 3, 12, 0);
    benchmark::DoNotOptimize(out);
  }
}

void BM_Snprintf(benchmark::State& state) {
  char out[32];
  size_t i = 0;
  for (auto _ : state) {
    std::snprintf(out, sizeof out, "%.3f", Values()[i++ % 1024]);
    benchmark::DoNotOptimize(out);
  }
}

void BM_LyraAtof(benchmark::State& state) {
  std::vector<std::string> texts = Texts();
  double value;
  size_t i = 0;
  for (auto _ : state) {
    Lyra_atof(&value, &texts[i++ % 1024][0]);
    benchmark::DoNotOptimize(value);
  }
}

void BM_Strtod(benchmark::State& state) {
  double value;
  size_t i = 0;
  for (auto _ : state) {
    value = std::strtod(Texts()[i++ % 1024].c_str(), nullptr);
    benchmark::DoNotOptimize(value);
  }
}

BENCHMARK(BM_FormatFloatString);
BENCHMARK(BM_Snprintf);
BENCHMARK(BM_LyraAtof);
BENCHMARK(BM_Strtod);

}  // namespace

BENCHMARK_MAIN();
