// An installation whose settings, working directory and audit logs all live on a Samba share,
// and settings files on the share changed by several machines at once.
#include "lyr_test.h"

#include "../audit/audit_test_support.h"
#include "lab_share_test.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr char kShare[] = "\\\\127.0.0.1\\lab";

class LabSettingsTest : public LabShareTest<LyrTest> {
 protected:
  // A file of the share as it stands on the server's disk.
  std::string OnServer(const std::string& name) const {
    return ReadHostFile(server_->Folder() + "/lab/" + name);
  }
};

TEST_F(LabSettingsTest, AnInstallationKeepsItsSettingsWorkingDirectoryAndLogsOnTheShare) {
  const std::string ini = std::string(kShare) + "\\Tessera\\sylwin.ini";
  const std::string work = std::string(kShare) + "\\Work\\";
  InstallSuite(std::string(kShare) + "\\Tessera");
  ASSERT_TRUE(CreateDirectoryA(work.c_str(), nullptr));
  ASSERT_TRUE(
      WritePrivateProfileStringA("WORKING PATH", "WorkingDirectory", work.c_str(), ini.c_str()));
  EXPECT_EQ(OnServer("Tessera/sylwin.ini"), "[WORKING PATH]\r\nWorkingDirectory=" + work + "\r\n");

  InitSystemGlobalParameters();
  CString name;
  GetLyraININame(name);
  EXPECT_EQ(std::string(name), ini);
  EXPECT_EQ(std::string(GetWorkingDirectory()), work);
  SetHeapFragmentation(1);
  char flag[8] = "";
  GetPrivateProfileStringA("General", "Heapfragmented", "", flag, sizeof flag, ini.c_str());
  EXPECT_STREQ(flag, "1");
  EXPECT_CONTAINS(OnServer("Tessera/sylwin.ini"), "WorkingDirectory=" + work);
  // A change that shortens the file leaves exactly the new text.
  ASSERT_TRUE(WritePrivateProfileStringA("General", nullptr, nullptr, ini.c_str()));
  EXPECT_EQ(OnServer("Tessera/sylwin.ini"), "[WORKING PATH]\r\nWorkingDirectory=" + work + "\r\n");
  {  // held by a program of another machine that shares nothing: refused, after a wait
    HelperProcess holder(HelperPath("hold_file"), {ini, std::to_string(GENERIC_READ), "0", "3"});
    ASSERT_EQ(holder.FirstLine(), "ready");
    EXPECT_FAILS(WritePrivateProfileStringA("General", "Heapfragmented", "0", ini.c_str()),
                 ERROR_SHARING_VIOLATION);
    EXPECT_EQ(holder.Wait(), 0);
  }
  char text[] = "balance not answering\r\n";
  SendToErrorLog(text);
  EXPECT_EQ(OnServer("Work/error.log"), text);

  // An entry whose log another machine holds past the retries waits in the backlog in the
  // working directory on the share, and follows the next entry into the log.
  const std::string log = std::string(kShare) + "\\Audit\\LC-2.log";
  CLyrLog audit;
  std::vector<char> logName(log.begin(), log.end());
  logName.push_back('\0');
  audit.SetFile(logName.data());
  auto append = [&](const char* message) {
    audit.SetSysMess(message);
    audit.SetTime();
    audit.FixLogMess(0);
  };
  append("first");
  {
    HelperProcess holder(HelperPath("hold_file"), {log, std::to_string(GENERIC_READ), "0", "7"});
    ASSERT_EQ(holder.FirstLine(), "ready");
    append("while held");
    EXPECT_EQ(holder.Wait(), 0);
  }
  const std::vector<LOG_BACKLOG_STRUCT> parked = ParseBacklog(OnServer("Work/error.blg"));
  ASSERT_EQ(parked.size(), 1u);
  EXPECT_STREQ(parked[0].Entry.SysMess, "while held");
  append("after");
  const std::vector<LOG_ENTRY_STRUCT> entries = ParseLog(OnServer("Audit/LC-2.log"));
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_STREQ(entries[0].SysMess, "first");
  EXPECT_STREQ(entries[1].SysMess, "after");
  EXPECT_STREQ(entries[2].SysMess, "while held");
  EXPECT_TRUE(OnServer("Work/error.blg").empty());
}

TEST_F(LabSettingsTest, WritersOnSeveralMachinesKeepEachOthersSettings) {
  const std::string ini = std::string(kShare) + "\\Settings.ini";
  constexpr int kWriters = 3;
  constexpr int kKeys = 25;
  std::vector<std::unique_ptr<HelperProcess>> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.push_back(std::make_unique<HelperProcess>(
        HelperPath("reg_writer"),
        std::vector<std::string>{"w" + std::to_string(w) + "_", std::to_string(kKeys), ini}));
    ASSERT_EQ(writers.back()->FirstLine(), "ready");
  }
  // Meanwhile this machine reads: every read is one whole version of the file, in which each
  // writer's keys are its first ones, in order (a change read halfway, or one that another
  // writer's change undid, would leave a gap or a name cut short).
  int reads = 0;
  int wrong = 0;
  int complete = 0;
  for (const DWORD start = GetTickCount(); complete < kWriters && GetTickCount() - start < 30000;
       ++reads) {
    char keys[16384];
    GetPrivateProfileStringA("Race", nullptr, "", keys, sizeof keys, ini.c_str());
    std::vector<int> next(kWriters, 0);
    for (const char* key = keys; *key != '\0'; key += std::strlen(key) + 1) {
      const int w = key[1] - '0';
      const bool expected = w >= 0 && w < kWriters && std::atoi(key + 3) == next[w];
      wrong += !expected;
      if (expected) ++next[w];
    }
    complete = 0;
    for (int written : next) complete += written == kKeys;
  }
  EXPECT_EQ(wrong, 0);
  for (auto& writer : writers) EXPECT_EQ(writer->Wait(), 0) << writer->RestOfOutput();
  int kept = 0;
  for (int w = 0; w < kWriters; ++w) {
    for (int k = 0; k < kKeys; ++k) {
      const std::string key = "w" + std::to_string(w) + "_" + std::to_string(k);
      kept += static_cast<int>(GetPrivateProfileIntA("Race", key.c_str(), -1, ini.c_str())) == k;
    }
  }
  EXPECT_EQ(kept, kWriters * kKeys);
  std::printf("%d writers on a share: %d of %d settings kept; %d reads meanwhile\n", kWriters, kept,
              kWriters * kKeys, reads);
}

}  // namespace
