// Reading the audit trail back: masks, the time window, export and extracts.
#include "lyr_test.h"

#include "audit_test_support.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

class LogReadingTest : public LyrTest {
 protected:
  void SetUp() override {
    LyrTest::SetUp();
    utc_.reset(new ScopedTimeZone("UTC0"));
  }
  void TearDown() override {
    utc_.reset();
    LyrTest::TearDown();
  }
  std::unique_ptr<ScopedTimeZone> utc_;
  void WriteLog(const std::vector<LOG_ENTRY_STRUCT>& entries, const std::string& tail = "") {
    std::string bytes;
    for (const LOG_ENTRY_STRUCT& e : entries) bytes += Bytes(&e, sizeof e);
    WriteHostFile(DriveC() + "/audit.log", bytes + tail);
  }
  // The times of every record the navigation gives.
  std::vector<int32_t> Times(CLyrLog& log) {
    std::vector<int32_t> times;
    for (int found = log.SetMask(); found; found = log.GetNext()) times.push_back(log.GetTime());
    return times;
  }
  char path_[16] = "C:\\audit.log";
};

TEST_F(LogReadingTest, WithoutMasksEveryRecordInOrderThenTheEnd) {
  WriteLog({MakeEntry(100, "a"), MakeEntry(200, "b"), MakeEntry(300, "c")}, "torn");
  CLyrLog log;
  log.SetFile(path_);
  EXPECT_EQ(Times(log), (std::vector<int32_t>{100, 200, 300}));
  EXPECT_EQ(log.GetNext(), 0);
  EXPECT_EQ(log.GetNext(), 0);
  CLyrLog missing;
  char none[] = "C:\\none.log";
  missing.SetFile(none);
  EXPECT_EQ(missing.SetMask(), 0);
  missing.SetBeginTimeMask(5);
  EXPECT_EQ(missing.SetMask(), 0);
  WriteHostFile(DriveC() + "/empty.log", "");
  char empty[] = "C:\\empty.log";
  missing.SetFile(empty);
  EXPECT_EQ(missing.SetMask(), 0);
}

TEST_F(LogReadingTest, TextMasksCompareWholeTextsWithoutCase) {
  WriteLog({MakeEntry(1, "admin", 'A'), MakeEntry(2, "admin2", 'A'), MakeEntry(3, "ADMIN", 'a')});
  CLyrLog log;
  log.SetFile(path_);
  log.SetUsrIdMask("ADMIN");
  EXPECT_EQ(Times(log), (std::vector<int32_t>{1, 3}));
  log.SetChannelMask('A');
  EXPECT_EQ(Times(log), (std::vector<int32_t>{1}));
  log.SetChannelMask(0);
  log.SetUsrIdMask("");
  log.SetSmpNameMask("nobody");  // the sample-name mask filters like the others
  EXPECT_TRUE(Times(log).empty());
  log.SetSmpNameMask("");
  EXPECT_EQ(Times(log).size(), 3u);

  // A mask set during a navigation ends it until the next SetMask.
  EXPECT_EQ(log.SetMask(), 1);
  log.SetAuthIdMask("");
  EXPECT_EQ(log.GetNext(), 0);
  EXPECT_EQ(log.SetMask(), 1);
  EXPECT_EQ(log.GetTime(), 1);

  // Each text mask compares its own field and no other.
  const std::pair<void (CLyrLog::*)(const char*), size_t> masks[] = {
      {&CLyrLog::SetUsrIdMask, offsetof(LOG_ENTRY_STRUCT, UsrId)},
      {&CLyrLog::SetAuthIdMask, offsetof(LOG_ENTRY_STRUCT, AuthId)},
      {&CLyrLog::SetSysIdMask, offsetof(LOG_ENTRY_STRUCT, SysId)},
      {&CLyrLog::SetPrjIdMask, offsetof(LOG_ENTRY_STRUCT, PrjId)},
      {&CLyrLog::SetSmpIdMask, offsetof(LOG_ENTRY_STRUCT, SmpId)},
      {&CLyrLog::SetSmpNameMask, offsetof(LOG_ENTRY_STRUCT, SmpName)},
      {&CLyrLog::SetARNameMask, offsetof(LOG_ENTRY_STRUCT, ARName)},
      {&CLyrLog::SetMethNameMask, offsetof(LOG_ENTRY_STRUCT, MethName)},
      {&CLyrLog::SetMethTypeMask, offsetof(LOG_ENTRY_STRUCT, MethType)}};
  for (const auto& [setMask, field] : masks) {
    SCOPED_TRACE(field);
    std::vector<LOG_ENTRY_STRUCT> entries = {MakeEntry(1, "u"), MakeEntry(2, "u")};
    std::strcpy(reinterpret_cast<char*>(&entries[0]) + field, "wanted");
    std::strcpy(reinterpret_cast<char*>(&entries[1]) + field, "other");
    WriteLog(entries);
    CLyrLog masked;
    masked.SetFile(path_);
    (masked.*setMask)("WANTED");
    EXPECT_EQ(Times(masked), std::vector<int32_t>{1});
  }
}

