// A backlog flush cut short by a write error (a full disk, a quota, the file size limit) at every
// point: whatever stops it, each entry stands exactly once, in its own log or parked for it, and
// whole.
#include "lyr_test.h"

#if LYR_POSIX_TESTS  // a full disk from a resource limit

#include "audit_test_support.h"

#include <sys/resource.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

class BacklogRewriteTest : public LyrTest {
 protected:
  void SetUp() override {
    LyrTest::SetUp();
    InstallSuiteWorkingIn();
  }

  // Log X holds one entry; the backlog holds ten entries of log Y, then fifteen of X and fifteen
  // more of Y in turn, written as another make's library writes them (no seal), so that a torn
  // record could not be told from a whole one.
  void Prepare(const std::string& yPath) {
    LOG_ENTRY_STRUCT old = MakeEntry(900, "parker", ' ', "x-old");
    WriteHostFile(DriveC() + "/x.log", Bytes(&old, sizeof old));
    std::string backlog;
    auto park = [&](const std::string& log, const std::string& message) {
      backlog += ParkedBytes(log, MakeEntry(1000, "parker", ' ', message.c_str()));
    };
    int y = 0;
    for (; y < 10; ++y) park(yPath, "y-" + std::to_string(y));
    for (int x = 0; x < 15; ++x, ++y) {
      park("C:\\X.LOG", "x-" + std::to_string(x));  // the same log, spelt otherwise
      park(yPath, "y-" + std::to_string(y));
    }
    WriteHostFile(BacklogHost(), backlog);
    prepared_ = backlog;
  }

  std::string prepared_;
  std::string BacklogHost() const { return DriveC() + "/Work/error.blg"; }

  // Every entry with the log it stands for: where it is and how often.
  struct Census {
    std::map<std::string, int> inX;
    std::map<std::string, int> parkedForX;
    std::map<std::string, int> parkedForY;
    int garbled = 0;

    static int Copies(const std::map<std::string, int>& where, const std::string& message) {
      auto it = where.find(message);
      return it == where.end() ? 0 : it->second;
    }
  };

  Census Count(const std::string& yPath) {
    Census census;
    for (const LOG_ENTRY_STRUCT& e : ParseLog(ReadHostFile(DriveC() + "/x.log"))) {
      if (std::string(e.UsrId) != "parker" || e.SysMess[0] != 'x') ++census.garbled;
      ++census.inX[e.SysMess];
    }
    for (const LOG_BACKLOG_STRUCT& r : ParseBacklog(ReadHostFile(BacklogHost()))) {
      const std::string message = r.Entry.SysMess;
      const bool forX = lstrcmpiA(r.LogFile, "C:\\x.log") == 0;
      const bool forY = r.LogFile == yPath;
      if (std::string(r.Entry.UsrId) != "parker" || (!forX && !forY) ||
          message[0] != (forX ? 'x' : 'y')) {
        ++census.garbled;
        continue;
      }
      ++(forX ? census.parkedForX : census.parkedForY)[message];
    }
    return census;
  }

  // Appends "x-new" to X under a file size limit; true when the library took the entry.
  static bool AppendUnderLimit(rlim_t bytes) {
    ScopedFileSizeLimit limit(bytes);
    CLyrLog log;
    char path[] = "C:\\x.log";
    log.SetFile(path);
    log.SetUsrId("parker");
    log.SetSysMess("x-new");
    return !ThrowsMfc<CFileException>([&] { log.FixLogMess(0); });
  }

  void RunEveryLimit(const std::string& yPath) {
    int flushed = 0, undone = 0, refused = 0;
    for (rlim_t limit = 1000; limit < 62000; limit += 397) {
      SCOPED_TRACE("file size limit " + std::to_string(limit));
      Prepare(yPath);
      const bool taken = AppendUnderLimit(limit);
      Census census = Count(yPath);
      ASSERT_EQ(census.garbled, 0);
      // Each X entry once, in the log or parked; every Y entry parked once.
      for (int x = -1; x < 16; ++x) {
        const std::string message = x < 0 ? "x-old" : x == 15 ? "x-new" : "x-" + std::to_string(x);
        const int copies =
            Census::Copies(census.inX, message) + Census::Copies(census.parkedForX, message);
        ASSERT_EQ(copies, message == "x-new" && !taken ? 0 : 1) << message;
      }
      for (int y = 0; y < 25; ++y)
        ASSERT_EQ(Census::Copies(census.parkedForY, "y-" + std::to_string(y)), 1);
      ASSERT_EQ(ReadHostFile(BacklogHost()).size() % sizeof(LOG_BACKLOG_STRUCT), 0u);
      if (!taken) {
        ++refused;
      } else if (census.parkedForX.empty()) {
        ++flushed;
      } else {
        ++undone;
        ASSERT_TRUE(ReadHostFile(BacklogHost()) == prepared_);  // byte for byte as it was
      }
      // Without the limit, the next append moves everything of X in, in the order parked.
      ASSERT_TRUE(AppendUnderLimit(RLIM_INFINITY));
      census = Count(yPath);
      EXPECT_TRUE(census.parkedForX.empty());
      EXPECT_EQ(census.parkedForY.size(), 25u);
      std::vector<std::string> order;
      int news = 0;
      for (const LOG_ENTRY_STRUCT& e : ParseLog(ReadHostFile(DriveC() + "/x.log"))) {
        if (std::string(e.SysMess) == "x-new") {
          ++news;
        } else {
          order.push_back(e.SysMess);
        }
      }
      EXPECT_EQ(news, taken ? 2 : 1);
      std::vector<std::string> parkedOrder = {"x-old"};
      for (int i = 0; i < 15; ++i) parkedOrder.push_back("x-" + std::to_string(i));
      EXPECT_EQ(order, parkedOrder);
    }
    std::printf("%s: %d flushes whole, %d undone, %d entries refused to the caller\n",
                yPath.size() > 100 ? "long path" : "short path", flushed, undone, refused);
    EXPECT_GT(flushed, 0);
    EXPECT_GT(undone, 10);
  }
};

// Y's drive letter in lower case: the rewritten part then differs from the start, which an undo
// that only restores from the first differing byte on must get right.
TEST_F(BacklogRewriteTest, AFlushCutShortLeavesEveryEntryExactlyOnce) {
  RunEveryLimit("c:\\y.log");
}

// A path too long for the seal: a torn record could pass for one of Y's.
TEST_F(BacklogRewriteTest, AFlushCutShortLeavesEveryEntryExactlyOnceWithALongLogPath) {
  RunEveryLimit("C:\\" + std::string(250, 'y') + "\\y.log");
}

}  // namespace

#endif  // LYR_POSIX_TESTS
