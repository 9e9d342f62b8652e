// A change to an INI file goes through the file itself, as on Windows: holders are respected and
// see the change, links stay links, and write access to the file is all it takes.
#include "lyr_test.h"

#if LYR_POSIX_TESTS  // rewriting the stand-in's INI files under Linux file attributes, links and
                     // killed writers

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>
#include <string>

namespace {

class ProfileRewriteTest : public LyrTest {
 protected:
  void SetUp() override {
    LyrTest::SetUp();
    WriteHostFile(DriveC() + "/set.ini", "[Main]\r\nA=1\r\n");
  }
  static std::string Value(const char* key, const char* file = "C:\\set.ini") {
    char value[64];
    GetPrivateProfileStringA("Main", key, "", value, sizeof value, file);
    return value;
  }
  static std::string ReadThrough(HANDLE file) {
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    char buffer[256];
    DWORD n = 0;
    ReadFile(file, buffer, sizeof buffer, &n, nullptr);
    return std::string(buffer, n);
  }
};

TEST_F(ProfileRewriteTest, AHolderThatSharesNothingRefusesTheChange) {
  HANDLE holder = CreateFileA("C:\\set.ini", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  EXPECT_FAILS(WritePrivateProfileStringA("Main", "B", "2", "C:\\set.ini"),
               ERROR_SHARING_VIOLATION);
  CloseHandle(holder);
  EXPECT_EQ(ReadHostFile(DriveC() + "/set.ini"), "[Main]\r\nA=1\r\n");
  // A holder that shares reading only still keeps writers out.
  holder =
      CreateFileA("C:\\set.ini", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_FAILS(WritePrivateProfileStringA("Main", "B", "2", "C:\\set.ini"),
               ERROR_SHARING_VIOLATION);
  CloseHandle(holder);
  EXPECT_TRUE(WritePrivateProfileStringA("Main", "B", "2", "C:\\set.ini"));
}

TEST_F(ProfileRewriteTest, AHolderThatSharesWritingSeesTheChangeAndKeepsItsOwn) {
  HANDLE holder =
      CreateFileA("C:\\set.ini", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(WritePrivateProfileStringA("Main", "B", "2", "C:\\set.ini"));
  EXPECT_EQ(ReadThrough(holder), "[Main]\r\nA=1\r\nB=2\r\n");
  // The holder's own later write lands in the file everyone reads.
  SetFilePointer(holder, 0, nullptr, FILE_END);
  DWORD n = 0;
  ASSERT_TRUE(WriteFile(holder, "C=3\r\n", 5, &n, nullptr));
  CloseHandle(holder);
  EXPECT_EQ(Value("C"), "3");
  EXPECT_EQ(Value("B"), "2");
}

TEST_F(ProfileRewriteTest, ALinkStaysALinkAndItsTargetChanges) {
  ::mkdir((DriveC() + "/shared").c_str(), 0777);
  WriteHostFile(DriveC() + "/shared/common.ini", "[Main]\r\nA=1\r\n");
  ASSERT_EQ(
      ::symlink((DriveC() + "/shared/common.ini").c_str(), (DriveC() + "/linked.ini").c_str()), 0);
  ASSERT_TRUE(WritePrivateProfileStringA("Main", "B", "2", "C:\\linked.ini"));
  struct stat st;
  ASSERT_EQ(::lstat((DriveC() + "/linked.ini").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(ReadHostFile(DriveC() + "/shared/common.ini"), "[Main]\r\nA=1\r\nB=2\r\n");
}

// Makes a folder refuse new names, renames and removals even to root, whose writes permission
// bits do not stop: the immutable flag of the file system. False where it has none.
bool SetImmutable(const std::string& folder, bool on) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return false;
  int flags = 0;
  bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
  ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  ::close(fd);
  return ok;
}

// An administrator's group-writable INI in a folder the user may not write: Windows saves it, as
// write access to the file is all it needs. As root the folder is made immutable; otherwise, or
// where the file system has no such flag, an unprivileged user writes into a folder of mode 555.
TEST_F(ProfileRewriteTest, AWritableFileInAFolderThatIsNotWritableIsSaved) {
  const std::string folder = DriveC() + "/locked";
  ASSERT_EQ(::mkdir(folder.c_str(), 0777), 0);
  WriteHostFile(folder + "/set.ini", "[Main]\r\nA=1\r\n");
  ASSERT_EQ(::chmod((folder + "/set.ini").c_str(), 0666), 0);
  if (::geteuid() == 0 && SetImmutable(folder, true)) {
    const bool closed = ::mkdir((folder + "/probe").c_str(), 0777) != 0;
    const BOOL saved = WritePrivateProfileStringA("Main", "B", "2", "C:\\locked\\set.ini");
    SetImmutable(folder, false);
    ASSERT_TRUE(closed);
    EXPECT_TRUE(saved);
    EXPECT_EQ(ReadHostFile(folder + "/set.ini"), "[Main]\r\nA=1\r\nB=2\r\n");
    return;
  }
  ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
  ASSERT_EQ(::chmod(Prefix().c_str(), 0755), 0);
  pid_t pid = ::fork();
  if (pid == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
    if (::access(folder.c_str(), W_OK) == 0) ::_exit(4);  // the folder must really be closed
    struct stat st;
    if (::stat((folder + "/set.ini").c_str(), &st) != 0) ::_exit(5);  // cannot reach the prefix
    if (WritePrivateProfileStringA("Main", "B", "2", "C:\\locked\\set.ini")) ::_exit(0);
    ::_exit(10 + static_cast<int>(GetLastError() % 100));
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ::chmod(folder.c_str(), 0777);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 5) GTEST_SKIP() << "an unprivileged user cannot reach " << Prefix();
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(ReadHostFile(folder + "/set.ini"), "[Main]\r\nA=1\r\nB=2\r\n");
}

std::string Utf16(const std::u16string& text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

// An INI file that starts with the UTF-16 byte-order mark is read and changed in UTF-16, never
// turned into a file of mixed encodings.
TEST_F(ProfileRewriteTest, AUnicodeIniIsReadAndWrittenInUtf16) {
  WriteHostFile(DriveC() + "/uni.ini", Utf16(u"[Main]\r\nSite=Z\u00fcrich \u20ac\r\n"));
  EXPECT_EQ(Value("Site", "C:\\uni.ini"), "Z\xFCrich \x80");
  ASSERT_TRUE(WritePrivateProfileStringA("Main", "Room", "B\xE9", "C:\\uni.ini"));
  EXPECT_TRUE(ReadHostFile(DriveC() + "/uni.ini") ==
              Utf16(u"[Main]\r\nSite=Z\u00fcrich \u20ac\r\nRoom=B\u00e9\r\n"));
  EXPECT_EQ(Value("Room", "C:\\uni.ini"), "B\xE9");

  // A character the ANSI code page lacks reads as '?' and is never written away.
  const std::string wide = Utf16(u"[Main]\r\nSite=\u4e2d\r\n");
  WriteHostFile(DriveC() + "/uni.ini", wide);
  EXPECT_EQ(Value("Site", "C:\\uni.ini"), "?");
  EXPECT_FAILS(WritePrivateProfileStringA("Main", "Room", "1", "C:\\uni.ini"),
               ERROR_NO_UNICODE_TRANSLATION);
  EXPECT_TRUE(ReadHostFile(DriveC() + "/uni.ini") == wide);
}

// What a writer killed while writing its journal leaves is swept away by a later writer, once
// it is old enough to have no living writer.
TEST_F(ProfileRewriteTest, LeftoversOfKilledWritersAreCleanedUpLater) {
  ASSERT_TRUE(WritePrivateProfileStringA("Main", "B", "1", "C:\\set.ini"));  // makes the folder
  const std::string journals = Prefix() + "/.lyrwin-journal";
  WriteHostFile(journals + "/old.tmp", "torn");
  WriteHostFile(journals + "/fresh.tmp", "in progress");
  struct timeval twoHoursAgo[2] = {{::time(nullptr) - 7200, 0}, {::time(nullptr) - 7200, 0}};
  ASSERT_EQ(::utimes((journals + "/old.tmp").c_str(), twoHoursAgo), 0);
  ASSERT_TRUE(WritePrivateProfileStringA("Main", "B", "2", "C:\\set.ini"));
  EXPECT_FALSE(HostFileExists(journals + "/old.tmp"));
  EXPECT_TRUE(HostFileExists(journals + "/fresh.tmp"));
}

}  // namespace

#endif  // LYR_POSIX_TESTS
