// The audit trail under real processes racing each other: a log held elsewhere for longer than
// the retries, writers killed at random moments, a full disk. Afterwards every entry that a
// writer was told is safe must be in the log or the backlog, and every record must be whole.
#include "lyr_test.h"

#if LYR_POSIX_TESTS  // writers killed with signals, a full disk from a resource limit

#include "audit_test_support.h"

#include <signal.h>

#include <cstdio>
#include <map>
#include <random>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

class AuditStressTest : public LyrTest {
 protected:
  void SetUp() override {
    LyrTest::SetUp();
    InstallSuiteWorkingIn();
  }

  // The writers' reports: "ok i" lines, as messages "WRITER-i".
  static void CollectSafe(const std::string& writer, const std::string& output,
                          std::set<std::string>* safe, int* lost) {
    std::istringstream lines(output);
    std::string word;
    int index;
    while (lines >> word >> index) {
      if (word == "ok") safe->insert(writer + "-" + std::to_string(index));
      if (word == "lost") ++*lost;
    }
  }

  struct Census {
    std::map<std::string, int> copies;  // message -> how often it is in log and backlog
    int garbled = 0;                    // records that are not a writer's entry
    int records = 0;

    // How many of the entries told safe are missing, and how many stand more than once.
    void Check(const std::set<std::string>& safe, int* missing, int* duplicated) const {
      for (const std::string& message : safe) {
        auto it = copies.find(message);
        int n = it == copies.end() ? 0 : it->second;
        *missing += n == 0;
        *duplicated += n > 1;
      }
    }
  };

  Census Count() {
    Census census;
    const std::regex pattern("w[0-9]+-[0-9]+");
    std::string log = ReadHostFile(DriveC() + "/audit.log");
    auto tally = [&](const LOG_ENTRY_STRUCT& e) {
      ++census.records;
      if (std::string(e.UsrId) != "stress" || !std::regex_match(e.SysMess, pattern))
        ++census.garbled;
      else
        ++census.copies[e.SysMess];
    };
    for (const LOG_ENTRY_STRUCT& e : ParseLog(log)) tally(e);
    for (const LOG_BACKLOG_STRUCT& r : ParseBacklog(ReadHostFile(DriveC() + "/Work/error.blg")))
      tally(r.Entry);
    return census;
  }
};

TEST_F(AuditStressTest, WritersRacingALogHeldLongerThanTheRetriesLoseNothing) {
  std::vector<std::unique_ptr<HelperProcess>> writers;
  for (int w = 0; w < 3; ++w) {
    writers.push_back(std::make_unique<HelperProcess>(
        HelperPath("audit_writer"),
        std::vector<std::string>{"C:\\audit.log", "w" + std::to_string(w), "25", "150"}));
    ASSERT_EQ(writers.back()->FirstLine(), "ready");
  }
  Sleep(400);
  HelperProcess holder(HelperPath("hold_file"),
                       {"C:\\audit.log", std::to_string(GENERIC_READ), "0", "7"});
  ASSERT_EQ(holder.FirstLine(), "ready");
  std::set<std::string> safe;
  int lost = 0;
  for (int w = 0; w < 3; ++w) {
    CollectSafe("w" + std::to_string(w), writers[w]->RestOfOutput(), &safe, &lost);
    EXPECT_EQ(writers[w]->Wait(), 0);
  }
  Census census = Count();
  int missing = 0, duplicated = 0;
  census.Check(safe, &missing, &duplicated);
  std::printf(
      "held log: %zu entries safe, %d reported lost, %d missing, %d duplicated, %d garbled "
      "of %d records\n",
      safe.size(), lost, missing, duplicated, census.garbled, census.records);
  EXPECT_EQ(safe.size(), 75u);
  EXPECT_EQ(lost, 0);
  EXPECT_EQ(missing, 0);
  EXPECT_EQ(duplicated, 0);
  EXPECT_EQ(census.garbled, 0);
}

