// Names as Windows reads them: renames that change only case, "*." patterns, a period at the end
// of a folder's name, the reserved device names, a current directory reached through a link, and
// copies of a file that another program is still writing.
#include "lyr_test.h"

#if LYR_POSIX_TESTS
#include <sys/stat.h>
#endif
#if LYR_POSIX_TESTS
#include <unistd.h>
#endif

#include <set>
#include <string>

namespace {

class WindowsNamesTest : public LyrTest {
 protected:
  static std::set<std::string> HostNames(const std::string& folder) {
    const std::vector<std::string> names = HostFolderNames(folder);
    return {names.begin(), names.end()};
  }
  static std::set<std::string> Find(const char* pattern) {
    std::set<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(pattern, &data);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
      std::string name = data.cFileName;
      if (name != "." && name != "..") names.insert(name);
    } while (FindNextFileA(h, &data));
    FindClose(h);
    return names;
  }
};

TEST_F(WindowsNamesTest, ARenameThatChangesOnlyCaseRenames) {
  SKIP_UNDER_WINE("Wine keeps the old case when a rename changes nothing else");
  WriteHostFile(DriveC() + "/report.txt", "x");
  EXPECT_TRUE(MoveFileA("C:\\report.txt", "C:\\Report.TXT"));
  EXPECT_EQ(HostNames(DriveC()).count("Report.TXT"), 1u);
  EXPECT_EQ(HostNames(DriveC()).count("report.txt"), 0u);
  EXPECT_TRUE(MoveFileA("C:\\REPORT.txt", "C:\\Report.TXT"));  // the same name: nothing to do
  EXPECT_EQ(ReadHostFile(DriveC() + "/Report.TXT"), "x");
}

TEST_F(WindowsNamesTest, AStarAndAPeriodFindOnlyNamesWithoutAnExtension) {
  SKIP_UNDER_WINE("Wine's FindFirstFile matches \"*.\" against every name");
  ASSERT_TRUE(CreateDirectoryA("C:\\find", nullptr));
  for (const char* name : {"noext", "a.txt", "b.m3", "README"})
    WriteHostFile(DriveC() + "/find/" + name, "x");
  EXPECT_EQ(Find("C:\\find\\*."), (std::set<std::string>{"noext", "README"}));
  EXPECT_EQ(Find("C:\\find\\*.*").size(), 4u);
  EXPECT_EQ(Find("C:\\find\\a*."), std::set<std::string>{});
}

TEST_F(WindowsNamesTest, APeriodAtTheEndOfAFolderNameIsDropped) {
  ASSERT_TRUE(CreateDirectoryA("C:\\probe", nullptr));
  ASSERT_TRUE(CreateDirectoryA("C:\\probe\\dir.", nullptr));
  EXPECT_EQ(HostNames(DriveC() + "/probe"), std::set<std::string>{"dir"});
  HANDLE file =
      CreateFileA("C:\\probe\\dir.\\in.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  EXPECT_TRUE(HostFileExists(DriveC() + "/probe/dir/in.txt"));
  char full[MAX_PATH];
  ASSERT_GT(GetFullPathNameA("C:\\probe\\dir.\\in.txt", MAX_PATH, full, nullptr), 0u);
  EXPECT_STREQ(full, "C:\\probe\\dir\\in.txt");
  EXPECT_NE(GetFileAttributesA("C:\\probe\\...\\"), FILE_ATTRIBUTE_DIRECTORY);  // "..." is a name
}

TEST_F(WindowsNamesTest, ReservedDeviceNamesAreDevicesNotFiles) {
  ASSERT_TRUE(CreateDirectoryA("C:\\dir", nullptr));
  for (const char* name : {"NUL", "nul.txt", "C:\\dir\\nul", "C:\\dir\\Nul.log"}) {
    SCOPED_TRACE(name);
    HANDLE file =
        CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD n = 0;
    EXPECT_TRUE(WriteFile(file, "swallowed", 9, &n, nullptr));
    EXPECT_EQ(n, 9u);
    char buffer[8];
    EXPECT_TRUE(ReadFile(file, buffer, sizeof buffer, &n, nullptr));
    EXPECT_EQ(n, 0u);  // reads empty
    CloseHandle(file);
  }
  EXPECT_TRUE(HostNames(DriveC() + "/dir").empty());
  EXPECT_EQ(HostNames(DriveC()).count("nul.txt"), 0u);
  EXPECT_EQ(HostNames(DriveC()).count("NUL"), 0u);
  // A profile written to the null device goes nowhere and leaves no file.
  EXPECT_TRUE(WritePrivateProfileStringA("Main", "A", "1", "C:\\dir\\nul.ini"));
  EXPECT_TRUE(HostNames(DriveC() + "/dir").empty());
  // The console is a device too: nothing named CON appears.
  SKIP_UNDER_WINE("a program Wine starts without a terminal has no console to open");
  HANDLE console =
      CreateFileA("C:\\dir\\CON", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  EXPECT_NE(console, INVALID_HANDLE_VALUE);
  CloseHandle(console);
  EXPECT_TRUE(HostNames(DriveC() + "/dir").empty());
}

#if LYR_POSIX_TESTS  // a folder outside drive C: linked into it
TEST_F(WindowsNamesTest, ACurrentDirectoryReachedThroughALinkKeepsItsDrive) {
  char other[] = "/tmp/lyrutil-other-XXXXXX";  // a folder outside drive C:, as on another disk
  ASSERT_NE(::mkdtemp(other), nullptr);
  ASSERT_EQ(::mkdir((std::string(other) + "/x").c_str(), 0777), 0);
  ASSERT_EQ(::symlink(other, (DriveC() + "/data").c_str()), 0);
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\data"));
  char current[MAX_PATH];
  ASSERT_GT(GetCurrentDirectoryA(MAX_PATH, current), 0u);
  EXPECT_STREQ(current, "C:\\data");
  char full[MAX_PATH];
  GetFullPathNameA("..\\x", MAX_PATH, full, nullptr);
  EXPECT_STREQ(full, "C:\\x");
  GetFullPathNameA("\\x", MAX_PATH, full, nullptr);
  EXPECT_STREQ(full, "C:\\x");
  EXPECT_EQ(GetFileAttributesA("x"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  SetCurrentDirectoryA("C:\\");
  ::rmdir((std::string(other) + "/x").c_str());
  ::rmdir(other);
}
#endif

// A log that its program keeps open for writing, sharing reading, can be copied, as on Windows.
TEST_F(WindowsNamesTest, AFileOpenForWritingWithReadSharingCanBeCopied) {
  HANDLE writer = CreateFileA("C:\\run.log", GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              0, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  DWORD n = 0;
  WriteFile(writer, "line\r\n", 6, &n, nullptr);
  EXPECT_TRUE(CopyFileA("C:\\run.log", "C:\\copy.log", FALSE));
  EXPECT_EQ(ReadHostFile(DriveC() + "/copy.log"), "line\r\n");
  CloseHandle(writer);
  // A writer that shares nothing still keeps copiers out.
  writer = CreateFileA("C:\\run.log", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_FAILS(CopyFileA("C:\\run.log", "C:\\copy2.log", FALSE), ERROR_SHARING_VIOLATION);
  CloseHandle(writer);
}

}  // namespace
