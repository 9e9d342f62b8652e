// The progress bar of export and extract.
#include "progress_bar.h"

#include <lyrhost.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

constexpr unsigned long long kRecordsPerRead = 53;
constexpr int kBarWidth = 30;

std::chrono::milliseconds Delay() {
  const char* text = std::getenv("LYRUTIL_PROGRESS_DELAY_MS");
  return std::chrono::milliseconds(text != nullptr ? std::strtol(text, nullptr, 10) : 1000);
}

}  // namespace

ReadProgress::ReadProgress(std::string label, unsigned long long records)
    : label_(std::move(label)),
      reads_(std::max(1ull, (records + kRecordsPerRead - 1) / kRecordsPerRead)),
      startReads_(LyrFileReadCount()) {
  if (::isatty(2)) thread_ = std::thread(&ReadProgress::Run, this);
}

ReadProgress::~ReadProgress() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    done_ = true;
  }
  wake_.notify_one();
  thread_.join();
  if (shown_) std::fputs("\r\033[K", stderr);  // the line is left for the result
}

void ReadProgress::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (wake_.wait_for(lock, Delay(), [this] { return done_; })) return;
  do {
    const double done = static_cast<double>(LyrFileReadCount() - startReads_);
    Draw(std::min(1.0, done / static_cast<double>(reads_)));
  } while (!wake_.wait_for(lock, std::chrono::milliseconds(200), [this] { return done_; }));
}

void ReadProgress::Draw(double fraction) {
  const int filled = static_cast<int>(fraction * kBarWidth);
  std::string bar(static_cast<size_t>(filled), '#');
  bar.append(static_cast<size_t>(kBarWidth - filled), '.');
  std::fprintf(stderr, "\r%s [%s] %3d%%", label_.c_str(), bar.c_str(),
               static_cast<int>(fraction * 100));
  std::fflush(stderr);
  shown_ = true;
}
