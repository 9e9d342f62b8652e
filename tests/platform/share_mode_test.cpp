// Windows share modes between handles of one process and of two processes.
#include "lyr_test.h"

#include <string>

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
  EXPECT_EQ(CreateFileA("C:\\data.txt", W, SR, nullptr, CREATE_ALWAYS, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  CloseHandle(held);
  EXPECT_EQ(ReadHostFile(DriveC() + "/data.txt"), "precious");
}

TEST_F(ShareModeTest, DeleteAndRenameNeedDeleteSharing) {
  WriteHostFile(DriveC() + "/a.txt", "a");
  HANDLE held = CreateFileA("C:\\a.txt", R, SR | SW, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_FALSE(DeleteFileA("C:\\a.txt"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_FALSE(MoveFileA("C:\\a.txt", "C:\\b.txt"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  CloseHandle(held);

  held = CreateFileA("C:\\a.txt", R, SR | SW | SD, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_TRUE(MoveFileA("C:\\a.txt", "C:\\b.txt"));
  CloseHandle(held);
  EXPECT_TRUE(DeleteFileA("C:\\b.txt"));
  EXPECT_FALSE(HostFileExists(DriveC() + "/b.txt"));
}

}  // namespace