TEST_F(LogReadingTest, TheTimeWindowStartsWhereTheBeginTimeFallsAndStopsAfterTheEnd) {
  WriteLog({MakeEntry(100, "a"), MakeEntry(200, "b"), MakeEntry(300, "c"), MakeEntry(400, "d")});
  CLyrLog log;
  log.SetFile(path_);
  log.SetBeginTimeMask(250);
  EXPECT_EQ(Times(log), (std::vector<int32_t>{300, 400}));
  log.SetBeginTimeMask(200);
  EXPECT_EQ(Times(log), (std::vector<int32_t>{200, 300, 400}));
  log.SetBeginTimeMask(400);  // the last record's own time
  EXPECT_EQ(Times(log), (std::vector<int32_t>{400}));
  log.SetBeginTimeMask(450);
  EXPECT_TRUE(Times(log).empty());
  log.SetBeginTimeMask(50);
  log.SetEndTimeMask(80);
  EXPECT_EQ(log.SetMask(), 0);
  log.SetEndTimeMask(100);  // the first record's own time
  EXPECT_EQ(Times(log), (std::vector<int32_t>{100}));
  log.SetBeginTimeMask();
  log.SetEndTimeMask(250);
  EXPECT_EQ(Times(log), (std::vector<int32_t>{100, 200}));

  WriteLog({MakeEntry(100, "a"), MakeEntry(200, "b"), MakeEntry(200, "c"), MakeEntry(200, "d"),
            MakeEntry(300, "e")});
  CLyrLog runs;
  runs.SetFile(path_);
  runs.SetBeginTimeMask(200);
  ASSERT_EQ(runs.SetMask(), 1);
  EXPECT_STREQ(runs.GetUsrId(), "b");  // the first of the equal times

  WriteLog({MakeEntry(100, "a"), MakeEntry(200, "b"), MakeEntry(300, "c"), MakeEntry(150, "late")});
  CLyrLog window;
  window.SetFile(path_);
  window.SetEndTimeMask(250);
  EXPECT_EQ(Times(window), (std::vector<int32_t>{100, 200}));  // 150 after 300 is never read
}

// Across loads of 53 records: the matches come with their own texts, texts that fill their field
// end inside it, and once the scan ends the entry holds the last record read.
TEST_F(LogReadingTest, ScansAcrossLoadsGiveEachMatchWholeAndEndOnTheLastRecordRead) {
  std::vector<LOG_ENTRY_STRUCT> entries;
  for (int i = 0; i < 150; ++i) {
    const std::string user = i % 53 == 52 || i == 60 ? "match" : "user" + std::to_string(i);
    entries.push_back(MakeEntry(i, user.c_str(), 'A', ("message " + std::to_string(i)).c_str()));
  }
  std::memset(entries[70].UsrId, 'x', sizeof entries[70].UsrId);  // no terminator in the file
  WriteLog(entries);
  CLyrLog log;
  log.SetFile(path_);
  log.SetUsrIdMask("MATCH");
  std::vector<std::string> messages;
  for (int found = log.SetMask(); found; found = log.GetNext())
    messages.push_back(log.GetSysMess());
  EXPECT_EQ(messages, (std::vector<std::string>{"message 52", "message 60", "message 105"}));
  EXPECT_EQ(log.GetTime(), 149);
  EXPECT_STREQ(log.GetUsrId(), "user149");

  log.SetUsrIdMask("");
  log.SetEndTimeMask(120);
  log.SetBeginTimeMask(100);
  ASSERT_EQ(log.SetMask(), 1);
  while (log.GetNext()) {
  }
  EXPECT_EQ(log.GetTime(), 121);  // the first record past the end
  log.SetEndTimeMask();
  log.SetBeginTimeMask(70);
  ASSERT_EQ(log.SetMask(), 1);
  EXPECT_EQ(std::string(log.GetUsrId()), std::string(sizeof entries[70].UsrId - 1, 'x'));
}

