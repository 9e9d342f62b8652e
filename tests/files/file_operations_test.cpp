// Whole-file operations: existence, copies, deletions, numbered names, longest names.
#include "lyr_test.h"

#include <cstring>
#include <string>

namespace {

class FileOperationsTest : public LyrTest {};

TEST_F(FileOperationsTest, ExistenceAndItsMessages) {
  WriteHostFile(DriveC() + "/x.txt", "x");
  EXPECT_EQ(fExists("C:\\X.TXT"), 1);
  EXPECT_EQ(fExists("C:\\windows"), 1);  // a directory exists too
  EXPECT_EQ(fExists("C:\\none.txt"), 0);
  EXPECT_EQ(fExists("Q:\\none.txt"), 0);
  EXPECT_EQ(fExists(std::string(10000, 'a').c_str()), 0);

  fExistsErrorMessage("C:\\m.met", "Method");
  fExistsErrorMessage("C:\\m.met");
  ASSERT_EQ(ui_.messages.size(), 2u);
  EXPECT_EQ(ui_.messages[0].text, "The Method C:\\m.met does not exist.");
  EXPECT_EQ(ui_.messages[0].type, static_cast<UINT>(MB_ICONEXCLAMATION));
  EXPECT_EQ(ui_.messages[0].helpId, 1032u);
  EXPECT_EQ(ui_.messages[1].text, "The file C:\\m.met does not exist.");
  EXPECT_EQ(ui_.messages[1].helpId, 1033u);
  if (kUiSeesBeepsAndForeground) {
    EXPECT_EQ(ui_.beeps.size(), 2u);
  }
}

TEST_F(FileOperationsTest, CopiesAreByteIdentical) {
  std::string big(200000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + i / 300);
  WriteHostFile(DriveC() + "/big.bin", big);
  WriteHostFile(DriveC() + "/empty.bin", "");
  char big1[] = "C:\\big.bin", big2[] = "C:\\big2.bin";
  char empty1[] = "C:\\empty.bin", empty2[] = "C:\\empty2.bin";
  EXPECT_EQ(CopyFileA(big2, big1), 1);
  EXPECT_EQ(ReadHostFile(DriveC() + "/big2.bin"), big);
  EXPECT_EQ(CopyFileA(empty2, empty1), 1);
  EXPECT_TRUE(HostFileExists(DriveC() + "/empty2.bin"));
  EXPECT_EQ(ReadHostFile(DriveC() + "/empty2.bin"), "");

  char missing[] = "C:\\missing.bin", target[] = "C:\\target.bin";
  EXPECT_EQ(CopyFileA(target, missing), 1);
  EXPECT_FALSE(HostFileExists(DriveC() + "/target.bin"));
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(FileOperationsTest, CopyFailuresAreReportedWith1038) {
  WriteHostFile(DriveC() + "/src.bin", "data");
  char source[] = "C:\\src.bin", held[] = "C:\\held.bin";
  HANDLE holder = CreateFileA(held, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  EXPECT_EQ(CopyFileA(held, source), 0);
  CloseHandle(holder);
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, "Could not copy C:\\src.bin to C:\\held.bin.");
  EXPECT_EQ(ui_.messages[0].helpId, 1038u);
  if (kUiSeesBeepsAndForeground) {
    EXPECT_EQ(ui_.beeps.size(), 1u);
  }

  char noFolder[] = "C:\\no\\such\\dest.bin";
  EXPECT_EQ(CopyFileA(noFolder, source), 0);
  EXPECT_EQ(ui_.messages.size(), 2u);
}

#if LYR_POSIX_TESTS  // the stand-in fails allocations on request
TEST_F(FileOperationsTest, CopyBufferShrinksWhenMemoryIsShort) {
  InstallSuite("C:\\Tessera");
  WriteHostFile(DriveC() + "/src.bin", std::string(100000, 's'));
  char source[] = "C:\\src.bin", dest[] = "C:\\dest.bin";
  LyrFailGlobalAllocs(3);  // 65535, 32767 and 16383 bytes fail; 8191 bytes will do
  EXPECT_EQ(CopyFileA(dest, source), 1);
  EXPECT_EQ(ReadHostFile(DriveC() + "/dest.bin"), std::string(100000, 's'));
  EXPECT_CONTAINS(ReadHostFile(DriveC() + "/Tessera/sylwin.ini"), "Heapfragmented=1");

  LyrFailGlobalAllocs(100);  // no buffer at all
  EXPECT_EQ(CopyFileA(dest, source), 0);
  LyrFailGlobalAllocs(0);
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].helpId, 1038u);
}
#endif

TEST_F(FileOperationsTest, NumberedNamesAndLongestNames) {
  ASSERT_TRUE(CreateDirectoryA("C:\\data", nullptr));
  WriteHostFile(DriveC() + "/data/0._cr", "");
  WriteHostFile(DriveC() + "/data/1._cr", "");
  char directory[] = "C:\\data";
  EXPECT_STREQ(GetUniqueFileName(1, directory), "C:\\data\\2._cr");
  char slashed[] = "C:\\data\\";
  char ext[] = "cr";
  EXPECT_STREQ(GetUniqueFileName(ext, slashed), "C:\\data\\0.cr");
  char tooLong[] = ".toolong";
  EXPECT_STREQ(GetUniqueFileName(tooLong, directory), "");
  std::string hugeDirectory(10000, 'd');
  EXPECT_STREQ(GetUniqueFileName(1, &hugeDirectory[0]), "");
  EXPECT_STREQ(GetUniqueFileName(ext, &hugeDirectory[0]), "");

  WriteHostFile(DriveC() + "/data/run1._cr", "");
  WriteHostFile(DriveC() + "/data/longrun._cr", "");
  char dotted[] = "._cr", bare[] = "_cr", none[] = "";
  EXPECT_EQ(GetMaxLengthFileName(dotted, directory), 11);
  EXPECT_EQ(GetMaxLengthFileName(bare, directory), 11);
  EXPECT_EQ(GetMaxLengthFileName(none, directory), -1);
  ASSERT_TRUE(CreateDirectoryA("C:\\emptydir", nullptr));
  char emptyDirectory[] = "C:\\emptydir";
  EXPECT_EQ(GetMaxLengthFileName(dotted, emptyDirectory), -1);
  EXPECT_EQ(GetMaxLengthFileName(dotted, &hugeDirectory[0]), -1);
}

}  // namespace
