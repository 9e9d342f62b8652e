// Failures the kernel reports, made on purpose (LyrFailSystemCall): a full disk, an I/O error, a
// signal. Every path that writes a file must leave what was there whole and say why it failed.
#include "lyr_test.h"

#if LYR_POSIX_TESTS

#include <cerrno>
#include <string>

namespace {

using Fault = ScopedSystemCallFault;

class SystemCallFaultTest : public LyrTest {
 protected:
  std::string Profile() { return ReadHostFile(DriveC() + "/set.ini"); }
  BOOL WriteSetting(const char* value) {
    return WritePrivateProfileStringA("Section", "Key", value, "C:\\set.ini");
  }
  std::string Setting() {
    char value[64] = "";
    GetPrivateProfileStringA("Section", "Key", "", value, sizeof value, "C:\\set.ini");
    return value;
  }
};

TEST_F(SystemCallFaultTest, UnknownKindsAndAZerothCallAreRefused) {
  EXPECT_FALSE(LyrFailSystemCall("mmap", 1, 1, EIO));
  EXPECT_FALSE(LyrFailSystemCall("write", 0, 1, EIO));
  EXPECT_FALSE(LyrFailSystemCall(nullptr, 1, 1, EIO));
  EXPECT_EQ(LyrSystemCallCount("mmap"), 0u);
}

// The count a benchmark reads, and a lookup whose stat fails: a file that cannot be looked at
// is not there to the caller, as a lost file server leaves it.
TEST_F(SystemCallFaultTest, CallsAreCountedByKindAndAFailedStatHidesTheFile) {
  WriteHostFile(DriveC() + "/here.txt", "x");
  const unsigned long long stats = LyrSystemCallCount("stat");
  const unsigned long long all = LyrSystemCallCount(nullptr);
  EXPECT_NE(GetFileAttributesA("C:\\here.txt"), INVALID_FILE_ATTRIBUTES);
  EXPECT_GE(LyrSystemCallCount("stat"), stats + 1);
  EXPECT_GE(LyrSystemCallCount(nullptr), all + 1);
  {
    Fault lost("stat", 1, 8, EIO);
    EXPECT_EQ(GetFileAttributesA("C:\\here.txt"), INVALID_FILE_ATTRIBUTES);
  }
  EXPECT_NE(GetFileAttributesA("C:\\here.txt"), INVALID_FILE_ATTRIBUTES);
}

// A settings file is rewritten in place after a journal: the journal is the first write, the
// file's new text the second.
TEST_F(SystemCallFaultTest, AProfileWriteThatFailsPartWayPutsTheOldTextBack) {
  ASSERT_TRUE(WriteSetting("the old text, longer than the new"));
  const std::string before = Profile();
  {
    Fault full("write", 2, 1, ENOSPC);
    EXPECT_FAILS(WriteSetting("new"), ERROR_DISK_FULL);
  }
  EXPECT_EQ(Profile(), before);
  {
    // The new text is in, but the file cannot be cut to its length: the old text goes back.
    Fault stuck("ftruncate", 1, 1, EIO);
    EXPECT_FALSE(WriteSetting("new"));
  }
  EXPECT_EQ(Profile(), before);
  EXPECT_EQ(Setting(), "the old text, longer than the new");
  EXPECT_TRUE(HostFolderNames(Prefix() + "/.lyrwin-journal").empty());
}

TEST_F(SystemCallFaultTest, AProfileWriteWhoseFlushFailsReportsItAndKeepsTheOldText) {
  ASSERT_TRUE(WriteSetting("old"));
  const std::string before = Profile();
  {
    // The journal reaches the disk (its own flush, then its folder's), the file does not.
    Fault lost("fsync", 3, 1, EIO);
    EXPECT_FALSE(WriteSetting("new"));
    EXPECT_NE(GetLastError(), 0u);
  }
  EXPECT_EQ(Profile(), before);
  EXPECT_TRUE(WriteSetting("new"));
  EXPECT_EQ(Setting(), "new");
}

// Without a journal the change still goes through, as on Windows.
TEST_F(SystemCallFaultTest, AProfileWriteWithoutItsJournalStillChangesTheFile) {
  ASSERT_TRUE(WriteSetting("old"));
  {
    Fault noJournal("rename", 1, 1, EIO);
    EXPECT_TRUE(WriteSetting("new"));
  }
  EXPECT_EQ(Setting(), "new");
  EXPECT_TRUE(HostFolderNames(Prefix() + "/.lyrwin-journal").empty());
}

// The write fails and so does putting the old text back: the journal stays, and readers and the
// next writer take the new text from it, so the file is never seen torn.
TEST_F(SystemCallFaultTest, WhenTheUndoFailsTooTheJournalMakesTheFileWhole) {
  ASSERT_TRUE(WriteSetting("old"));
  {
    Fault full("write", 2, 2, ENOSPC);
    EXPECT_FALSE(WriteSetting("new"));
  }
  EXPECT_EQ(Setting(), "new");
  EXPECT_TRUE(WritePrivateProfileStringA("Section", "Other", "1", "C:\\set.ini"));
  EXPECT_EQ(Setting(), "new");
  EXPECT_CONTAINS(Profile(), "Other=1");
}

// Signals interrupt calls: each is tried again, and nothing is lost or doubled.
TEST_F(SystemCallFaultTest, InterruptedCallsAreRetried) {
  const std::string text(100000, 'x');
  DWORD done = 0;
  HANDLE file;
  {
    Fault interrupted("open", 1, 2, EINTR);
    file = CreateFileA("C:\\big.dat", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                       nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
  }
  {
    Fault interrupted("write", 1, 3, EINTR);
    ASSERT_TRUE(WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &done, nullptr));
    EXPECT_EQ(done, text.size());
  }
  SetFilePointer(file, 0, nullptr, FILE_BEGIN);
  std::string back(text.size(), '\0');
  {
    Fault interrupted("read", 1, 3, EINTR);
    ASSERT_TRUE(ReadFile(file, &back[0], static_cast<DWORD>(back.size()), &done, nullptr));
    EXPECT_EQ(done, back.size());
  }
  CloseHandle(file);
  EXPECT_TRUE(back == text);
  EXPECT_EQ(ReadHostFile(DriveC() + "/big.dat").size(), text.size());
}

TEST_F(SystemCallFaultTest, FailedWritesAndFlushesReachTheCaller) {
  HANDLE file = CreateFileA("C:\\w.dat", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD done = 0;
  {
    Fault full("write", 1, 1, ENOSPC);
    EXPECT_FAILS(WriteFile(file, "abc", 3, &done, nullptr), ERROR_DISK_FULL);
  }
  {
    Fault lost("fsync", 1, 1, EIO);
    EXPECT_FALSE(FlushFileBuffers(file));
    EXPECT_NE(GetLastError(), 0u);
  }
  EXPECT_TRUE(FlushFileBuffers(file));
  CloseHandle(file);
}

// A copy that cannot be finished leaves no half copy; a move or a deletion the kernel refuses
// leaves the file where it was.
TEST_F(SystemCallFaultTest, CopiesMovesAndDeletionsThatFailLeaveTheFilesAsTheyWere) {
  WriteHostFile(DriveC() + "/a.txt", std::string(5000, 'a'));
  {
    Fault full("write", 1, 1, ENOSPC);
    EXPECT_FAILS(CopyFileA("C:\\a.txt", "C:\\b.txt", TRUE), ERROR_DISK_FULL);
  }
  EXPECT_FALSE(HostFileExists(DriveC() + "/b.txt"));
  {
    Fault refused("rename", 1, 1, EIO);
    EXPECT_FALSE(MoveFileA("C:\\a.txt", "C:\\c.txt"));
  }
  EXPECT_TRUE(HostFileExists(DriveC() + "/a.txt"));
  EXPECT_FALSE(HostFileExists(DriveC() + "/c.txt"));
  {
    Fault busy("unlink", 1, 1, EBUSY);
    EXPECT_FALSE(DeleteFileA("C:\\a.txt"));
  }
  EXPECT_EQ(ReadHostFile(DriveC() + "/a.txt"), std::string(5000, 'a'));
  EXPECT_TRUE(DeleteFileA("C:\\a.txt"));
}

// The registry file is rewritten like a profile: a failed write leaves the old value readable.
// Its writes: the change counter, the journal, then the file.
TEST_F(SystemCallFaultTest, ARegistryWriteThatFailsKeepsTheOldValue) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Faults", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, "v", 0, REG_SZ, reinterpret_cast<const BYTE*>("old"), 4),
            ERROR_SUCCESS);
  {
    Fault full("write", 3, 1, ENOSPC);
    EXPECT_NE(RegSetValueExA(key, "v", 0, REG_SZ, reinterpret_cast<const BYTE*>("new"), 4),
              ERROR_SUCCESS);
  }
  RegCloseKey(key);
  char value[16] = "";
  DWORD size = sizeof value;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Faults", 0, KEY_READ, &key),
            ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExA(key, "v", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size),
            ERROR_SUCCESS);
  EXPECT_STREQ(value, "old");
  RegCloseKey(key);
}

}  // namespace

#endif  // LYR_POSIX_TESTS
