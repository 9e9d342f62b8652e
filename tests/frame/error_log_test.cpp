// The suite's error log and the capped, time-stamped named logs.
#include "lyr_test.h"

#include <cstring>
#include <ctime>

namespace {

class ErrorLogTest : public LyrTest {
 protected:
  // The line an entry written during second `t` carries.
  static std::string Line(time_t t, const char* text) {
    std::tm local = LocalTime(t);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%d-%d-%d %d:%d:%d", local.tm_mday, local.tm_mon + 1,
                  local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec);
    return std::string(stamp) + ": " + text + "\n";
  }

  // Writes one entry into the log at `path` (`hostPath` on the host) and returns the line it
  // should have written: stamped with a second from the call's start to its end, the one the log
  // ends with (a call may run into the next second; writing again would add a second line).
  std::string WriteEntry(char* path, const std::string& hostPath, char* text, int* result) {
    const time_t before = time(nullptr);
    *result = WriteToLog(path, text);
    const time_t after = time(nullptr);
    const std::string written = ReadHostFile(hostPath);
    for (time_t t = after; t > before; --t) {
      const std::string line = Line(t, text);
      if (written.size() >= line.size() &&
          written.compare(written.size() - line.size(), line.size(), line) == 0)
        return line;
    }
    return Line(before, text);
  }
};

TEST_F(ErrorLogTest, NamedLogGetsTimeStampedLinesAndStartsAfreshOverItsCap) {
  char path[] = "C:\\named.log";
  char text[] = "disk full";
  const std::string host = DriveC() + "/named.log";
  int result = -2;
  std::string line = WriteEntry(path, host, text, &result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ReadHostFile(host), line);

  std::string full(500000, 'x');
  WriteHostFile(host, full);
  line = WriteEntry(path, host, text, &result);
  EXPECT_EQ(ReadHostFile(host), full + line);  // exactly at the cap: kept

  WriteHostFile(host, full + "y");
  line = WriteEntry(path, host, text, &result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ReadHostFile(host), line);

  // A read-only log over the cap is deleted and started afresh too.
  WriteHostFile(host, full + "y");
  ASSERT_TRUE(SetFileAttributesA("C:\\named.log", FILE_ATTRIBUTE_READONLY));
  line = WriteEntry(path, host, text, &result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ReadHostFile(host), line);
}

TEST_F(ErrorLogTest, LongTextsAreCutAndUnopenableLogsReportFailure) {
  char path[] = "C:\\long.log";
  std::string longText(10000, 'z');
  EXPECT_EQ(WriteToLog(path, &longText[0]), 0);
  std::string written = ReadHostFile(DriveC() + "/long.log");
  EXPECT_EQ(written.size(), 511u);  // 512 bytes with the terminator
  EXPECT_EQ(written.back(), '\n');

  char missingFolder[] = "C:\\no\\such.log";
  char text[] = "lost";
  EXPECT_EQ(WriteToLog(missingFolder, text), -1);
  HelperProcess holder(HelperPath("hold_file"),
                       {"C:\\long.log", std::to_string(GENERIC_READ), "0", "30"});
  ASSERT_EQ(holder.FirstLine(), "ready");
  EXPECT_EQ(WriteToLog(path, text), -1);
}

TEST_F(ErrorLogTest, ErrorLogAppendsTextsAsGivenInTheWorkingDirectory) {
  InstallSuite("C:\\Tessera");
  WriteHostFile(DriveC() + "/Tessera/sylwin.ini",
                "[WORKING PATH]\r\nWorkingDirectory=C:\\Work\r\n");
  ASSERT_TRUE(CreateDirectoryA("C:\\Work", nullptr));
  char a[] = "A";
  char b[] = "B";
  SendToErrorLog(a);
  SendToErrorLog(b);
  EXPECT_EQ(ReadHostFile(DriveC() + "/Work/error.log"), "AB");
}

TEST_F(ErrorLogTest, ErrorLogFallsBackToTheDefaultFolder) {
  ASSERT_TRUE(CreateDirectoryA("C:\\tessera", nullptr));
  char text[] = "no installation";
  SendToErrorLog(text);
  EXPECT_EQ(ReadHostFile(DriveC() + "/tessera/error.log"), "no installation");
}

TEST_F(ErrorLogTest, LibraryDeleteRemovesReadOnlyFilesAndIgnoresMissingOnes) {
  WriteHostFile(DriveC() + "/ro.dat", "x");
  ASSERT_TRUE(SetFileAttributesA("C:\\ro.dat", FILE_ATTRIBUTE_READONLY));
  char path[] = "C:\\ro.dat";
  DeleteFileA(path);
  EXPECT_FALSE(HostFileExists(DriveC() + "/ro.dat"));
  DeleteFileA(path);  // nothing there: nothing happens
  char longPath[10001];
  std::memset(longPath, 'p', 10000);
  longPath[10000] = '\0';
  DeleteFileA(longPath);
  EXPECT_EQ(WriteToLog(longPath, path), -1);
}

}  // namespace
