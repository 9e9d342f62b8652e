// Writers of an INI file and of the registry killed at random moments, in the middle of their
// rewrites: every reader afterwards sees one whole version of the file, never a mixture, and the
// next writer leaves the file itself whole.
#include "lyr_test.h"

#if LYR_POSIX_TESTS  // writers killed with signals

#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <random>
#include <string>

namespace {

constexpr size_t kValueBytes = 1 << 20;  // large enough for a kill to land inside the write

class SettingsWriterTest : public LyrTest {
 protected:
  // A child that writes versions 'a' and 'b' of the value in turn until it is killed; killed
  // after a random moment once it has written at least once.
  int KillWritersAtRandom(const std::function<void(char)>& write,
                          const std::function<std::string()>& read,
                          const std::function<std::string()>& readRaw) {
    std::mt19937 random(20261206);
    int torn = 0;
    journals = 0;
    for (int round = 0; round < 40; ++round) {
      SCOPED_TRACE("round " + std::to_string(round));
      int ready[2];
      if (::pipe(ready) != 0) return -1;
      pid_t pid = ::fork();
      if (pid == 0) {
        ::close(ready[0]);
        write('a');
        if (::write(ready[1], "r", 1) != 1) ::_exit(2);
        for (unsigned i = 1;; ++i) write(i % 2 ? 'b' : 'a');
      }
      ::close(ready[1]);
      char go;
      EXPECT_EQ(::read(ready[0], &go, 1), 1);
      ::close(ready[0]);
      ::usleep(std::uniform_int_distribution<int>(0, 40000)(random));
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);

      const std::string value = read();
      EXPECT_EQ(value.size(), kValueBytes);
      EXPECT_TRUE(value == std::string(kValueBytes, value.empty() ? 'a' : value[0]))
          << "a mixture of versions";
      const std::string raw = readRaw();
      if (raw.find(std::string(64, 'a') + std::string(64, 'b')) != std::string::npos ||
          raw.find(std::string(64, 'b') + std::string(64, 'a')) != std::string::npos)
        ++torn;
      journals += PendingJournals();
    }
    // The next writer completes what a killed one left, so the file itself is whole again.
    write('c');
    EXPECT_TRUE(read() == std::string(kValueBytes, 'c'));
    EXPECT_CONTAINS(readRaw(), std::string(kValueBytes, 'c'));
    EXPECT_EQ(PendingJournals(), 0);
    return torn;
  }

  // Rewrites left unfinished by a killed writer, as their journals in the installation's folder.
  int PendingJournals() {
    int count = 0;
    if (DIR* dir = ::opendir((Prefix() + "/.lyrwin-journal").c_str())) {
      while (struct dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        count += name[0] != '.' && name.find(".tmp") == std::string::npos;
      }
      ::closedir(dir);
    }
    return count;
  }

  int journals = 0;
};

TEST_F(SettingsWriterTest, AnIniWriterKilledMidRewriteLeavesOneWholeVersion) {
  WriteHostFile(DriveC() + "/big.ini", "[Main]\r\nStart=1\r\nV=\r\nEnd=1\r\n");
  auto write = [](char version) {
    WritePrivateProfileStringA("Main", "V", std::string(kValueBytes, version).c_str(),
                               "C:\\big.ini");
  };
  auto read = [] {
    std::string value(kValueBytes + 16, '\0');
    DWORD n = GetPrivateProfileStringA("Main", "V", "", &value[0], static_cast<DWORD>(value.size()),
                                       "C:\\big.ini");
    value.resize(n);
    char end[4];
    EXPECT_EQ(GetPrivateProfileStringA("Main", "End", "", end, sizeof end, "C:\\big.ini"), 1u);
    return value;
  };
  int torn = KillWritersAtRandom(write, read, [&] { return ReadHostFile(DriveC() + "/big.ini"); });
  std::printf("INI: 40 writers killed; %d left a rewrite unfinished, %d a torn file\n", journals,
              torn);
}

TEST_F(SettingsWriterTest, ARegistryWriterKilledMidRewriteLeavesOneWholeVersion) {
  auto write = [](char version) {
    HKEY key;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, "Software\\Stress", &key) != ERROR_SUCCESS) return;
    std::string value(kValueBytes, version);
    RegSetValueExA(key, "V", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
  };
  auto read = [] {
    HKEY key;
    std::string value(kValueBytes + 16, '\0');
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Stress", 0, KEY_READ, &key) != ERROR_SUCCESS)
      return std::string();
    DWORD size = static_cast<DWORD>(value.size());
    DWORD type = 0;
    LSTATUS status =
        RegQueryValueExA(key, "V", nullptr, &type, reinterpret_cast<BYTE*>(&value[0]), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || size == 0) return std::string();
    value.resize(size - 1);
    return value;
  };
  int torn =
      KillWritersAtRandom(write, read, [&] { return ReadHostFile(Prefix() + "/system.reg"); });
  std::printf("registry: 40 writers killed; %d left a rewrite unfinished, %d a torn file\n",
              journals, torn);
}

}  // namespace

#endif  // LYR_POSIX_TESTS
