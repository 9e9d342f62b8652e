// Windows share modes between handles of one process and of two processes.
#include "lyr_test.h"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr DWORD R = GENERIC_READ;
constexpr DWORD W = GENERIC_WRITE;
constexpr DWORD SR = FILE_SHARE_READ;
constexpr DWORD SW = FILE_SHARE_WRITE;
constexpr DWORD SD = FILE_SHARE_DELETE;

struct Case {
  DWORD heldAccess, heldShare, openAccess, openShare;
  bool opens;
};

// The rows follow the table of Windows' documentation on creating and opening files: a second
// open succeeds only when each handle's share mode allows the other's access.
const Case kCases[] = {
    {R, 0, R, SR | SW, false},          // exclusive holder refuses everyone
    {W, 0, R, SR | SW | SD, false},     // the audit trail's exclusive write
    {R | W, 0, R | W, SR | SW, false},  // read-write exclusive (flags 18)
    {R, SR, R, SR, true},               // two readers sharing reading
    {R, SR, W, SR | SW, false},         // writing not shared by the holder
    {W, SR, R, SR, false},              // the opener does not share the holder's writing
    {W, SR, R, SR | SW, true},          // reader beside a writer that allows reading
    {R, SR | SW, W, SR, true},          // writer beside a reader that shares both
    {R | W, SR | SW, R | W, SR | SW, true},
    {0, 0, R | W, 0, true},     // a handle without data access takes no part
    {R, SR | SW, R, 0, false},  // the opener would deny the holder's reading
};

class ShareModeTest : public LyrTest {};

