// Names looked for in vain are remembered while their folder stays unchanged: whatever another
// program then makes, renames or removes there counts from the next call. The waits let the
// folder's last change settle, so that the misses are remembered.
#include "lyr_test.h"

#if LYR_POSIX_TESTS  // another program's changes, made on the host

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

namespace {

class FolderLookupTest : public LyrTest {};

// A name looked for in vain is remembered while its folder stays unchanged; whatever another
// program then makes, renames or removes there counts from the next call.
TEST_F(FolderLookupTest, ANameFoundMissingIsFoundOnceAnotherProgramMakesIt) {
  ASSERT_TRUE(CreateDirectoryA("C:\\logs", nullptr));
  const std::string folder = DriveC() + "/logs";
  // A second after its last change the folder has settled, and a miss in it is remembered.
  auto settle = [] { std::this_thread::sleep_for(std::chrono::milliseconds(1100)); };
  settle();
  for (int i = 0; i < 2; ++i) {
    EXPECT_FAILS_AS(GetFileAttributesA("C:\\LOGS\\Backlog.DAT"), INVALID_FILE_ATTRIBUTES,
                    ERROR_FILE_NOT_FOUND);
  }
  WriteHostFile(folder + "/backlog.dat", "x");
  EXPECT_NE(GetFileAttributesA("C:\\LOGS\\Backlog.DAT"), INVALID_FILE_ATTRIBUTES);
  // Gone and back under another name, each seen at once, settled or not.
  ASSERT_EQ(::rename((folder + "/backlog.dat").c_str(), (folder + "/other.dat").c_str()), 0);
  settle();
  EXPECT_EQ(GetFileAttributesA("C:\\LOGS\\Backlog.DAT"), INVALID_FILE_ATTRIBUTES);
  ASSERT_EQ(::rename((folder + "/other.dat").c_str(), (folder + "/BACKLOG.dat").c_str()), 0);
  EXPECT_NE(GetFileAttributesA("C:\\LOGS\\Backlog.DAT"), INVALID_FILE_ATTRIBUTES);
  // A new folder in the old one's place is a folder of its own.
  ASSERT_EQ(::rename(folder.c_str(), (folder + ".old").c_str()), 0);
  ASSERT_EQ(::mkdir(folder.c_str(), 0777), 0);
  settle();
  EXPECT_EQ(GetFileAttributesA("C:\\LOGS\\Backlog.DAT"), INVALID_FILE_ATTRIBUTES);
  struct stat before;
  ASSERT_EQ(::stat(folder.c_str(), &before), 0);
  ASSERT_EQ(::rename((folder + ".old/BACKLOG.dat").c_str(), (folder + "/backlog.DAT").c_str()), 0);
  // Even with the folder's modification time put back as it was, its change time shows the entry.
  const struct timespec times[2] = {{0, UTIME_OMIT}, before.st_mtim};
  ASSERT_EQ(::utimensat(AT_FDCWD, folder.c_str(), times, 0), 0);
  EXPECT_NE(GetFileAttributesA("C:\\LOGS\\Backlog.DAT"), INVALID_FILE_ATTRIBUTES);
}

}  // namespace

#endif  // LYR_POSIX_TESTS
