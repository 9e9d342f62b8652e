// Appends to the audit trail when the kernel fails them (LyrFailSystemCall): an entry that cannot
// be written whole to its log is parked in the backlog and moved in by the next append, exactly
// once; one that cannot be parked either reaches the caller. No record is ever torn or doubled.
#include "lyr_test.h"

#include "audit_test_support.h"

#if LYR_POSIX_TESTS
#include <cerrno>
#include <string>

namespace {

using Fault = ScopedSystemCallFault;

class AppendFaultTest : public LyrTest {
 protected:
  void SetUp() override {
    LyrTest::SetUp();
    InstallSuiteWorkingIn();
    ASSERT_TRUE(CreateDirectoryA("C:\\Logs", nullptr));
    log_.SetFile(path_);
    Append("first");
  }
  // Appends an entry with this message; false when the library gave the failure to the caller.
  bool Append(const char* message) {
    log_.SetSysMess(message);
    return !ThrowsMfc<CFileException>([&] { log_.FixLogMess(0); });
  }
  std::string Log() { return ReadHostFile(DriveC() + "/Logs/audit.log"); }
  std::string Backlog() { return ReadHostFile(DriveC() + "/Work/error.blg"); }
  std::vector<std::string> Messages() {
    std::vector<std::string> messages;
    for (const LOG_ENTRY_STRUCT& entry : ParseLog(Log())) messages.push_back(entry.SysMess);
    return messages;
  }

  CLyrLog log_;
  char path_[20] = "C:\\Logs\\audit.log";
};

TEST_F(AppendFaultTest, AnEntryTheLogCannotTakeIsParkedAndMovedInOnce) {
  {
    Fault broken("write", 1, 1, EIO);
    EXPECT_TRUE(Append("parked"));
  }
  EXPECT_EQ(Log().size(), 1216u);
  ASSERT_EQ(Backlog().size(), 1476u);
  EXPECT_STREQ(ParseBacklog(Backlog())[0].Entry.SysMess, "parked");
  EXPECT_TRUE(Append("after"));
  EXPECT_EQ(Messages(), (std::vector<std::string>{"first", "after", "parked"}));
  EXPECT_EQ(Backlog(), "");
}

// The record reached the file but not the disk: it is cut off again before the entry is parked,
// so that moving it in later does not make it twice.
TEST_F(AppendFaultTest, AnEntryWhoseFlushFailsIsCutBackBeforeItIsParked) {
  {
    Fault lost("fsync", 1, 1, EIO);
    EXPECT_TRUE(Append("parked"));
  }
  EXPECT_EQ(Log().size(), 1216u);
  EXPECT_EQ(Backlog().size(), 1476u);
  EXPECT_TRUE(Append("after"));
  EXPECT_EQ(Messages(), (std::vector<std::string>{"first", "after", "parked"}));
}

// The flush fails and the record cannot be cut off either: it is in the log whole, so it counts
// as written and is not parked a second time.
TEST_F(AppendFaultTest, AWholeRecordThatCannotBeCutBackIsNotParkedAsWell) {
  {
    Fault lost("fsync", 1, 1, EIO);
    Fault stuck("ftruncate", 1, 1, EIO);
    EXPECT_TRUE(Append("kept"));
  }
  EXPECT_EQ(Backlog(), "");
  EXPECT_TRUE(Append("after"));
  EXPECT_EQ(Messages(), (std::vector<std::string>{"first", "kept", "after"}));
}

TEST_F(AppendFaultTest, AnEntryNeitherLogNorBacklogCanTakeReachesTheCaller) {
  {
    Fault full("write", 1, 2, ENOSPC);
    EXPECT_FALSE(Append("refused"));
  }
  EXPECT_EQ(Messages(), std::vector<std::string>{"first"});
  EXPECT_EQ(Backlog(), "");
  EXPECT_TRUE(Append("after"));
  EXPECT_EQ(Messages(), (std::vector<std::string>{"first", "after"}));
}

}  // namespace

#endif  // LYR_POSIX_TESTS
