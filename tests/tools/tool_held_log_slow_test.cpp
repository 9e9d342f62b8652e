// lyrutil against logs that another program holds: the library retries for about five seconds
// and then reads or appends nothing, which the tool must never report as done.
#include "tool_test.h"

#include <chrono>
#include <poll.h>
#include <signal.h>
#include <thread>
#include <unistd.h>

namespace {

class ToolHeldLogTest : public ToolTest {
 protected:
  // Another program holds the log open without sharing, as the suite's own programs do.
  std::unique_ptr<HelperProcess> Hold(const std::string& dosPath, int seconds) {
    auto holder = std::make_unique<HelperProcess>(
        HelperPath("hold_file"),
        std::vector<std::string>{dosPath, std::to_string(GENERIC_READ | GENERIC_WRITE), "0",
                                 std::to_string(seconds)});
    EXPECT_EQ(holder->FirstLine(), "ready");
    return holder;
  }
};

// Held from the start: show and export exit 2 naming the log and the reason, the export's
// target is left as it was, and an interrupted export leaves nothing behind.
TEST_F(ToolHeldLogTest, AHeldLogFailsTheRunAndReplacesNothing) {
  AppendThree();
  const std::string target = DriveC() + "/out.txt";
  WriteHostFile(target, "the last good export\n");
  auto holder = Hold("C:\\audit.log", 60);
  ToolRun show = Tool("audit show " + Log() + " -o jsonl");
  EXPECT_EQ(show.status, 2);
  EXPECT_EQ(show.err, "lyrutil: " + Log() +
                          ": cannot be read: held by another program beyond the library's "
                          "retries\n");
  ExpectError(2, "held by another program", "audit export " + Log() + " --to " + target);
  EXPECT_EQ(ReadHostFile(target), "the last good export\n");

  int out = -1;
  const pid_t exporter =
      StartTool({"audit", "export", Log(), "--to", target}, Prefix() + "/export.err", &out);
  ASSERT_GT(exporter, 0);
  // The export waits in the library's retries with its private folder made.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(8);
  while (!AnyPrivateFolderIn(DriveC()) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_TRUE(AnyPrivateFolderIn(DriveC()));
  ::kill(exporter, SIGTERM);
  int status = 0;
  ::waitpid(exporter, &status, 0);
  ::close(out);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
  EXPECT_FALSE(AnyPrivateFolderIn(DriveC()));
  EXPECT_EQ(ReadHostFile(target), "the last good export\n");
}

// Held in the middle of a long read: the records read so far are shown, and the run ends with
// exit status 2 instead of passing for the whole log. The reader is stopped by a full pipe, the
// log taken while it waits, and the pipe drained after.
TEST_F(ToolHeldLogTest, AHoldDuringAReadFailsTheRun) {
  AppendThree();
  const std::string three = ReadHostFile(Log());
  std::string many;
  for (int i = 0; i < 7000; ++i) many += three;  // 21,000 records, about twenty loads
  WriteHostFile(Log(), many);
  const std::string errFile = Prefix() + "/show.err";
  int out = -1;
  const pid_t reader = StartTool({"audit", "show", Log(), "-o", "jsonl"}, errFile, &out);
  ASSERT_GT(reader, 0);
  // Once the reader has written, it fills the pipe (64 KB, some 150 records) at once and waits.
  struct pollfd written = {out, POLLIN, 0};
  ASSERT_EQ(::poll(&written, 1, 30000), 1);
  std::this_thread::sleep_for(std::chrono::seconds(1));
  auto holder = Hold("C:\\audit.log", 60);
  std::string shown;
  char buffer[65536];
  ssize_t n;
  while ((n = ::read(out, buffer, sizeof buffer)) > 0) shown.append(buffer, n);
  ::close(out);
  int status = 0;
  ::waitpid(reader, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 2);
  const size_t lines = static_cast<size_t>(LineCount(shown));
  EXPECT_GT(lines, 0u);
  EXPECT_LT(lines, 21000u);
  EXPECT_EQ(ReadHostFile(errFile),
            "lyrutil: " + Log() +
                ": could not be read to its end: held by another program beyond the library's "
                "retries\n");
}

// A parked append has its own exit status; a flush into a log that is still held, or into a
// file that is not an audit log, leaves the backlog as it was and says why; once the log is
// free, the flush brings the entry in.
TEST_F(ToolHeldLogTest, ParkedEntriesWaitSafelyAndMoveOnlyIntoAuditLogs) {
  AppendThree();
  const std::string backlog = DriveC() + "/Tessera/Work/error.blg";
  {
    auto holder = Hold("C:\\audit.log", 60);
    ToolRun parked = Tool("audit append " + Log() + " --user DAVE --message late");
    EXPECT_EQ(parked.status, 3);
    EXPECT_CONTAINS(parked.err, "safe in the backlog");
    const std::string waiting = ReadHostFile(backlog);
    ASSERT_EQ(waiting.size(), sizeof(LOG_BACKLOG_STRUCT));
    ExpectError(1, "still cannot be written; 1 entries stay parked", "audit backlog --flush");
    EXPECT_TRUE(ReadHostFile(backlog) == waiting) << "the failed flush added its own entry";
  }
  const std::string log = ReadHostFile(Log());
  WriteHostFile(Log(), "notes, not an audit log\n");
  ExpectError(1, "not an audit log", "audit backlog --flush");
  EXPECT_EQ(ReadHostFile(Log()), "notes, not an audit log\n");
  EXPECT_EQ(ReadHostFile(backlog).size(), sizeof(LOG_BACKLOG_STRUCT));

  WriteHostFile(Log(), log);
  ToolRun flushed = Tool("audit backlog --flush");
  EXPECT_EQ(flushed.status, 0) << flushed.err;
  EXPECT_EQ(ReadHostFile(backlog).size(), 0u);
  EXPECT_EQ(ReadHostFile(Log()).size(), 5 * sizeof(LOG_ENTRY_STRUCT));
  EXPECT_CONTAINS(Tool("audit show " + Log()).out, "DAVE");
}

// In an installation that seals, an entry that waited in the backlog is sealed when it moves in,
// behind the record that brought it: the chain verifies with the key.
TEST_F(ToolHeldLogTest, EntriesMovedInFromTheBacklogAreSealed) {
  ASSERT_EQ(Tool("install").status, 0);
  ToolRun init = Tool("audit seal init");
  ASSERT_EQ(init.status, 0) << init.err;
  const std::string key = LastLine(init.out);
  Append(Log(), "--user A --message first");
  {
    auto holder = Hold("C:\\audit.log", 60);
    EXPECT_EQ(Tool("audit append " + Log() + " --user B --message parked").status, 3);
  }
  Append(Log(), "--user C --message third");
  // Verify still reports the moved entry as stored out of time order, and nothing of its seal.
  ToolRun verified = Tool("audit verify " + Log() + " --key " + key);
  EXPECT_LACKS(verified.out, "seal:");
  EXPECT_CONTAINS(verified.out, "3 records, 3 sealed (seals checked with the key)");
}

}  // namespace