// Opens the file a second time as the case says, while the first handle is held.
void ExpectSecondOpen(const Case& c) {
  HANDLE second =
      CreateFileA("C:\\shared.dat", c.openAccess, c.openShare, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(second != INVALID_HANDLE_VALUE, c.opens)
      << std::hex << c.heldAccess << "/" << c.heldShare << " then " << c.openAccess << "/"
      << c.openShare;
  if (second == INVALID_HANDLE_VALUE) {
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  } else {
    CloseHandle(second);
  }
}

TEST_F(ShareModeTest, SecondOpenFollowsWindowsRulesWithinOneProcess) {
  for (const Case& c : kCases) {
    HANDLE held =
        CreateFileA("C:\\shared.dat", c.heldAccess, c.heldShare, nullptr, OPEN_ALWAYS, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ExpectSecondOpen(c);
    CloseHandle(held);
  }
}

TEST_F(ShareModeTest, SecondOpenFollowsWindowsRulesBetweenProcesses) {
  for (const Case& c : kCases) {
    HelperProcess holder(HelperPath("hold_file"), {"C:\\shared.dat", std::to_string(c.heldAccess),
                                                   std::to_string(c.heldShare), "30"});
    ASSERT_EQ(holder.FirstLine(), "ready");
    ExpectSecondOpen(c);
  }
}

TEST_F(ShareModeTest, HolderThatDiesReleasesTheFile) {
  HelperProcess holder(HelperPath("hold_file"), {"C:\\held.dat", std::to_string(R | W), "0", "30"});
  ASSERT_EQ(holder.FirstLine(), "ready");
  EXPECT_EQ(CreateFileA("C:\\held.dat", R, SR | SW, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  holder.Kill();
  HANDLE file = CreateFileA("C:\\held.dat", R, SR | SW, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
}

TEST_F(ShareModeTest, RefusedTruncationLeavesTheContents) {
  WriteHostFile(DriveC() + "/data.txt", "precious");
  HANDLE held = CreateFileA("C:\\data.txt", R, SR, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_FAILS_AS(CreateFileA("C:\\data.txt", W, SR, nullptr, CREATE_ALWAYS, 0, nullptr),
                  INVALID_HANDLE_VALUE, ERROR_SHARING_VIOLATION);
  CloseHandle(held);
  EXPECT_EQ(ReadHostFile(DriveC() + "/data.txt"), "precious");
}

TEST_F(ShareModeTest, DeleteAndRenameNeedDeleteSharing) {
  WriteHostFile(DriveC() + "/a.txt", "a");
  HANDLE held = CreateFileA("C:\\a.txt", R, SR | SW, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_FAILS(DeleteFileA("C:\\a.txt"), ERROR_SHARING_VIOLATION);
  EXPECT_FAILS(MoveFileA("C:\\a.txt", "C:\\b.txt"), ERROR_SHARING_VIOLATION);
  CloseHandle(held);

  held = CreateFileA("C:\\a.txt", R, SR | SW | SD, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_TRUE(MoveFileA("C:\\a.txt", "C:\\b.txt"));
  CloseHandle(held);
  EXPECT_TRUE(DeleteFileA("C:\\b.txt"));
  EXPECT_FALSE(HostFileExists(DriveC() + "/b.txt"));
}

// Starts `count` threads that each run `attempt(i)` at the same moment; returns once all have.
void RunSideBySide(int count, const std::function<void(int)>& attempt) {
  std::atomic<int> waiting{count};
  std::vector<std::thread> threads;
  for (int i = 0; i < count; ++i) {
    threads.emplace_back([&, i] {
      waiting.fetch_sub(1);
      while (waiting.load() > 0) std::this_thread::yield();
      attempt(i);
    });
  }
  for (std::thread& t : threads) t.join();
}

// Threads that keep opening one file exclusively: never are two handles open at once, and the
// file does not stay locked out. (Which thread gets in is the scheduler's affair, as on Windows,
// where a refused open does not wait its turn either.)
TEST_F(ShareModeTest, ExclusiveOpensRacingForOneFileNeverOverlap) {
  WriteHostFile(DriveC() + "/race.dat", "x");
  std::atomic<int> inside{0};
  std::atomic<int> overlaps{0};
  int wins[4] = {};
  RunSideBySide(4, [&](int i) {
    for (int n = 0; n < 2000; ++n) {
      HANDLE h =
          CreateFileA("C:\\race.dat", i % 2 ? R : R | W, 0, nullptr, OPEN_EXISTING, 0, nullptr);
      if (h == INVALID_HANDLE_VALUE) continue;
      if (inside.fetch_add(1) != 0) overlaps.fetch_add(1);
      std::this_thread::yield();
      inside.fetch_sub(1);
      CloseHandle(h);
      ++wins[i];
    }
  });
  EXPECT_EQ(overlaps.load(), 0);
  EXPECT_GT(wins[0] + wins[1] + wins[2] + wins[3], 0);
}

// A deletion and an open that denies deleting, at the same moment: one of them wins, never both.
TEST_F(ShareModeTest, DeletionRacingAnOpenThatDeniesItLetsOneWin) {
  for (int round = 0; round < 100; ++round) {
    WriteHostFile(DriveC() + "/doomed.dat", "x");
    HANDLE held = INVALID_HANDLE_VALUE;
    BOOL deleted = FALSE;
    RunSideBySide(2, [&](int i) {
      if (i == 0) {
        held = CreateFileA("C:\\doomed.dat", R, SR | SW, nullptr, OPEN_EXISTING, 0, nullptr);
      } else {
        deleted = DeleteFileA("C:\\doomed.dat");
      }
    });
    const bool opened = held != INVALID_HANDLE_VALUE;
    EXPECT_NE(opened, deleted != FALSE) << "round " << round;
    EXPECT_EQ(HostFileExists(DriveC() + "/doomed.dat"), !deleted) << "round " << round;
    if (opened) CloseHandle(held);
    if (!deleted) DeleteFileA("C:\\doomed.dat");
  }
}

}  // namespace

#ifndef _WIN32
// The host seam's count of failed file calls: a refused open counts with its error, a name that
// is not there does not (opening is how callers test for a file), and nothing else moves it.
TEST_F(ShareModeTest, RefusedOpensAreCountedForHosts) {
  HANDLE held = CreateFileA("C:\\held.dat", R | W, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  DWORD last = 0;
  const unsigned long long before = LyrFileFailureCount(&last);
  EXPECT_EQ(CreateFileA("C:\\missing.dat", R, SR, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(LyrFileFailureCount(nullptr), before);
  HANDLE other = CreateFileA("C:\\other.dat", R | W, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  char byte = 'x';
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(other, &byte, 1, &written, nullptr));
  CloseHandle(other);
  EXPECT_EQ(LyrFileFailureCount(nullptr), before);
  EXPECT_EQ(CreateFileA("C:\\held.dat", R, SR | SW, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(LyrFileFailureCount(&last), before + 1);
  EXPECT_EQ(last, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  CloseHandle(held);
}
#endif
