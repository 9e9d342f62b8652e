// One audit trail for a lab: writers in several processes (each its own client of the server, as
// the lab's machines are) append to one log on a Samba share while another holds it, and a
// server that goes away parks the entries in the local backlog until it is back.
#include "lyr_test.h"

#include "audit_test_support.h"
#include "lab_share_test.h"

#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr char kLog[] = "\\\\127.0.0.1\\lab\\Audit\\LC-1.log";

class LabLogTest : public LabShareTest<LyrTest> {
 protected:
  void SetUp() override {
    LabShareTest::SetUp();
    InstallSuiteWorkingIn();
  }

  // How often each system message stands in the log on the server's disk and in the backlog.
  std::map<std::string, int> Copies() const {
    std::map<std::string, int> copies;
    for (const LOG_ENTRY_STRUCT& e :
         ParseLog(ReadHostFile(server_->Folder() + "/lab/Audit/LC-1.log")))
      ++copies[e.SysMess];
    for (const LOG_BACKLOG_STRUCT& r : ParseBacklog(ReadHostFile(DriveC() + "/Work/error.blg")))
      ++copies[r.Entry.SysMess];
    return copies;
  }
};

TEST_F(LabLogTest, WritersOnSeveralMachinesAppendToOneLogWhileAnotherHoldsIt) {
  std::vector<std::unique_ptr<HelperProcess>> writers;
  for (int w = 0; w < 3; ++w) {
    writers.push_back(std::make_unique<HelperProcess>(
        HelperPath("audit_writer"),
        std::vector<std::string>{kLog, "w" + std::to_string(w), "20", "60"}));
    ASSERT_EQ(writers.back()->FirstLine(), "ready");
  }
  Sleep(300);
  // A reviewer's program holds the log without sharing for two seconds, within the writers'
  // retries.
  HelperProcess holder(HelperPath("hold_file"), {kLog, std::to_string(GENERIC_READ), "0", "2"});
  ASSERT_EQ(holder.FirstLine(), "ready");
  int safe = 0;
  for (auto& writer : writers) {
    std::istringstream lines(writer->RestOfOutput());
    std::string word;
    int index;
    while (lines >> word >> index) safe += word == "ok";
    EXPECT_EQ(writer->Wait(), 0);
  }
  EXPECT_EQ(holder.Wait(), 0);
  EXPECT_EQ(safe, 60);
  const std::map<std::string, int> copies = Copies();
  int once = 0;
  for (int w = 0; w < 3; ++w) {
    for (int i = 0; i < 20; ++i) {
      const std::string message = "w" + std::to_string(w) + "-" + std::to_string(i);
      auto it = copies.find(message);
      EXPECT_EQ(it == copies.end() ? 0 : it->second, 1) << message;
      once += it != copies.end() && it->second == 1;
    }
  }
  EXPECT_EQ(once, 60);
  EXPECT_EQ(copies.size(), 60u);  // and nothing else
  std::printf("held log on a share: %d of 60 entries exactly once, %zu parked\n", once,
              ParseBacklog(ReadHostFile(DriveC() + "/Work/error.blg")).size());
}

TEST_F(LabLogTest, EntriesThatCannotReachTheShareWaitInTheBacklogUntilTheServerIsBack) {
  CLyrLog audit;
  char log[sizeof kLog];
  std::memcpy(log, kLog, sizeof kLog);
  audit.SetFile(log);
  audit.SetUsrId("lab");
  auto append = [&](const char* message) {
    audit.SetSysMess(message);
    audit.SetTime();
    audit.FixLogMess(0);
  };
  append("before");
  server_->Stop(/*kill=*/true);
  append("while away");  // neither thrown nor lost: parked
  std::vector<LOG_BACKLOG_STRUCT> parked = ParseBacklog(ReadHostFile(DriveC() + "/Work/error.blg"));
  ASSERT_EQ(parked.size(), 1u);
  EXPECT_STREQ(parked[0].Entry.SysMess, "while away");

  // A server that hangs (it takes the connection and never answers): parked as well, after the
  // client's wait for one answer; the calls after it do not wait again.
  ASSERT_TRUE(server_->Start());
  server_->Pause();
  const DWORD start = GetTickCount();
  append("while hung");
  std::printf("an append on a hung server was parked after %lu ms\n",
              static_cast<unsigned long>(GetTickCount() - start));
  server_->Resume();
  Sleep(2100);  // the client counts a server that did not answer as down for two seconds
  parked = ParseBacklog(ReadHostFile(DriveC() + "/Work/error.blg"));
  ASSERT_EQ(parked.size(), 2u);
  EXPECT_STREQ(parked[1].Entry.SysMess, "while hung");
  append("after");
  const std::vector<LOG_ENTRY_STRUCT> entries =
      ParseLog(ReadHostFile(server_->Folder() + "/lab/Audit/LC-1.log"));
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_STREQ(entries[0].SysMess, "before");
  EXPECT_STREQ(entries[1].SysMess, "after");  // parked entries follow the append that moves them
  EXPECT_STREQ(entries[2].SysMess, "while away");
  EXPECT_STREQ(entries[3].SysMess, "while hung");
  EXPECT_TRUE(ParseBacklog(ReadHostFile(DriveC() + "/Work/error.blg")).empty());
}

}  // namespace