TEST_F(LogReadingTest, TheBeginTimeIsFoundByBinarySearch) {
  std::vector<LOG_ENTRY_STRUCT> entries;
  for (int i = 0; i < 10000; ++i) entries.push_back(MakeEntry(i * 10, "u"));
  WriteLog(entries);
  CLyrLog log;
  log.SetFile(path_);
  log.SetBeginTimeMask(73335);
  unsigned long long before = FileReadCount();
  ASSERT_EQ(log.SetMask(), 1);
  unsigned long long reads = FileReadCount() - before;
  EXPECT_EQ(log.GetTime(), 73340);
  EXPECT_LE(reads, 20u);  // about log2(10000) probes and one load, not a scan
  int count = 1;
  while (log.GetNext()) ++count;
  EXPECT_EQ(count, 10000 - 7334);
}

TEST_F(LogReadingTest, ExportWritesOneLinePerRecord) {
  CLyrLog writer;             // a record with the default fields
  writer.SetTime(920815509);  // 7 March 1999 14:05:09 UTC
  writer.SetUsrMess("line one\r\nline two");
  writer.SetSysMess("sys\nmess");
  writer.SetFile(path_);
  writer.FixLogMess(0);

  CLyrLog log;
  log.SetFile(path_);
  char out[] = "C:\\export.txt";
  log.ExportASCIILog(out);
  std::string text = ReadHostFile(DriveC() + "/export.txt");
  EXPECT_EQ(text,
            "07/03/1999 | 14:05:09 | <none> | <none> | <none> | <none> | <none> | <none> | "
            "<none> |   | <none> | <none> | sys\r\nmess | line one  line two\r\n");

  // Nothing matches: an existing export file is left as it was.
  log.SetUsrIdMask("nobody");
  WriteHostFile(DriveC() + "/export.txt", "keep");
  log.ExportASCIILog(out);
  EXPECT_EQ(ReadHostFile(DriveC() + "/export.txt"), "keep");
}

// An export onto the log it reads would leave a few kilobytes of text in its place. It is
// refused however the name is spelt, and through links, before anything is written; an extract
// onto it is refused as onto any existing file.
TEST_F(LogReadingTest, AnExportOrExtractOntoItsOwnLogIsRefused) {
  std::vector<LOG_ENTRY_STRUCT> entries;
  for (int i = 0; i < 120; ++i) entries.push_back(MakeEntry(i, "x"));  // more than one load
  WriteLog(entries);
  const std::string before = ReadHostFile(DriveC() + "/audit.log");
  std::vector<std::string> spellings = {"C:\\audit.log", "c:\\AUDIT.LOG", "C:/audit.log",
                                        "audit.log", "C:\\x\\..\\.\\audit.log"};
  ASSERT_TRUE(MakeHardLink(DriveC() + "/audit.log", DriveC() + "/hard.log"));
  spellings.push_back("C:\\hard.log");
  if (MakeSymbolicLink(DriveC() + "/audit.log", DriveC() + "/sym.log"))
    spellings.push_back("C:\\sym.log");
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\"));
  CLyrLog log;
  log.SetFile(path_);
  for (std::string spelling : spellings) {
    SCOPED_TRACE(spelling);
    EXPECT_EQ(FileExceptionCause([&] { log.ExportASCIILog(&spelling[0]); }),
              CFileException::sharingViolation);
    EXPECT_EQ(log.CreateTempLog(&spelling[0]), 0u);
    ASSERT_TRUE(ReadHostFile(DriveC() + "/audit.log") == before);
  }
  char other[] = "C:\\other.txt";  // the same object exports elsewhere as before
  log.ExportASCIILog(other);
  const std::string text = ReadHostFile(DriveC() + "/other.txt");
  EXPECT_EQ(LineCount(text), 120);
}

