// The date-time record and its texts, under UTC and under a zone with daylight saving.
#include "lyr_test.h"

#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

namespace {

// Runs each test under a given time zone (POSIX rules, so that no zone database is needed).
class TimeZoneTest : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override { zone_.reset(new ScopedTimeZone(GetParam())); }
  void TearDown() override { zone_.reset(); }

 private:
  std::unique_ptr<ScopedTimeZone> zone_;
};

LYR_TIME_STRUCT Record(WORD day, WORD month, WORD year, WORD hour, WORD minute, WORD second) {
  return LYR_TIME_STRUCT{day, month, year, hour, minute, second};
}

TEST_P(TimeZoneTest, TextsOfARecord) {
  LYR_TIME_STRUCT t = Record(31, 12, 1999, 23, 59, 59);
  EXPECT_EQ(GetShortDateString(&t), "31/12/1999");
  EXPECT_EQ(GetShortTimeString(&t), "23:59:59");
  EXPECT_EQ(GetShortDateTimeString(&t), "31/12/1999 23:59:59");
  t = Record(7, 3, 1999, 14, 5, 9);
  EXPECT_EQ(GetShortDateTimeString(&t), "07/03/1999 14:05:09");
  // Out-of-range fields are normalised on the way through the seconds scale.
  t = Record(15, 13, 2020, 10, 0, 60);
  EXPECT_EQ(GetShortDateTimeString(&t), "15/01/2021 10:01:00");
  // A summer date keeps its wall-clock time.
  t = Record(15, 7, 2020, 12, 30, 0);
  EXPECT_EQ(GetShortTimeString(&t), "12:30:00");
}

TEST_P(TimeZoneTest, RecordsOffTheThirtyTwoBitScale) {
  LYR_TIME_STRUCT t = Record(1, 6, 1965, 12, 0, 0);
  EXPECT_EQ(GetShortDateString(&t), "");
  EXPECT_EQ(GetShortTimeString(&t), "");
  EXPECT_EQ(GetShortDateTimeString(&t), "");
  t = Record(20, 1, 2038, 12, 0, 0);
  EXPECT_EQ(GetShortDateString(&t), "");
  t = Record(18, 1, 2038, 12, 0, 0);
  EXPECT_EQ(GetShortDateString(&t), "18/01/2038");
  // A year below 1900 (an all-zero record among them) stands for the moment 0.
  LYR_TIME_STRUCT zero = {};
  std::tm local = LocalTime(0);
  char expected[64];
  std::strftime(expected, sizeof expected, "%d/%m/%Y %X", &local);
  EXPECT_EQ(GetShortDateTimeString(&zero), expected);
}

TEST_P(TimeZoneTest, FillingFromSecondsTheClockAndSystemTime) {
  LYR_TIME_STRUCT t = {};
  SetTimeStruct(&t, 946684799);  // 1999-12-31 23:59:59 UTC
  std::tm local = LocalTime(946684799);
  EXPECT_EQ(t.wYear, local.tm_year + 1900);
  EXPECT_EQ(t.wHour, local.tm_hour);
  LYR_TIME_STRUCT kept = Record(1, 2, 2003, 4, 5, 6);
  SetTimeStruct(&kept, -1);  // before the scale: left as it was
  EXPECT_EQ(kept.wYear, 2003);

  InitTimeStruct(&t);
  local = LocalTime(time(nullptr));
  char today[16];
  std::strftime(today, sizeof today, "%d/%m/%Y", &local);
  EXPECT_EQ(GetShortDateString(&t), today);

  SYSTEMTIME in = {2024, 2, 4, 29, 13, 14, 15, 999};
  SetTimeStruct(&t, in);
  SYSTEMTIME out = {};
  out.wDayOfWeek = 6;
  out.wMilliseconds = 123;
  GetSysTime(t, out);
  EXPECT_EQ(out.wYear, 2024);
  EXPECT_EQ(out.wMonth, 2);
  EXPECT_EQ(out.wDay, 29);
  EXPECT_EQ(out.wHour, 13);
  EXPECT_EQ(out.wMinute, 14);
  EXPECT_EQ(out.wSecond, 15);
  EXPECT_EQ(out.wDayOfWeek, 6);
  EXPECT_EQ(out.wMilliseconds, 123);
}

INSTANTIATE_TEST_SUITE_P(Zones, TimeZoneTest,
                         ::testing::Values("UTC0", "CET-1CEST,M3.5.0,M10.5.0/3"));

TEST(TimeStructUtcTest, MomentZeroIsTheFirstOfJanuary1970) {
  ScopedTimeZone utc("UTC0");
  LYR_TIME_STRUCT t = {};
  SetTimeStruct(&t, 0);
  EXPECT_EQ(t.wDay, 1);
  EXPECT_EQ(t.wMonth, 1);
  EXPECT_EQ(t.wYear, 1970);
  EXPECT_EQ(t.wHour + t.wMinute + t.wSecond, 0);
}

}  // namespace

namespace {

// Around the summer-time changes of central Europe: an hour that does not exist reads as the
// hour after it (the C runtime moves it forward), one that exists twice reads as itself, and the
// days on both sides of each change keep their texts.
TEST(TimeTextTransitionTest, TextsAroundTheSummerTimeChanges) {
  SKIP_ON_WINDOWS("Microsoft's C runtime reads a TZ zone's summer time on United States rules");
  ScopedTimeZone europe("CET-1CEST,M3.5.0,M10.5.0/3");
  struct Case {
    WORD day, month, hour, minute;
    const char* time;
  } cases[] = {{29, 3, 1, 59, "01:59:00"},  {29, 3, 2, 30, "03:30:00"},
               {29, 3, 3, 0, "03:00:00"},   {25, 10, 2, 30, "02:30:00"},
               {25, 10, 3, 30, "03:30:00"}, {26, 10, 0, 0, "00:00:00"}};
  for (const Case& c : cases) {
    LYR_TIME_STRUCT t = {c.day, c.month, 2026, c.hour, c.minute, 0};
    SCOPED_TRACE(c.time);
    EXPECT_EQ(std::string(GetShortTimeString(&t)), c.time);
    char date[32];
    std::snprintf(date, sizeof date, "%02u/%02u/2026", c.day, c.month);
    EXPECT_EQ(std::string(GetShortDateString(&t)), date);
  }
}

}  // namespace
