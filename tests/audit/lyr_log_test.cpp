// Writing the audit trail: the entry, appends, folders, the backlog, the comment dialog.
#include "lyr_test.h"

#include "audit_test_support.h"

#include <cstddef>
#include <cstring>
#include <ctime>
#include <string>

namespace {

class LyrLogTest : public LyrTest {
 protected:
  void SetUp() override {
    LyrTest::SetUp();
    InstallSuiteWorkingIn();
    ASSERT_TRUE(CreateDirectoryA("C:\\Logs", nullptr));
  }
  std::string Log(const char* name = "audit.log") {
    return ReadHostFile(DriveC() + "/Logs/" + name);
  }
  std::string Backlog() { return ReadHostFile(DriveC() + "/Work/error.blg"); }
  // Points `log` at C:\Logs\audit.log.
  static void SetAuditLog(CLyrLog& log) {
    char path[] = "C:\\Logs\\audit.log";
    log.SetFile(path);
  }
  // Appends an entry whose system message is `message`, without the comment dialog.
  static void Write(CLyrLog& log, const char* message) {
    log.SetSysMess(message);
    log.FixLogMess(0);
  }
  void WriteBacklog(const std::vector<std::pair<std::string, LOG_ENTRY_STRUCT>>& records) {
    std::string bytes;
    for (const auto& [path, entry] : records) bytes += ParkedBytes(path, entry);
    WriteHostFile(DriveC() + "/Work/error.blg", bytes);
  }
#if LYR_POSIX_TESTS
  // Parks an entry for `log`, C:\Logs\<name>, through the library: the log holds two records and
  // may not grow past 3,000 bytes, so a third does not fit where a backlog record does.
  void Park(CLyrLog& log, const std::string& name, const char* message) {
    WriteHostFile(DriveC() + "/Logs/" + name, std::string(2432, '\0'));
    ScopedFileSizeLimit full(3000);
    Write(log, message);
  }
#endif
};

TEST_F(LyrLogTest, ANewEntryHoldsTheDefaultsAndTextsAreCutToTheirFields) {
  time_t before = time(nullptr);
  CLyrLog log;
  EXPECT_EQ(log.GetInitialized(), 1);
  for (char* field : {log.GetUsrId(), log.GetAuthId(), log.GetSysId(), log.GetPrjId(),
                      log.GetSmpId(), log.GetSmpName(), log.GetARName(), log.GetMethName(),
                      log.GetMethType(), log.GetSysMess(), log.GetUsrMess()})
    EXPECT_STREQ(field, "<none>");
  EXPECT_EQ(log.GetChannel(), ' ');
  EXPECT_GE(log.GetTime(), before);
  EXPECT_LE(log.GetTime(), time(nullptr));

  char* usrId = log.GetUsrId();
  log.SetUsrId("12345678901234567890");
  EXPECT_STREQ(usrId, "123456789012345");  // the accessor's pointer sees later changes
  log.SetSmpName(std::string(100, 's').c_str());
  EXPECT_EQ(std::strlen(log.GetSmpName()), 63u);
  log.SetUsrMess(std::string(10000, 'u').c_str());
  EXPECT_EQ(std::strlen(log.GetUsrMess()), 258u);
  log.SetARName(nullptr);
  EXPECT_STREQ(log.GetARName(), "");
}

TEST_F(LyrLogTest, AppendsGoToTheEndOfTheLog) {
  CLyrLog log;
  char none[] = "";
  log.SetFile(none);
  log.FixLogMess(0);
  EXPECT_FALSE(HostFileExists(DriveC() + "/Logs/audit.log"));

  SetAuditLog(log);
  log.SetTime(1000);
  Write(log, "first");
  Write(log, "second");
  std::vector<LOG_ENTRY_STRUCT> entries = ParseLog(Log());
  ASSERT_EQ(Log().size(), 2432u);
  EXPECT_EQ(entries[0].Time, 1000);
  EXPECT_EQ(entries[1].Time, 1000);
  EXPECT_STREQ(entries[0].SysMess, "first");
  EXPECT_STREQ(entries[1].SysMess, "second");
  EXPECT_EQ(std::memcmp(&entries[1], log.GetUsrId() - 4, sizeof(LOG_ENTRY_STRUCT)), 0);

  // A torn tail left by a crash: the next record starts at the record boundary.
  WriteHostFile(DriveC() + "/Logs/audit.log", Log() + std::string(100, 'x'));
  Write(log, "third");
  entries = ParseLog(Log());
  ASSERT_EQ(Log().size(), 3648u);
  EXPECT_STREQ(entries[2].SysMess, "third");
}

TEST_F(LyrLogTest, TheLogsFolderIsMadeOneLevelDeep) {
  CLyrLog log;
  char newFolder[] = "C:\\Logs\\New\\audit.log";
  log.FixLogMess(0);  // no file set: nothing
  log.SetFile(newFolder);
  log.FixLogMess(0);
  EXPECT_EQ(ReadHostFile(DriveC() + "/Logs/New/audit.log").size(), 1216u);
  char missingParent[] = "C:\\Missing\\Deep\\audit.log";
  log.SetFile(missingParent);
  log.FixLogMess(0);
  EXPECT_FALSE(HostFileExists(DriveC() + "/Missing"));
  char bare[] = "bare.log";
  log.SetFile(bare);
  log.FixLogMess(0);
  EXPECT_FALSE(HostFileExists(DriveC() + "/bare.log"));
  EXPECT_EQ(Backlog(), "");
}

#if LYR_POSIX_TESTS  // resource limits and failing allocations
TEST_F(LyrLogTest, AFailedWriteIsParkedWithoutATornRecordAndMovedInLater) {
  CLyrLog log;
  SetAuditLog(log);
  Write(log, "one");
  Write(log, "two");
  {
    ScopedFileSizeLimit full(3000);  // the log's third record does not fit; a backlog record does
    Write(log, "parked");
  }

  EXPECT_EQ(Log().size(), 2432u);  // no partial record
  std::vector<LOG_BACKLOG_STRUCT> parked = ParseBacklog(Backlog());
  ASSERT_EQ(Backlog().size(), 1476u);
  EXPECT_STREQ(parked[0].LogFile, "C:\\Logs\\audit.log");
  EXPECT_STREQ(parked[0].Entry.SysMess, "parked");

  Write(log, "after");
  std::vector<LOG_ENTRY_STRUCT> entries = ParseLog(Log());
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_STREQ(entries[2].SysMess, "after");   // the new entry first,
  EXPECT_STREQ(entries[3].SysMess, "parked");  // then the parked one
  EXPECT_EQ(Backlog(), "");
}

TEST_F(LyrLogTest, FullDiskForLogAndBacklogReachesTheCaller) {
  CLyrLog log;
  SetAuditLog(log);
  {
    ScopedFileSizeLimit full(1000);
    EXPECT_EQ(FileExceptionCause([&] { log.FixLogMess(0); }), CFileException::diskFull);
  }
  EXPECT_EQ(Log().size(), 0u);
  EXPECT_EQ(Backlog().size(), 0u);
}
#endif

TEST_F(LyrLogTest, BacklogFlushMovesThisLogsEntriesInOrderAndKeepsTheOthers) {
  LOG_ENTRY_STRUCT a1 = MakeEntry(10, "a1"), b = MakeEntry(20, "b"), a2 = MakeEntry(30, "a2");
  WriteBacklog(
      {{"c:\\LOGS\\Audit.LOG", a1}, {"C:\\Logs\\other.log", b}, {"C:\\Logs\\audit.log", a2}});
  CLyrLog log;
  SetAuditLog(log);
  log.SetUsrId("new");
  log.FixLogMess(0);
  std::vector<LOG_ENTRY_STRUCT> entries = ParseLog(Log());
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_STREQ(entries[0].UsrId, "new");
  EXPECT_STREQ(entries[1].UsrId, "a1");
  EXPECT_STREQ(entries[2].UsrId, "a2");
  std::vector<LOG_BACKLOG_STRUCT> left = ParseBacklog(Backlog());
  ASSERT_EQ(Backlog().size(), 1476u);
  EXPECT_STREQ(left[0].LogFile, "C:\\Logs\\other.log");
  EXPECT_STREQ(left[0].Entry.UsrId, "b");

  // A path of 255 characters leaves no room for the seal: its entries are moved in as they are.
  const std::string name = std::string(243, 'l') + ".log";
  std::string longPath = "C:\\Logs\\" + name;
  WriteBacklog({{longPath, MakeEntry(40, "long")}});
  log.SetFile(&longPath[0]);
  log.FixLogMess(0);
  EXPECT_EQ(ParseLog(Log(name.c_str())).size(), 2u);
  EXPECT_EQ(Backlog(), "");
}

#if LYR_POSIX_TESTS  // resource limits and failing allocations
TEST_F(LyrLogTest, ATornBacklogRecordIsNeverMovedIntoALog) {
  // Park one entry through the library, so that it carries its seal, then tear it; also for a
  // path of 251 characters, the longest that leaves the seal room behind it.
  for (const std::string& name : {std::string("audit.log"), std::string(239, 'a') + ".log"}) {
    SCOPED_TRACE(name.size());
    CLyrLog log;
    std::string path = "C:\\Logs\\" + name;
    log.SetFile(&path[0]);
    Park(log, name, "will be torn");
    std::string backlog = Backlog();
    ASSERT_EQ(backlog.size(), 1476u);
    // The seal is "LYRC" and the CRC-32 of the path, its end and the entry, as gzip computes it
    // (the last eight bytes of its output: the CRC, then the length): a seal of another form
    // would make every entry a previous version parked look torn, and stay parked for good.
    ASSERT_EQ(backlog.compare(0, path.size() + 5, path + '\0' + "LYRC"), 0);
    WriteHostFile(
        DriveC() + "/sealed.bin",
        backlog.substr(0, path.size() + 1) + backlog.substr(offsetof(LOG_BACKLOG_STRUCT, Entry)));
    EXPECT_EQ(CommandOutput("gzip -c '" + DriveC() + "/sealed.bin' | tail -c 8 | head -c 4"),
              backlog.substr(path.size() + 5, 4));
    std::memset(&backlog[800], 'Z', 100);  // half old, half new: what a cut rewrite leaves
    WriteHostFile(DriveC() + "/Work/error.blg", backlog);

    Write(log, "fresh");
    std::vector<LOG_ENTRY_STRUCT> entries = ParseLog(Log(name.c_str()));
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_STREQ(entries[2].SysMess, "fresh");
    EXPECT_EQ(Backlog(), "");
  }
  // One character more and the seal has no room: the entry is parked unsealed, every byte of
  // it as it was (a seal written anyway would run into the entry's time), and moved in whole.
  std::string path = "C:\\Logs\\" + std::string(240, 'b') + ".log";
  CLyrLog log;
  log.SetFile(&path[0]);
  log.SetTime(0x12345678);
  Park(log, path.substr(8), "unsealed");
  ASSERT_EQ(Backlog().size(), 1476u);
  EXPECT_EQ(Backlog().substr(path.size(), offsetof(LOG_BACKLOG_STRUCT, Entry) - path.size()),
            std::string(offsetof(LOG_BACKLOG_STRUCT, Entry) - path.size(), '\0'));
  Write(log, "fresh");
  std::vector<LOG_ENTRY_STRUCT> entries = ParseLog(Log(path.substr(8).c_str()));
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[3].Time, 0x12345678);
  EXPECT_STREQ(entries[3].SysMess, "unsealed");
}
#endif