// Each exported line's date and time are the texts of the record's time stamp, around both
// summer-time changes of central Europe too (an hour that repeats, one that does not exist).
TEST_F(LogReadingTest, ExportedDatesAndTimesAreTheTimeStampsTexts) {
  SKIP_ON_WINDOWS("Microsoft's C runtime reads a TZ zone's summer time on United States rules");
  ScopedTimeZone europe("CET-1CEST,M3.5.0,M10.5.0/3");
  std::vector<int32_t> moments;
  for (int32_t change : {1774746000, 1792890000})  // 29 March and 25 October 2026, 01:00 UTC
    for (int32_t dt = -3 * 3600; dt <= 3 * 3600; dt += 17 * 60 + 1) moments.push_back(change + dt);
  moments.push_back(0);
  std::vector<LOG_ENTRY_STRUCT> entries;
  for (int32_t t : moments) entries.push_back(MakeEntry(t, "u"));
  std::sort(entries.begin(), entries.end(),
            [](const LOG_ENTRY_STRUCT& a, const LOG_ENTRY_STRUCT& b) { return a.Time < b.Time; });
  WriteLog(entries);
  CLyrLog log;
  log.SetFile(path_);
  char out[] = "C:\\export.txt";
  log.ExportASCIILog(out);
  const std::string text = ReadHostFile(DriveC() + "/export.txt");
  size_t at = 0;
  for (const LOG_ENTRY_STRUCT& e : entries) {
    LYR_TIME_STRUCT stamp = {};
    SetTimeStruct(&stamp, e.Time);
    const std::string expected = std::string(GetShortDateString(&stamp)) + " | " +
                                 static_cast<const char*>(GetShortTimeString(&stamp)) + " | ";
    ASSERT_EQ(text.compare(at, expected.size(), expected), 0)
        << e.Time << ": " << text.substr(at, expected.size());
    at = text.find('\n', at) + 1;
  }
}

TEST_F(LogReadingTest, LongLinesAreCutAt1023Characters) {
  CLyrLog writer;
  writer.SetFile(path_);
  writer.SetARName(std::string(259, 'a').c_str());
  writer.SetMethName(std::string(259, 'm').c_str());
  writer.SetSysMess(std::string(255, 's').c_str());
  writer.SetUsrMess(std::string(258, 'u').c_str());
  writer.SetChannel('\0');
  writer.FixLogMess(0);
  CLyrLog log;
  log.SetFile(path_);
  char out[] = "C:\\long.txt";
  log.ExportASCIILog(out);
  EXPECT_EQ(ReadHostFile(DriveC() + "/long.txt").size(), 1023u);  // the line end went with the cut
}

TEST_F(LogReadingTest, ExtractsCopyTheMatchingRecords) {
  WriteLog({MakeEntry(1, "x"), MakeEntry(2, "y"), MakeEntry(3, "x"), MakeEntry(4, "x")});
  CLyrLog log;
  log.SetFile(path_);
  log.SetUsrIdMask("X");
  char temp[] = "C:\\temp.log";
  EXPECT_EQ(log.CreateTempLog(temp), 3u);
  std::string bytes = ReadHostFile(DriveC() + "/temp.log");
  ASSERT_EQ(bytes.size(), 3648u);
  std::string original = ReadHostFile(DriveC() + "/audit.log");
  EXPECT_EQ(bytes.substr(1216, 1216), original.substr(2 * 1216, 1216));
  EXPECT_EQ(log.CreateTempLog(temp), 0u);  // exists: left alone
  EXPECT_EQ(ReadHostFile(DriveC() + "/temp.log").size(), 3648u);
  log.SetUsrIdMask("nobody");
  char other[] = "C:\\other.log";
  EXPECT_EQ(log.CreateTempLog(other), 0u);
  EXPECT_FALSE(HostFileExists(DriveC() + "/other.log"));
}

}  // namespace
