// Two parties creating one new file under names that differ only in case, at the same moment:
// on Windows that is one file, so every race must end with one file on disk holding everything
// both wrote.
#include "lyr_test.h"

#if LYR_POSIX_TESTS  // forked writers

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

class FileCreationRaceTest : public LyrTest {
 protected:
  // Runs both calls at once, in two threads released together.
  template <class A, class B>
  static void Race(A a, B b) {
    std::atomic<int> ready{0};
    auto start = [&ready] {
      ready.fetch_add(1);
      while (ready.load() < 2) {
      }
    };
    std::thread first([&] {
      start();
      a();
    });
    std::thread second([&] {
      start();
      b();
    });
    first.join();
    second.join();
  }
};

TEST_F(FileCreationRaceTest, ThreadsCreatingOneNameInTwoCasesMakeOneFile) {
  for (int round = 0; round < 200; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const std::string folder = "C:\\r" + std::to_string(round);
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    const DWORD disposition = round % 2 ? CREATE_NEW : OPEN_ALWAYS;
    HANDLE handles[2] = {INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE};
    auto open = [&](int which, const char* name) {
      handles[which] =
          CreateFileA((folder + "\\" + name).c_str(), GENERIC_READ | GENERIC_WRITE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition, 0, nullptr);
    };
    Race([&] { open(0, "set.ini"); }, [&] { open(1, "SET.INI"); });
    const int opened = (handles[0] != INVALID_HANDLE_VALUE) + (handles[1] != INVALID_HANDLE_VALUE);
    EXPECT_EQ(opened, disposition == CREATE_NEW ? 1 : 2);
    for (HANDLE h : handles) {
      if (h == INVALID_HANDLE_VALUE) continue;
      DWORD n = 0;
      EXPECT_TRUE(WriteFile(h, "x", 1, &n, nullptr));
      CloseHandle(h);
    }
    const std::vector<std::string> names = HostFolderNames(DriveC() + "/r" + std::to_string(round));
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(ReadHostFile(DriveC() + "/r" + std::to_string(round) + "/" + names[0]).size(), 1u);
  }
}

TEST_F(FileCreationRaceTest, ProcessesWritingANewIniInTwoCasesKeepBothKeys) {
  for (int round = 0; round < 200; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const std::string folder = "C:\\p" + std::to_string(round);
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    int gate[2];
    ASSERT_EQ(::pipe(gate), 0);
    std::vector<pid_t> children;
    for (const char* name : {"set.ini", "SET.INI"}) {
      pid_t pid = ::fork();
      if (pid == 0) {
        char go;
        ::close(gate[1]);
        if (::read(gate[0], &go, 1) != 0) ::_exit(3);  // released when the pipe closes
        BOOL ok = WritePrivateProfileStringA("Keys", name, "1", (folder + "\\" + name).c_str());
        ::_exit(ok ? 0 : 1);
      }
      children.push_back(pid);
    }
    ::close(gate[0]);
    ::close(gate[1]);
    for (pid_t pid : children) {
      int status = 0;
      ::waitpid(pid, &status, 0);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    ASSERT_EQ(HostFolderNames(DriveC() + "/p" + std::to_string(round)).size(), 1u);
    char value[8];
    for (const char* name : {"set.ini", "SET.INI"}) {
      EXPECT_EQ(GetPrivateProfileStringA("Keys", name, "", value, sizeof value,
                                         (folder + "\\set.ini").c_str()),
                1u)
          << name;
    }
  }
}

}  // namespace

#endif  // LYR_POSIX_TESTS
