// A progress bar on standard error for a library call that reads an audit log from start to end
// (an export or an extract), so that a person waiting on a large log sees it move.
#ifndef LYRUTIL_TOOLS_PROGRESS_BAR_H
#define LYRUTIL_TOOLS_PROGRESS_BAR_H

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

// Shown only when standard error is a terminal, and only once the work has taken a second
// ($LYRUTIL_PROGRESS_DELAY_MS changes the second, for tests). The library reads a log 53 records
// at a time, one file read each; the fraction done is the reads made since the bar was created
// against those a whole pass over `records` takes. The destructor clears the bar.
class ReadProgress {
 public:
  ReadProgress(std::string label, unsigned long long records);
  ~ReadProgress();
  ReadProgress(const ReadProgress&) = delete;
  ReadProgress& operator=(const ReadProgress&) = delete;

 private:
  void Run();
  void Draw(double fraction);

  std::string label_;
  unsigned long long reads_;  // a whole pass
  unsigned long long startReads_;
  bool shown_ = false;
  bool done_ = false;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::thread thread_;
};

#endif  // LYRUTIL_TOOLS_PROGRESS_BAR_H
