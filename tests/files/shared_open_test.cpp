// Method files, the lock list and opens of shared files.
#include "lyr_test.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

class SharedOpenTest : public LyrTest {
 protected:
  void SetUp() override {
    LyrTest::SetUp();
    InitSystemGlobalParameters();  // empties the lock list
  }
};

int MethodCheck(const char* name) {
  std::string copy = name;
  return IsitMeth(&copy[0]);
}

TEST_F(SharedOpenTest, MethodFilesAreKnownByTheirExtension) {
  EXPECT_EQ(MethodCheck("RUN.M3"), 1);
  EXPECT_EQ(MethodCheck("c:\\x\\ab._XM"), 1);
  EXPECT_EQ(MethodCheck("ab.bem"), 1);
  EXPECT_EQ(MethodCheck("ab.met"), 0);
  EXPECT_EQ(MethodCheck("ab._bam"), 0);
  EXPECT_EQ(MethodCheck("ab.m30"), 0);
  EXPECT_EQ(MethodCheck("noextension"), 0);
  EXPECT_EQ(MethodCheck(std::string(10000, 'm').c_str()), 0);
}

TEST_F(SharedOpenTest, LockListFillsTheFirstFreeSlotAndComparesWithoutCase) {
  char a[] = "A._xm", b[] = "B._xm", c[] = "C._xm", d[] = "D._xm";
  char aLower[] = "a._XM", bLower[] = "b._xm", other[] = "other._xm", notMethod[] = "B.txt";
  AddFileToLock(a);
  AddFileToLock(b);
  AddFileToLock(c);
  RemoveFileFromListe(aLower);
  AddFileToLock(d);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(IsFileLocked(bLower), 1);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
  start = std::chrono::steady_clock::now();
  EXPECT_EQ(IsFileLocked(other), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
  EXPECT_EQ(IsFileLocked(aLower), 0);
  AddFileToLock(notMethod);  // not a method file: the table does not change
  EXPECT_EQ(IsFileLocked(notMethod), 0);
}

TEST_F(SharedOpenTest, EightThreadsTakeOneMethodInTurn) {
  char name[] = "C:\\shared._am";
  std::atomic<int> inside{0};
  std::atomic<int> overlaps{0};
  std::atomic<int> done{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([&] {
      char mine[sizeof name];
      std::strcpy(mine, name);
      AddFileToLock(mine);
      if (inside.fetch_add(1) != 0) overlaps.fetch_add(1);
      Sleep(20);
      inside.fetch_sub(1);
      RemoveFileFromListe(mine);
      done.fetch_add(1);
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(done.load(), 8);
  EXPECT_EQ(overlaps.load(), 0);
  EXPECT_EQ(IsFileLocked(name), 0);
}

TEST_F(SharedOpenTest, DeleteMethRemovesEveryCompanionThatExists) {
  ASSERT_TRUE(CreateDirectoryA("C:\\m", nullptr));
  WriteHostFile(DriveC() + "/m/abc.met", "");
  WriteHostFile(DriveC() + "/m/abcB._tm", "");
  WriteHostFile(DriveC() + "/m/abcD.bem", "");
  WriteHostFile(DriveC() + "/m/abc.txt", "");
  ASSERT_TRUE(SetFileAttributesA("C:\\m\\abcB._tm", FILE_ATTRIBUTE_READONLY));
  DeleteMeth("c:\\m\\abc.met");
  EXPECT_FALSE(HostFileExists(DriveC() + "/m/abc.met"));
  EXPECT_FALSE(HostFileExists(DriveC() + "/m/abcB._tm"));
  EXPECT_FALSE(HostFileExists(DriveC() + "/m/abcD.bem"));
  EXPECT_TRUE(HostFileExists(DriveC() + "/m/abc.txt"));
  // A dot in a folder's name is not an extension.
  ASSERT_TRUE(CreateDirectoryA("C:\\v.2", nullptr));
  WriteHostFile(DriveC() + "/v.2/abc._xm", "");
  DeleteMeth("C:\\v.2\\abc");
  EXPECT_FALSE(HostFileExists(DriveC() + "/v.2/abc._xm"));
  DeleteMeth(CString(std::string(10000, 'q').c_str()));
}

TEST_F(SharedOpenTest, OpensCreateMissingFilesAndProbeHeldOnes) {
  CFile file;
  char method[] = "C:\\new._xm";
  EXPECT_EQ(LyrOpenFile(&file, method, CFile::modeCreate | CFile::modeWrite), 0);
  EXPECT_NE(file.m_hFile, CFile::hFileNull);
  EXPECT_EQ(Is_FileOpen(method), 1);  // held by us
  if (kUiSeesBeepsAndForeground) {
    EXPECT_EQ(ui_.beeps.size(), 1u);
  }
  file.Close();
  EXPECT_EQ(Is_FileOpen(method), 0);
  char missing[] = "C:\\missing.txt";
  EXPECT_EQ(Is_FileOpen(missing), 0);
  if (kUiSeesBeepsAndForeground) {
    EXPECT_EQ(ui_.beeps.size(), 1u);
  }
  std::string huge(10000, 'h');
  EXPECT_EQ(LyrOpenFile(&file, &huge[0], CFile::modeRead), 1);
}

}  // namespace