// Before each round the backlog gets 300 parked entries of the log, so that the writers' first
// appends flush it while they are being killed.
TEST_F(AuditStressTest, WritersKilledAtRandomMomentsWhileAppendingAndFlushingLoseNothing) {
  std::mt19937 random(12345);
  std::set<std::string> safe;
  int lost = 0;
  int spawned = 0;
  int rounds = 0;
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < 6000) {
    std::string parked;
    for (int i = 0; i < 300; ++i) {
      std::string message = "w" + std::to_string(100000 + rounds) + "-" + std::to_string(i);
      parked += ParkedBytes("C:\\audit.log", MakeEntry(1, "stress", ' ', message.c_str()));
      safe.insert(message);
    }
    WriteHostFile(DriveC() + "/Work/error.blg",
                  ReadHostFile(DriveC() + "/Work/error.blg") + parked);
    ++rounds;
    std::vector<std::unique_ptr<HelperProcess>> round;
    for (int w = 0; w < 2; ++w) {
      round.push_back(std::make_unique<HelperProcess>(
          HelperPath("audit_writer"),
          std::vector<std::string>{"C:\\audit.log", "w" + std::to_string(spawned++), "1000", "3"}));
    }
    Sleep(5 + random() % 150);
    for (size_t w = 0; w < round.size(); ++w) {
      round[w]->Kill();
      CollectSafe("w" + std::to_string(spawned - 2 + static_cast<int>(w)), round[w]->RestOfOutput(),
                  &safe, &lost);
    }
  }
  // One last, undisturbed writer moves what is still parked into the log.
  HelperProcess last(HelperPath("audit_writer"),
                     {"C:\\audit.log", "w" + std::to_string(spawned), "1", "0"});
  CollectSafe("w" + std::to_string(spawned), last.RestOfOutput(), &safe, &lost);
  EXPECT_EQ(last.Wait(), 0);

  Census census = Count();
  int missing = 0, duplicated = 0;
  census.Check(safe, &missing, &duplicated);
  std::printf(
      "killed writers: %d rounds, %d processes, %zu entries safe (%d parked by the test), "
      "%d missing, %d duplicated (flush cut by a kill), %d garbled of %d records\n",
      rounds, spawned + 1, safe.size(), rounds * 300, missing, duplicated, census.garbled,
      census.records);
  EXPECT_GT(safe.size(), static_cast<size_t>(rounds) * 300);
  EXPECT_EQ(lost, 0);
  EXPECT_EQ(missing, 0);
  EXPECT_EQ(census.garbled, 0);
}

TEST_F(AuditStressTest, AFullDiskNeverLeavesATornRecord) {
  CLyrLog log;
  char path[] = "C:\\audit.log";
  log.SetFile(path);
  log.SetUsrId("stress");
  int parkedOrWritten = 0, refused = 0;
  for (int i = 0; i < 60; ++i) {
    log.SetSysMess(("w0-" + std::to_string(i)).c_str());
    {
      ScopedFileSizeLimit full(1000 + static_cast<unsigned long long>(i) * 997);
      if (ThrowsMfc<CFileException>([&] { log.FixLogMess(0); }))
        ++refused;
      else
        ++parkedOrWritten;
    }
    ASSERT_EQ(ReadHostFile(DriveC() + "/audit.log").size() % 1216, 0u);
    ASSERT_EQ(ReadHostFile(DriveC() + "/Work/error.blg").size() % 1476, 0u);
  }
  Census census = Count();
  int entries = 0;
  for (const auto& [message, copies] : census.copies) entries += copies;
  std::printf("full disk: %d entries written or parked, %d refused to the caller\n",
              parkedOrWritten, refused);
  EXPECT_EQ(entries, parkedOrWritten);
  EXPECT_EQ(census.garbled, 0);
}

}  // namespace

#endif  // LYR_POSIX_TESTS
