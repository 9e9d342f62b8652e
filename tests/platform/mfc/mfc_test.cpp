// The MFC subset: files with MFC's flags and exceptions, text files, strings and messages.
#include "lyr_test.h"

#include <cstring>

namespace {

class MfcTest : public LyrTest {};

TEST_F(MfcTest, OpenFlagsCreateTruncateAndShare) {
  WriteHostFile(DriveC() + "/log.txt", "old");
  {
    CFile keep;
    ASSERT_TRUE(
        keep.Open("C:\\log.txt", CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite));
    EXPECT_EQ(keep.GetLength(), 3u);
    keep.SeekToEnd();
    keep.Write("+new", 4);

    // shareCompat is exclusive: a second open fails with a sharing violation.
    CFile second;
    CFileException error;
    EXPECT_FALSE(second.Open("C:\\log.txt", CFile::modeRead | CFile::shareDenyNone, &error));
    EXPECT_EQ(error.m_cause, CFileException::sharingViolation);
    EXPECT_EQ(error.m_lOsError, static_cast<LONG>(ERROR_SHARING_VIOLATION));
  }  // closed by the destructor
  EXPECT_EQ(ReadHostFile(DriveC() + "/log.txt"), "old+new");
  {
    CFile empty("C:\\log.txt", CFile::modeCreate | CFile::modeWrite);
    EXPECT_EQ(empty.GetLength(), 0u);
    EXPECT_EQ(empty.GetFilePath(), "C:\\log.txt");
    EXPECT_EQ(empty.GetFileName(), "log.txt");
  }
  EXPECT_EQ(FileExceptionCause([] { CFile missing("C:\\missing\\x.txt", CFile::modeRead); }),
            CFileException::badPath);
}

TEST_F(MfcTest, StatusOfFilesAndFolders) {
  WriteHostFile(DriveC() + "/s.txt", "12345");
  CFileStatus status;
  ASSERT_TRUE(CFile::GetStatus("c:\\S.TXT", status));
  EXPECT_EQ(status.m_size, 5u);
  EXPECT_EQ(std::string(status.m_szFullName).substr(1), ":\\S.TXT");
  EXPECT_EQ(status.m_attribute & CFile::readOnly, 0);
  EXPECT_GT(status.m_mtime.GetTime(), 0);
  EXPECT_FALSE(CFile::GetStatus("C:\\nothing.txt", status));
  ASSERT_TRUE(CFile::GetStatus("C:\\windows", status));
  EXPECT_NE(status.m_attribute & CFile::directory, 0);
}

// A sparse file of 5 GiB: positions and lengths past both 2 and 4 GiB come back whole.
TEST_F(MfcTest, PositionsAndLengthsPastFourGigabytes) {
  const ULONGLONG big = 5ull << 30;
  {
    CFile file("C:\\big.bin", CFile::modeCreate | CFile::modeReadWrite);
    file.SetLength(big);
    EXPECT_EQ(file.GetLength(), big);
    EXPECT_EQ(file.Seek(-2, CFile::end), big - 2);
    file.Write("ab", 2);
    EXPECT_EQ(file.GetPosition(), big);
    EXPECT_EQ(file.Seek(static_cast<LONGLONG>(big) - 1, CFile::begin), big - 1);
    char c = 0;
    EXPECT_EQ(file.Read(&c, 1), 1u);
    EXPECT_EQ(c, 'b');
    CFileStatus status;
    ASSERT_TRUE(file.GetStatus(status));
    EXPECT_EQ(status.m_size, big);

    LONG osError = 0;
    EXPECT_TRUE(ThrowsMfc<CFileException>(
        [&] { file.Seek(-static_cast<LONGLONG>(big) - 1, CFile::current); },
        [&](CFileException& e) { osError = e.m_lOsError; }));
    EXPECT_EQ(osError, static_cast<LONG>(ERROR_NEGATIVE_SEEK));
    file.SetLength(3ull << 30);
    EXPECT_EQ(file.GetLength(), 3ull << 30);
  }
  CFileStatus status;
  ASSERT_TRUE(CFile::GetStatus("C:\\big.bin", status));
  EXPECT_EQ(status.m_size, 3ull << 30);
}

// The 32-bit SetFilePointer refuses what it cannot report instead of wrapping, as documented.
TEST_F(MfcTest, TheThirtyTwoBitFilePointerRefusesWhatItCannotReport) {
  SKIP_UNDER_WINE("Wine's SetFilePointer without a high part returns the low 32 bits");
  const ULONGLONG big = 5ull << 30;
  CFile file("C:\\big.bin", CFile::modeCreate | CFile::modeReadWrite);
  file.SetLength(big);
  file.SeekToEnd();
  EXPECT_FAILS_AS(SetFilePointer(file.m_hFile, 0, nullptr, FILE_END), INVALID_SET_FILE_POINTER,
                  ERROR_INVALID_PARAMETER);
  LONG high = 0x7FFFFFFF;  // 5 GiB plus nearly 2^63: the 64-bit sum overflows
  EXPECT_FAILS_AS(SetFilePointer(file.m_hFile, 0, &high, FILE_END), INVALID_SET_FILE_POINTER,
                  ERROR_NEGATIVE_SEEK);
  EXPECT_EQ(file.GetPosition(), big);  // a refused move moves nothing
}

#if LYR_POSIX_TESTS  // a resource limit stands for the full disk
TEST_F(MfcTest, ShortWriteOnAFullDiskThrowsDiskFull) {
  CFile file("C:\\big.bin", CFile::modeCreate | CFile::modeWrite);
  std::string data(4000, 'x');
  ScopedFileSizeLimit small(1000);
  EXPECT_EQ(FileExceptionCause([&] { file.Write(data.data(), static_cast<UINT>(data.size())); }),
            CFileException::diskFull);
}
#endif

TEST_F(MfcTest, TextFilesTranslateLineEnds) {
  {
    CStdioFile out("C:\\t.txt", CFile::modeCreate | CFile::modeWrite | CFile::typeText);
    out.WriteString("one\ntwo\n");
    out.WriteString("three");
  }
  EXPECT_EQ(ReadHostFile(DriveC() + "/t.txt"), "one\r\ntwo\r\nthree");
  WriteHostFile(DriveC() + "/t.txt", "one\r\nlone\rcr\r\nlast\x1Ahidden");
  CStdioFile in("C:\\t.txt", CFile::modeRead);
  CString line;
  ASSERT_TRUE(in.ReadString(line));
  EXPECT_EQ(line, "one");
  EXPECT_EQ(in.GetPosition(), 5u);
  ASSERT_TRUE(in.ReadString(line));
  EXPECT_EQ(line, "lone\rcr");
  char buffer[4];
  EXPECT_STREQ(in.ReadString(buffer, sizeof buffer), "las");
  EXPECT_STREQ(in.ReadString(buffer, sizeof buffer), "t");
  EXPECT_FALSE(in.ReadString(line));  // ^Z ends the text
  in.SeekToBegin();
  ASSERT_TRUE(in.ReadString(line));
  EXPECT_EQ(line, "one");
}

TEST_F(MfcTest, BufferedTextWritesReachTheFileOnEveryWayOut) {
  {
    CStdioFile out("C:\\b.txt", CFile::modeCreate | CFile::modeReadWrite | CFile::typeText);
    out.WriteString("ab\n");
    EXPECT_EQ(out.GetPosition(), 4u);
    EXPECT_EQ(out.GetLength(), 4u);
    EXPECT_EQ(out.SeekToEnd(), 4u);  // appending: nothing moves
    out.WriteString("cd");
    out.SeekToBegin();  // a seek elsewhere writes the pending bytes first
    CString line;
    ASSERT_TRUE(out.ReadString(line));
    EXPECT_EQ(line, "ab");
    out.SeekToEnd();
    out.WriteString("\nef");
  }  // the destructor writes what is pending
  EXPECT_EQ(ReadHostFile(DriveC() + "/b.txt"), "ab\r\ncd\r\nef");
  CStdioFile aborted("C:\\c.txt", CFile::modeCreate | CFile::modeWrite);
  aborted.WriteString("kept");
  aborted.Abort();
  EXPECT_EQ(ReadHostFile(DriveC() + "/c.txt"), "kept");
}

TEST_F(MfcTest, StringsFormatAndCompareAsOnWindows) {
  CString s;
  s.Format("%ld|%5.2f|%s", static_cast<LONG>(-5), 3.14159, "x");
  EXPECT_EQ(s, "-5| 3.14|x");
  s = "  Hello World  ";
  s.TrimLeft();
  s.TrimRight();
  EXPECT_EQ(s.GetLength(), 11);
  EXPECT_EQ(s.Mid(6), "World");
  EXPECT_EQ(s.Left(100), "Hello World");
  EXPECT_EQ(s.ReverseFind('o'), 7);
  EXPECT_EQ(s.Find("World"), 6);
  EXPECT_EQ(s.CompareNoCase("hello world"), 0);
  // Compare and CompareNoCase go by character codes; Collate by the language's rules.
  CString coop("co-op");
  EXPECT_LT(coop.Compare("con"), 0);
  EXPECT_LT(CString("Co-Op").CompareNoCase("con"), 0);
  EXPECT_GT(coop.Collate("con"), 0);
  EXPECT_NE(CString("\xE9t\xE9").CompareNoCase("\xC9T\xC9"), 0);  // only A-Z fold
  EXPECT_GT(CString("\xE9").Compare("z"), 0);                     // codes above 127 sort last
  EXPECT_FALSE(CString("strasse") ==
               "stra\xDF"
               "e");
  s.MakeUpper();
  EXPECT_EQ(s, "HELLO WORLD");
  char* buffer = s.GetBuffer(50);
  std::strcpy(buffer, "short");
  s.ReleaseBuffer();
  EXPECT_EQ(s.GetLength(), 5);
}

TEST_F(MfcTest, ResourceStringsFormatAndShow) {
  CString text;
  AfxFormatString2(text, 1038, "A", "B");
  EXPECT_EQ(text, "Could not copy A to B.");
  AfxFormatString1(text, 1038, "A");
  EXPECT_EQ(text, "Could not copy A to ?.");
  EXPECT_FALSE(text.LoadString(4242));
  EXPECT_TRUE(text.IsEmpty());

  ui_.answers.push_back(IDNO);
  EXPECT_EQ(AfxMessageBox(1033, MB_YESNO), IDNO);
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, "The file %1 does not exist.");
  EXPECT_EQ(ui_.messages[0].helpId, 1033u);  // -1 stands for the string's own ID
  EXPECT_EQ(ui_.messages[0].type, static_cast<UINT>(MB_YESNO));
}

TEST_F(MfcTest, LibraryIsRegisteredAsExtensionModule) {
  int modules = 0;
  for (CDynLinkLibrary* library = AfxGetModuleState()->m_libraryList; library;
       library = library->m_pNextDLL) {
    EXPECT_NE(library->m_hModule, nullptr);
    ++modules;
  }
  EXPECT_EQ(modules, 1);
}

}  // namespace
