// The installation's settings are served from memory while their files are unchanged; a change
// made by another process, through the stand-in or as a text editor makes it (in place, or a new
// file renamed over the old), is seen by the very next call. The waits let the files' last
// change settle, so that the second read is served from memory and the change must be noticed.
#include "lyr_test.h"

#if LYR_POSIX_TESTS  // forked editors and the stand-in's settled-file rule

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

class SettingsChangeTest : public LyrTest {
 protected:
  // Runs `change` in a child process and waits for it.
  template <class Change>
  static void InAnotherProcess(Change change) {
    const pid_t child = ::fork();
    if (child == 0) {
      change();
      ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  static void Settle() { std::this_thread::sleep_for(std::chrono::milliseconds(1100)); }
  std::string Ini() const { return DriveC() + "/Tessera/sylwin.ini"; }
  static std::string InstallationPath() {
    unsigned char data[255] = {};
    char key[] = "SOFTWARE\\KDT_Zuzovodevoz\\Tessera";
    char value[] = "Path";
    LitBaseRegistre(HKEY_LOCAL_MACHINE, key, value, data);
    return reinterpret_cast<char*>(data);
  }
};

TEST_F(SettingsChangeTest, AChangeByAnotherProcessIsSeenAtTheNextRead) {
  InstallSuiteWorkingIn();
  Settle();
  EXPECT_STREQ(GetWorkingDirectory(), "C:\\Work");
  EXPECT_STREQ(GetWorkingDirectory(), "C:\\Work");  // from memory now

  // A text editor saving in place: same size, same file.
  InAnotherProcess([&] {
    FILE* f = std::fopen(Ini().c_str(), "r+");
    std::fputs("[WORKING PATH]\r\nWorkingDirectory=C:\\Wark\r\n", f);
    std::fclose(f);
  });
  EXPECT_STREQ(GetWorkingDirectory(), "C:\\Wark");

  // A text editor saving a new file and renaming it over the old one.
  Settle();
  EXPECT_STREQ(GetWorkingDirectory(), "C:\\Wark");
  InAnotherProcess([&] {
    const std::string temp = Ini() + ".new";
    FILE* f = std::fopen(temp.c_str(), "w");
    std::fputs("[WORKING PATH]\r\nWorkingDirectory=C:\\Wbrk\r\n", f);
    std::fclose(f);
    std::rename(temp.c_str(), Ini().c_str());
  });
  EXPECT_STREQ(GetWorkingDirectory(), "C:\\Wbrk");

  // A copy from a backup put back with its old times (`cp -p`, `mv`): the times alone would not
  // tell, the file's identity does.
  Settle();
  EXPECT_STREQ(GetWorkingDirectory(), "C:\\Wbrk");
  InAnotherProcess([&] {
    const std::string backup = Ini() + ".bak";
    FILE* f = std::fopen(backup.c_str(), "w");
    std::fputs("[WORKING PATH]\r\nWorkingDirectory=C:\\Wold\r\n", f);
    std::fclose(f);
    const struct timespec lastYear[2] = {{::time(nullptr) - 365 * 86400, 0},
                                         {::time(nullptr) - 365 * 86400, 0}};
    ::utimensat(AT_FDCWD, backup.c_str(), lastYear, 0);
    std::rename(backup.c_str(), Ini().c_str());
  });
  EXPECT_STREQ(GetWorkingDirectory(), "C:\\Wold");

  // Another process writing the INI file and the registry through the stand-in.
  Settle();
  EXPECT_EQ(InstallationPath(), "C:\\Tessera");
  InAnotherProcess([] {
    WritePrivateProfileStringA("WORKING PATH", "WorkingDirectory", "C:\\Wcrk",
                               "C:\\Tessera\\sylwin.ini");
    HKEY key;
    RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\KDT_Zuzovodevoz\\Tessera", &key);
    const char path[] = "C:\\Tessere";
    RegSetValueExA(key, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(path), sizeof path);
    RegCloseKey(key);
  });
  EXPECT_EQ(InstallationPath(), "C:\\Tessere");
  ASSERT_TRUE(CreateDirectoryA("C:\\Tessere", nullptr));
  WriteHostFile(DriveC() + "/Tessere/sylwin.ini",
                "[WORKING PATH]\r\nWorkingDirectory=C:\\Wdrk\r\n");
  EXPECT_STREQ(GetWorkingDirectory(), "C:\\Wdrk");  // the INI file the new path names

  // This process's own change, within the same clock tick as its last read.
  WritePrivateProfileStringA("WORKING PATH", "WorkingDirectory", "C:\\Werk",
                             "C:\\Tessere\\sylwin.ini");
  EXPECT_STREQ(GetWorkingDirectory(), "C:\\Werk");
}

}  // namespace

#endif  // LYR_POSIX_TESTS
