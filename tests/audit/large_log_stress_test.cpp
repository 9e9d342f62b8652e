// Logs past 2 and 4 GiB, as a log that is never rewritten becomes over the years: made sparse,
// so that they cost no disk, with a few real records at their end.
#include "lyr_test.h"

#if LYR_POSIX_TESTS  // sparse files and resource limits

#include "audit_test_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include <string>
#include <vector>

namespace {

constexpr off_t kEntry = sizeof(LOG_ENTRY_STRUCT);

class LargeLogTest : public LyrTest {
 protected:
  void SetUp() override {
    LyrTest::SetUp();
    InstallSuiteWorkingIn();
  }

  std::string LogHost() const { return DriveC() + "/big.log"; }

  // A log of `records` records: empty ones (time 0), then "t0", "t1", "t2" at times 2000 to 2002.
  void MakeSparseLog(off_t records) {
    int fd = ::open(LogHost().c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0666);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, (records - 3) * kEntry), 0);
    for (int i = 0; i < 3; ++i) {
      LOG_ENTRY_STRUCT e = MakeEntry(2000 + i, "tail", ' ', ("t" + std::to_string(i)).c_str());
      ASSERT_EQ(::pwrite(fd, &e, sizeof e, (records - 3 + i) * kEntry), kEntry);
    }
    ::close(fd);
  }

  static off_t HostSize(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? st.st_size : -1;
  }

  LOG_ENTRY_STRUCT RecordAt(off_t index) {
    LOG_ENTRY_STRUCT e = {};
    int fd = ::open(LogHost().c_str(), O_RDONLY);
    if (fd >= 0) {
      if (::pread(fd, &e, sizeof e, index * kEntry) != kEntry) e = {};
      ::close(fd);
    }
    return e;
  }

  static void Append(CLyrLog& log, LONG time, const char* message) {
    log.SetUsrId("tail");
    log.SetTime(time);
    log.SetSysMess(message);
    log.FixLogMess(0);
  }

  static std::vector<std::string> Messages(CLyrLog& log) {
    std::vector<std::string> found;
    for (int more = log.SetMask(); more; more = log.GetNext()) found.push_back(log.GetSysMess());
    return found;
  }

  void AppendParkFlushReadAndExport(off_t records) {
    MakeSparseLog(records);
    CLyrLog log;
    char path[] = "C:\\big.log";
    log.SetFile(path);

    // An append goes at the true end.
    Append(log, 3000, "a1");
    ASSERT_EQ(HostSize(LogHost()), (records + 1) * kEntry);
    EXPECT_STREQ(RecordAt(records).SysMess, "a1");
    EXPECT_STREQ(RecordAt(records - 1).SysMess, "t2");
    EXPECT_FALSE(HostFileExists(DriveC() + "/Work/error.blg"));

    // An append that cannot write the log parks; the next one moves it in behind itself.
    {
      ScopedFileSizeLimit full(1 << 20);
      Append(log, 3001, "p1");
    }
    EXPECT_EQ(HostSize(LogHost()), (records + 1) * kEntry);
    EXPECT_EQ(HostSize(DriveC() + "/Work/error.blg"),
              static_cast<off_t>(sizeof(LOG_BACKLOG_STRUCT)));
    Append(log, 3002, "a2");
    ASSERT_EQ(HostSize(LogHost()), (records + 3) * kEntry);
    EXPECT_STREQ(RecordAt(records + 1).SysMess, "a2");
    EXPECT_STREQ(RecordAt(records + 2).SysMess, "p1");
    EXPECT_EQ(HostSize(DriveC() + "/Work/error.blg"), 0);

    const std::vector<std::string> fromBegin = {"t1", "t2", "a1", "a2", "p1"};
    log.SetBeginTimeMask(2001);
    EXPECT_EQ(Messages(log), fromBegin);
    log.SetBeginTimeMask();
    log.SetUsrIdMask("tail");  // read from the first record to the last
    EXPECT_EQ(Messages(log), (std::vector<std::string>{"t0", "t1", "t2", "a1", "a2", "p1"}));

    log.SetUsrIdMask("");
    log.SetBeginTimeMask(2001);
    char text[] = "C:\\big.txt";
    log.ExportASCIILog(text);
    std::string exported = ReadHostFile(DriveC() + "/big.txt");
    size_t at = 0;
    for (const std::string& message : fromBegin) {
      at = exported.find("| " + message + " |", at);
      ASSERT_NE(at, std::string::npos) << message;
    }
    EXPECT_EQ(LineCount(exported), 5);
    char extract[] = "C:\\last.log";
    EXPECT_EQ(log.CreateTempLog(extract), 5u);
    std::vector<LOG_ENTRY_STRUCT> last = ParseLog(ReadHostFile(DriveC() + "/last.log"));
    ASSERT_EQ(last.size(), 5u);
    for (size_t i = 0; i < last.size(); ++i) EXPECT_EQ(last[i].SysMess, fromBegin[i]);
  }
};

// 1.8 million records: 2.19 GB, past the signed 32-bit offsets.
TEST_F(LargeLogTest, ALogPastTwoGigabytesIsAppendedReadAndExportedWhole) {
  AppendParkFlushReadAndExport(1800000);
}

// 3.6 million records: 4.38 GB, past the unsigned 32-bit offsets.
TEST_F(LargeLogTest, ALogPastFourGigabytesIsAppendedReadAndExportedWhole) {
  AppendParkFlushReadAndExport(3600000);
}

}  // namespace

#endif  // LYR_POSIX_TESTS