TEST_F(LyrLogTest, TheCommentDialogEditsTheUserMessage) {
  CLyrLog log;
  SetAuditLog(log);
  log.SetSysMess("Method saved");
  log.SetUsrMess(std::string(258, 'p').c_str());
  ui_.dialogScript = [](LyrDialog& dialog) {
    EXPECT_EQ(dialog.TemplateId(), 229u);
    EXPECT_EQ(dialog.Text(1256), "Method saved");
    EXPECT_FALSE(dialog.Enabled(1256));
    EXPECT_TRUE(dialog.Enabled(1257));
    EXPECT_EQ(dialog.Text(1257).size(), 258u);  // shown whole
    return IDOK;
  };
  log.FixLogMess(1);
  EXPECT_EQ(std::strlen(log.GetUsrMess()), 256u);  // OK stores the first 256

  ui_.dialogScript = [](LyrDialog& dialog) {
    dialog.Type(1257, std::string(400, 't'));
    EXPECT_EQ(dialog.Text(1257).size(), 255u);  // the typing limit
    dialog.Type(1256, "changed");               // disabled: nothing happens
    EXPECT_EQ(dialog.Text(1256), "Method saved");
    return IDCANCEL;
  };
  log.FixLogMess(1);
  EXPECT_EQ(std::strlen(log.GetUsrMess()), 256u);  // Cancel keeps the message

  ui_.dialogScript = [](LyrDialog& dialog) {
    dialog.Type(1257, "");
    return IDOK;
  };
  log.FixLogMess(1);
  EXPECT_STREQ(log.GetUsrMess(), "");
  std::vector<LOG_ENTRY_STRUCT> entries = ParseLog(Log());
  ASSERT_EQ(entries.size(), 3u);  // written every time
  EXPECT_EQ(std::strlen(entries[1].UsrMess), 256u);
  EXPECT_STREQ(entries[2].UsrMess, "");

  char user[257] = "before";
  char system[] = "text";
  CUserLogDlg dialog(user, system);
  EXPECT_EQ(dialog.GetInitialized(), 1);
}

#if LYR_POSIX_TESTS  // resource limits and failing allocations
TEST_F(LyrLogTest, AllocationFailuresMarkTheObjectAndNoteTheHeap) {
  LyrFailGlobalAllocs(1);
  EXPECT_TRUE(ThrowsMfc<CMemoryException>([] { CLyrLog log; }));
  EXPECT_CONTAINS(ReadHostFile(DriveC() + "/Tessera/sylwin.ini"), "Heapfragmented=1");
}
#endif

}  // namespace
