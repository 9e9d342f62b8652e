// DOS paths, attributes, folders and the file functions of the stand-in.
#include "lyr_test.h"

#include <direct.h>
#if LYR_POSIX_TESTS
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <set>
#include <string>

namespace {

class FilesTest : public LyrTest {};

std::string FullPath(const char* path) {
  char buffer[MAX_PATH];
  LPSTR filePart = nullptr;
  DWORD n = GetFullPathNameA(path, MAX_PATH, buffer, &filePart);
  return n == 0 ? "<error " + std::to_string(GetLastError()) + ">" : buffer;
}

TEST_F(FilesTest, PathsAreNormalisedAsGetFullPathNameDoes) {
  ASSERT_TRUE(CreateDirectoryA("C:\\Work", nullptr));
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\Work"));
  char cwd[MAX_PATH];
  EXPECT_EQ(GetCurrentDirectoryA(MAX_PATH, cwd), 7u);
  EXPECT_STREQ(cwd, "C:\\Work");
  EXPECT_EQ(GetCurrentDirectoryA(3, cwd), 8u);  // too small: the size needed

  EXPECT_EQ(FullPath("a.txt"), "C:\\Work\\a.txt");
  EXPECT_EQ(FullPath("..\\b\\.\\c.txt"), "C:\\b\\c.txt");
  EXPECT_EQ(FullPath("\\x/y//z"), "C:\\x\\y\\z");
  EXPECT_EQ(FullPath("C:\\..\\..\\up"), "C:\\up");
  EXPECT_EQ(FullPath("C:\\dir\\name. . "), "C:\\dir\\name");
  EXPECT_EQ(FullPath("C:\\dir\\"), "C:\\dir\\");
  EXPECT_EQ(FullPath(std::string(300, 'a').c_str()),
            "<error " + std::to_string(ERROR_FILENAME_EXCED_RANGE) + ">");

#if LYR_POSIX_TESTS  // the process's own current directory is the folder on drive C:
  char host[MAX_PATH];
  ASSERT_NE(::getcwd(host, sizeof host), nullptr);
  EXPECT_EQ(std::string(host).substr(std::string(host).size() - 13), "/drive_c/Work");
#endif
  // A drive without a current directory of its own stands at its root, its letter in capitals.
  SKIP_UNDER_WINE("Wine keeps the drive letter of \"d:rel\" in lower case");
  EXPECT_EQ(FullPath("d:rel"), "D:\\rel");
}

TEST_F(FilesTest, ComponentsMatchWithoutCaseAndNewNamesKeepTheirs) {
  ASSERT_TRUE(CreateDirectoryA("C:\\Data", nullptr));
  HANDLE file =
      CreateFileA("C:\\DATA\\Method.M3", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  EXPECT_TRUE(HostFileExists(DriveC() + "/Data/Method.M3"));
  file = CreateFileA("c:\\data\\method.m3", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  EXPECT_FAILS_AS(
      CreateFileA("c:\\data\\METHOD.m3", GENERIC_READ, 0, nullptr, CREATE_NEW, 0, nullptr),
      INVALID_HANDLE_VALUE, ERROR_FILE_EXISTS);
  // Code page 1252 letters match across case too.
  ASSERT_TRUE(CreateDirectoryA("C:\\\xC9t\xE9", nullptr));
  EXPECT_NE(GetFileAttributesA("C:\\\xE9T\xC9"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(FilesTest, MissingThingsGiveWindowsErrors) {
  EXPECT_FAILS_AS(CreateFileA("C:\\nofile", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
                  INVALID_HANDLE_VALUE, ERROR_FILE_NOT_FOUND);
  EXPECT_FAILS_AS(CreateFileA("C:\\nodir\\f", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
                  INVALID_HANDLE_VALUE, ERROR_PATH_NOT_FOUND);
  EXPECT_FAILS_AS(CreateFileA("C:\\bad|name", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
                  INVALID_HANDLE_VALUE, ERROR_INVALID_NAME);
  EXPECT_FAILS(CreateDirectoryA("C:\\windows", nullptr), ERROR_ALREADY_EXISTS);
  EXPECT_FALSE(SetCurrentDirectoryA("Q:\\"));
#if LYR_POSIX_TESTS  // drives are links in the prefix's dosdevices
  // A drive whose link points nowhere does not exist.
  const std::string link = Prefix() + "/dosdevices/d:";
  ASSERT_EQ(::symlink("/nonexistent-folder", link.c_str()), 0);
  EXPECT_FAILS_AS(GetFileAttributesA("D:\\x"), INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND);
  // A drive made, re-pointed or removed by another program counts from the next call on.
  for (const char* folder : {"/first", "/second"}) {
    ::mkdir((Prefix() + folder).c_str(), 0777);
    WriteHostFile(Prefix() + folder + "/x", folder);
    ASSERT_EQ(::unlink(link.c_str()), 0);
    ASSERT_EQ(::symlink((Prefix() + folder).c_str(), link.c_str()), 0);
    HANDLE file =
        CreateFileA("D:\\X", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << folder;
    char text[16] = {};
    DWORD got = 0;
    ReadFile(file, text, sizeof text - 1, &got, nullptr);
    CloseHandle(file);
    EXPECT_STREQ(text, folder);
  }
  ASSERT_EQ(::unlink(link.c_str()), 0);
  EXPECT_FAILS_AS(GetFileAttributesA("D:\\x"), INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND);
#endif
  // A drive that does not exist is a path that is not there.
  SKIP_UNDER_WINE("Wine answers ERROR_FILE_NOT_FOUND for a file on a drive that does not exist");
  EXPECT_FAILS_AS(GetFileAttributesA("Q:\\anything"), INVALID_FILE_ATTRIBUTES,
                  ERROR_PATH_NOT_FOUND);
}

// A file's name followed by a separator names a folder that is not there; opening it, the name
// itself is not valid.
TEST_F(FilesTest, ASeparatorAfterAFileNameNamesNothing) {
  ASSERT_TRUE(CreateDirectoryA("C:\\dir", nullptr));
  WriteHostFile(DriveC() + "/dir/file.txt", "x");
  EXPECT_FAILS_AS(GetFileAttributesA("C:\\dir\\file.txt\\x"), INVALID_FILE_ATTRIBUTES,
                  ERROR_PATH_NOT_FOUND);
  for (const char* name : {"C:\\dir\\file.txt\\", "C:\\dir\\file.txt/", "c:/DIR/FILE.TXT/"}) {
    SCOPED_TRACE(name);
    EXPECT_FAILS_AS(GetFileAttributesA(name), INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND);
    EXPECT_FAILS_AS(
        CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr),
        INVALID_HANDLE_VALUE, ERROR_INVALID_NAME);
    WIN32_FIND_DATAA found;
    EXPECT_EQ(FindFirstFileA(name, &found), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(DeleteFileA(name));
  }
  EXPECT_TRUE(HostFileExists(DriveC() + "/dir/file.txt"));
  // A folder followed by a separator is still that folder.
  DWORD attributes = GetFileAttributesA("C:\\DIR\\");
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(FilesTest, TheCurrentDirectoryKeepsTheTextItWasSetWith) {
  ASSERT_TRUE(CreateDirectoryA("C:\\data", nullptr));
  ASSERT_TRUE(CreateDirectoryA("C:\\data\\runs", nullptr));
  WriteHostFile(DriveC() + "/data/runs/r1.txt", "run");
  // "." and ".." are taken away as text, before the folders are looked up ("x" is not there).
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\DATA\\.\\x\\..\\RUNS\\"));
  char cwd[MAX_PATH];
  EXPECT_EQ(GetCurrentDirectoryA(MAX_PATH, cwd), 12u);
  EXPECT_STREQ(cwd, "C:\\DATA\\RUNS");
  char* crt = _getcwd(nullptr, 0);
  ASSERT_NE(crt, nullptr);
  EXPECT_STREQ(crt, "C:\\DATA\\RUNS");
  std::free(crt);
  // Relative names follow the text, and still find the files spelt otherwise on disk.
  EXPECT_EQ(FullPath("R1.TXT"), "C:\\DATA\\RUNS\\R1.TXT");
  EXPECT_EQ(FullPath("..\\other"), "C:\\DATA\\other");
  EXPECT_NE(GetFileAttributesA("r1.txt"), INVALID_FILE_ATTRIBUTES);
  ASSERT_EQ(_chdir(".."), 0);
  EXPECT_EQ(GetCurrentDirectoryA(MAX_PATH, cwd), 7u);
  EXPECT_STREQ(cwd, "C:\\DATA");
  // A change of directory made behind the stand-in's back is seen, with the names on disk.
  ASSERT_EQ(::chdir((DriveC() + "/data/runs").c_str()), 0);
  GetCurrentDirectoryA(MAX_PATH, cwd);
  EXPECT_STREQ(cwd, "C:\\data\\runs");
}

TEST_F(FilesTest, ReadOnlyAttributeIsEnforcedForEveryone) {
  WriteHostFile(DriveC() + "/ro.txt", "keep");
  ASSERT_TRUE(SetFileAttributesA("C:\\ro.txt", FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(GetFileAttributesA("C:\\ro.txt"),
            static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_FAILS_AS(CreateFileA("C:\\ro.txt", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
                  INVALID_HANDLE_VALUE, ERROR_ACCESS_DENIED);
  EXPECT_EQ(CreateFileA("C:\\ro.txt", GENERIC_READ, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_FAILS(DeleteFileA("C:\\ro.txt"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(ReadHostFile(DriveC() + "/ro.txt"), "keep");
  ASSERT_TRUE(SetFileAttributesA("C:\\ro.txt", FILE_ATTRIBUTE_NORMAL));
  EXPECT_TRUE(DeleteFileA("C:\\ro.txt"));
}

TEST_F(FilesTest, HandlesReadWriteSeekAndTruncate) {
  HANDLE file =
      CreateFileA("C:\\f.bin", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD n = 0;
  ASSERT_TRUE(WriteFile(file, "0123456789", 10, &n, nullptr));
  EXPECT_EQ(n, 10u);
  EXPECT_EQ(GetFileSize(file, nullptr), 10u);
  EXPECT_EQ(SetFilePointer(file, -4, nullptr, FILE_END), 6u);
  char buffer[16] = {};
  ASSERT_TRUE(ReadFile(file, buffer, sizeof buffer, &n, nullptr));
  EXPECT_EQ(std::string(buffer, n), "6789");
  ASSERT_TRUE(ReadFile(file, buffer, sizeof buffer, &n, nullptr));  // at the end: TRUE, nothing
  EXPECT_EQ(n, 0u);
  EXPECT_FAILS_AS(SetFilePointer(file, -20, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER,
                  ERROR_NEGATIVE_SEEK);
  EXPECT_EQ(SetFilePointer(file, 3, nullptr, FILE_BEGIN), 3u);
  ASSERT_TRUE(SetEndOfFile(file));
  EXPECT_EQ(GetFileSize(file, nullptr), 3u);
  ASSERT_TRUE(CloseHandle(file));
  EXPECT_FAILS(CloseHandle(file), ERROR_INVALID_HANDLE);

  // A new handle (made from the closed one's object) has its own rights and starts at the
  // beginning; two handles on one file each keep their own pointer.
  file = CreateFileA("C:\\f.bin", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_FAILS(WriteFile(file, "x", 1, &n, nullptr), ERROR_ACCESS_DENIED);
  HANDLE second =
      CreateFileA("C:\\f.bin", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(second, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(ReadFile(file, buffer, 2, &n, nullptr));
  EXPECT_EQ(std::string(buffer, n), "01");
  ASSERT_TRUE(ReadFile(second, buffer, 3, &n, nullptr));
  EXPECT_EQ(std::string(buffer, n), "012");
  ASSERT_TRUE(ReadFile(file, buffer, 3, &n, nullptr));
  EXPECT_EQ(std::string(buffer, n), "2");
  CloseHandle(second);
  CloseHandle(file);
}

TEST_F(FilesTest, FindFilesWithWildcardsAndMoveAndRemove) {
  ASSERT_TRUE(CreateDirectoryA("C:\\Find", nullptr));
  for (const char* name : {"b.M3", "a.m3", "c.txt", "noext"})
    WriteHostFile(DriveC() + "/Find/" + name, "x");
  auto find = [](const char* pattern) {
    std::set<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(pattern, &data);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
      names.insert(data.cFileName);
    } while (FindNextFileA(h, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    FindClose(h);
    return names;
  };
  EXPECT_EQ(find("C:\\find\\*.m3"), (std::set<std::string>{"a.m3", "b.M3"}));
  EXPECT_EQ(find("C:\\find\\*.*").size(), 6u);  // with "." and ".."
  EXPECT_EQ(find("C:\\find\\noext.*"), (std::set<std::string>{"noext"}));
  EXPECT_TRUE(find("C:\\find\\*.xyz").empty());
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

  EXPECT_FAILS(MoveFileA("C:\\find\\a.m3", "C:\\find\\B.m3"), ERROR_ALREADY_EXISTS);
  EXPECT_TRUE(MoveFileA("C:\\find\\a.m3", "C:\\find\\d.m3"));
  EXPECT_FAILS(RemoveDirectoryA("C:\\find"), ERROR_DIR_NOT_EMPTY);
  EXPECT_TRUE(CopyFileA("C:\\find\\c.txt", "C:\\copy.txt", TRUE));
  EXPECT_FAILS(CopyFileA("C:\\find\\c.txt", "C:\\copy.txt", TRUE), ERROR_FILE_EXISTS);
  EXPECT_EQ(ReadHostFile(DriveC() + "/copy.txt"), "x");
}

}  // namespace
