// The waits of shared opens, with other processes holding the files. These take seconds by
// design and run under the ctest label "slow".
#include "lyr_test.h"

#include <chrono>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

class SharedOpenSlowTest : public LyrTest {};

long long MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// A plain file held by another process: a refused open is retried for about five seconds, and
// succeeds as soon as the holder lets go within them.
TEST_F(SharedOpenSlowTest, RefusedOpenIsRetriedForAboutFiveSeconds) {
  WriteHostFile(DriveC() + "/audit.log", "x");
  struct Case {
    const char* heldSeconds;
    int result;
    long long atLeastMs, belowMs;
  };
  for (const Case& c : {Case{"10", 1, 5000, 7000}, Case{"2", 0, 1500, 4000}}) {
    SCOPED_TRACE(c.heldSeconds);
    HelperProcess holder(HelperPath("hold_file"),
                         {"C:\\audit.log", std::to_string(GENERIC_READ), "0", c.heldSeconds});
    ASSERT_EQ(holder.FirstLine(), "ready");
    CFile file;
    char name[] = "C:\\audit.log";
    auto start = Clock::now();
    EXPECT_EQ(LyrOpenFile(&file, name, CFile::modeWrite | CFile::shareExclusive), c.result);
    long long waited = MillisecondsSince(start);
    EXPECT_GE(waited, c.atLeastMs);
    EXPECT_LT(waited, c.belowMs);
    if (c.result == 0) file.Close();
  }
  EXPECT_TRUE(ui_.beeps.empty());  // not a method file: no probes, no sound
}

TEST_F(SharedOpenSlowTest, MethodFileHeldElsewhereIsWaitedForWithASoundPerProbe) {
  WriteHostFile(DriveC() + "/m._xm", "method");
  HelperProcess holder(HelperPath("hold_file"), {"C:\\m._xm", std::to_string(GENERIC_READ),
                                                 std::to_string(FILE_SHARE_READ), "2"});
  ASSERT_EQ(holder.FirstLine(), "ready");
  CFile file;
  char name[] = "C:\\m._xm";
  auto start = Clock::now();
  // The holder shares reading, so this open itself would succeed at once: the wait is the probe's.
  EXPECT_EQ(LyrOpenFile(&file, name, CFile::modeRead | CFile::shareDenyNone), 0);
  EXPECT_GE(MillisecondsSince(start), 1500);
  if (kUiSeesBeepsAndForeground) {
    EXPECT_GT(ui_.beeps.size(), 1u);
  }
  if (kUiSeesBeepsAndForeground) {
    for (UINT beep : ui_.beeps) EXPECT_EQ(beep, static_cast<UINT>(MB_ICONEXCLAMATION));
  }
  file.Close();
}

TEST_F(SharedOpenSlowTest, AddFileToLockWaitsForAnotherThreadsRemoval) {
  InitSystemGlobalParameters();
  char name[] = "C:\\turn._gm";
  AddFileToLock(name);
  std::thread other([] {
    Sleep(1500);
    char mine[] = "c:\\TURN._gm";
    RemoveFileFromListe(mine);
  });
  auto start = Clock::now();
  AddFileToLock(name);
  EXPECT_GE(MillisecondsSince(start), 1400);
  other.join();
  RemoveFileFromListe(name);
  EXPECT_EQ(IsFileLocked(name), 0);
}

}  // namespace
