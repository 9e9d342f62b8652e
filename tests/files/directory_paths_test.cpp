// Checking and creating directory paths typed by a user.
#include "lyr_test.h"

#include <cstring>
#include <string>

namespace {

class DirectoryPathsTest : public LyrTest {
 protected:
  unsigned short Check(const char* given, std::string* result, int create = 0, int message = 0) {
    char path[MAX_PATH];
    std::strcpy(path, given);
    unsigned short code = CheckPath(path, create, message);
    *result = path;
    return code;
  }

  std::string Cwd() {
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, cwd);
    return cwd;
  }
};

TEST_F(DirectoryPathsTest, PathsAreCleanedBeforeTheyAreTested) {
  ASSERT_TRUE(CreateDirectoryA("C:\\data", nullptr));
  ASSERT_TRUE(CreateDirectoryA("C:\\data\\x", nullptr));
  std::string result;
  EXPECT_EQ(Check("1data", &result, 0, 1), 3);
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, "The path must begin with a drive letter, not 1.");
  EXPECT_EQ(ui_.messages[0].helpId, 1041u);
  EXPECT_EQ(Check("c", &result), 0);
  EXPECT_EQ(result, "c:\\");
  EXPECT_EQ(Check("C:data", &result), 0);
  EXPECT_EQ(result, "C:\\data");
  EXPECT_EQ(Check("C:\\da*ta\\\\x\\", &result), 0);
  EXPECT_EQ(result, "C:\\data\\x");
  EXPECT_EQ(Check("Cdata", &result), 3);
  EXPECT_EQ(result, "C:\\Cdata");
  EXPECT_EQ(Check("C:\\d\xE9t<a>", &result), 3);
  EXPECT_EQ(result, "C:\\dta");
}

TEST_F(DirectoryPathsTest, MissingDirectoriesAreReportedAskedForOrMade) {
  const std::string before = Cwd();
  std::string result;
  EXPECT_EQ(Check("C:\\a\\b", &result, 0, 1), 3);
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, "The Directory C:\\a\\b does not exist.");
  EXPECT_EQ(ui_.messages[0].type, static_cast<UINT>(MB_OK));

  ui_.answers.push_back(IDNO);
  EXPECT_EQ(Check("C:\\a\\b", &result, 1, 1), 1);
  EXPECT_EQ(ui_.messages.back().text, "Create the directory C:\\a\\b?");
  EXPECT_EQ(ui_.messages.back().type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
  EXPECT_EQ(ui_.messages.back().helpId, 1042u);
  EXPECT_FALSE(HostFileExists(DriveC() + "/a"));
  EXPECT_EQ(Cwd(), before);

  ui_.answers.push_back(IDYES);
  EXPECT_EQ(Check("C:\\a\\b", &result, 1, 1), 0);
  EXPECT_TRUE(HostFileExists(DriveC() + "/a/b"));
  EXPECT_EQ(Cwd(), before);

  size_t shown = ui_.messages.size();
  EXPECT_EQ(Check("C:\\quiet\\deep", &result, 1, 0), 0);  // made without asking
  EXPECT_TRUE(HostFileExists(DriveC() + "/quiet/deep"));
  EXPECT_EQ(ui_.messages.size(), shown);
  EXPECT_EQ(Cwd(), before);
}

TEST_F(DirectoryPathsTest, MakeNewDirStopsAtTheFirstLevelItCannotMake) {
  char path[MAX_PATH] = "Q:\\x\\y";
  EXPECT_EQ(MakeNewDir(path, 1), 1);
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, "The directory Q:\\ cannot be made.");
  EXPECT_EQ(ui_.messages[0].helpId, 1043u);
  char empty[MAX_PATH] = "";
  EXPECT_EQ(MakeNewDir(empty, 1), 0);
  WriteHostFile(DriveC() + "/file", "not a folder");
  char blocked[MAX_PATH] = "C:\\file\\sub";
  EXPECT_EQ(MakeNewDir(blocked, 0), 1);
}

TEST_F(DirectoryPathsTest, LongPathsAreCutAndNamesKept256) {
  std::string huge = "C:\\" + std::string(10000, 'n');
  const std::string before = Cwd();
  EXPECT_EQ(CheckPath(&huge[0], 0, 0), 3);
  EXPECT_EQ(std::strlen(huge.c_str()), 256u);
  EXPECT_EQ(Cwd(), before);
  std::string many = "C:";
  for (int i = 0; i < 2000; ++i) many += "\\abcd";
  std::string deep = many;
  EXPECT_EQ(MakeNewDir(&deep[0], 0), 1);  // made level by level until a level is too long
  SetCurrentDirectoryA(before.c_str());
  EXPECT_EQ(CheckPath(&many[0], 0, 0), 3);  // cut to 256 characters, inside a name
  EXPECT_EQ(std::strlen(many.c_str()), 256u);
  EXPECT_EQ(Cwd(), before);
}

}  // namespace
