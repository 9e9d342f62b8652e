// Installation settings: the registry key, the suite INI file, the working directory, the
// Windows directory and the viewer's file association.
#include "lyr_test.h"

#if LYR_POSIX_TESTS
#include <sys/stat.h>
#endif

#include <cstring>

namespace {

class InstallationTest : public LyrTest {
 protected:
  std::string ClassesDefault(const char* subKey) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
      return "<none>";
    char data[300] = {};
    DWORD size = sizeof data;
    RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    return data;
  }
};

TEST_F(InstallationTest, WithoutInstallationEverythingFallsBackToTheWindowsDirectory) {
  InitSystemGlobalParameters();
  CString ini;
  GetLyraININame(ini);
  EXPECT_EQ(ini, "\\sylwin.ini");
  EXPECT_STREQ(GetWindowsDirectoryA(), "C:\\windows");
  EXPECT_STREQ(GetWorkingDirectory(), "C:\\windows");
  EXPECT_EQ(GetMainThreadId(), GetCurrentThreadId());
  EXPECT_EQ(ClassesDefault("._cv"), "Compare");
  EXPECT_EQ(ClassesDefault("Compare"), "Rererur Ivev");
  EXPECT_EQ(ClassesDefault("Compare\\shell\\open\\command"), "C:\\windows\\compare.exe %1");
}

TEST_F(InstallationTest, WorkingDirectoryComesFromTheSuiteIniFile) {
  InstallSuite("C:\\Tessera");
  WriteHostFile(DriveC() + "/Tessera/sylwin.ini",
                "[Working Path]\r\nWorkingDirectory=D:\\Data\\\r\n");
  InitSystemGlobalParameters();
  CString ini;
  GetLyraININame(ini);
  EXPECT_EQ(ini, "C:\\Tessera\\sylwin.ini");
  EXPECT_EQ(ClassesDefault("Compare\\shell\\open\\command"), "D:\\Data\\compare.exe %1");
  EXPECT_STREQ(GetWorkingDirectory(), "D:\\Data\\");  // as the file holds it

  SetHeapFragmentation(1);
  EXPECT_CONTAINS(ReadHostFile(DriveC() + "/Tessera/sylwin.ini"), "[General]\r\nHeapfragmented=1");
}

TEST_F(InstallationTest, WindowsDirectoryAtADriveRoot) {
  SKIP_ON_WINDOWS("the Windows directory is the machine's own, not the registry's SystemRoot");
  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows NT\\CurrentVersion", 0,
                          KEY_ALL_ACCESS, &key),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, "SystemRoot", 0, REG_SZ, reinterpret_cast<const BYTE*>("C:\\"), 4),
            ERROR_SUCCESS);
  RegCloseKey(key);
  HelperProcess probe(HelperPath("windir_probe"), {});
  EXPECT_EQ(probe.FirstLine(), "C:\\");  // before: as Windows gives it
  EXPECT_EQ(probe.Wait(), 0);
  InitSystemGlobalParameters();
  EXPECT_STREQ(GetWindowsDirectoryA(), "C:");  // after: without the backslash
}

#if LYR_POSIX_TESTS  // a read-only system.reg
TEST_F(InstallationTest, RegistryValuesAreCopiedOnlyWhenTheKeyOpens) {
  unsigned char data[255];
  std::memset(data, 0xAB, sizeof data);
  LitBaseRegistre(HKEY_LOCAL_MACHINE, "SOFTWARE\\Missing", const_cast<char*>("Path"), data);
  EXPECT_EQ(data[0], 0xAB);
  EXPECT_EQ(data[254], 0xAB);

  InstallSuite("C:\\Tessera");
  LitBaseRegistre(HKEY_LOCAL_MACHINE, "SOFTWARE\\KDT_Zuzovodevoz\\Tessera",
                  const_cast<char*>("Path"), data);
  EXPECT_STREQ(reinterpret_cast<char*>(data), "C:\\Tessera");

  // A user without write rights on the registry cannot open the key with full access.
  ASSERT_EQ(::chmod((Prefix() + "/system.reg").c_str(), 0444), 0);
  CString ini;
  GetLyraININame(ini);
  EXPECT_EQ(ini, "\\sylwin.ini");
  EXPECT_FALSE(SetRunAppWithExtension("T", "D", "C", ".x"));
}
#endif

TEST_F(InstallationTest, SectionsAndVariantCodesOfIniFiles) {
  WriteHostFile(DriveC() + "/a.ini", "[General]\r\nAdrDbrd=ABC0\r\n");
  WriteHostFile(DriveC() + "/b.ini", "[General]\r\nAdrDbrd=AB0DX\r\n");
  WriteHostFile(DriveC() + "/c.ini", "[General]\r\nAdrDbrd=ABD0\r\n[Other]\r\n");
  char a[] = "C:\\a.ini", b[] = "C:\\b.ini", c[] = "C:\\c.ini", none[] = "C:\\none.ini";
  char general[] = "General", lower[] = "general", other[] = "Other";
  EXPECT_TRUE(IsKeyPresent(general, a));
  EXPECT_FALSE(IsKeyPresent(lower, a));  // the comparison is exact
  EXPECT_TRUE(IsKeyPresent(other, c));
  EXPECT_FALSE(IsKeyPresent(general, none));
  EXPECT_TRUE(IsTria2011(a));
  EXPECT_TRUE(IsTria2011(b));  // only the first four characters count
  EXPECT_FALSE(IsTria2011(c));
  EXPECT_FALSE(IsTria2011(none));  // the default AB00
}

}  // namespace
