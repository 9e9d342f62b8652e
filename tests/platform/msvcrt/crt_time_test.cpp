// The C runtime's time conversions (localtime_s, gmtime_s, _mktime64) give glibc's answers in
// every zone, around every change of offset: zones without summer time, central Europe, zones
// south of the equator, a half-hour offset, each as a rule (TZ) and from the zone database.
#include "lyr_test.h"

#if LYR_POSIX_TESTS  // the answers are compared with glibc's own

#include <lyrcrt.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

struct Zone {
  const char* tz;
  bool summerTime;  // changes its offset every year since 1970
};

const Zone kZones[] = {
    {"UTC0", false},
    {"CET-1CEST,M3.5.0,M10.5.0/3", true},
    {"Europe/Paris", true},
    {"AEST-10AEDT,M10.1.0,M4.1.0/3", true},  // Sydney: summer from October to April
    {"Australia/Sydney", true},
    {"America/Sao_Paulo", false},              // summer time in most years until 2019
    {"ACST-9:30ACDT,M10.1.0,M4.1.0/3", true},  // Adelaide: half an hour, and south
    {"Australia/Adelaide", true},
    {"IST-5:30", false},
    {"Asia/Kolkata", false},
};

std::string Fields(const struct tm& t) {
  char text[160];
  std::snprintf(text, sizeof text,
                "%04d-%02d-%02d %02d:%02d:%02d wday %d yday %d dst %d off %ld %s", t.tm_year + 1900,
                t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, t.tm_wday, t.tm_yday,
                t.tm_isdst, t.tm_gmtoff, t.tm_zone ? t.tm_zone : "(null)");
  return text;
}

// The moments at which the zone's offset changes between 1970 and 2040, to the second.
std::vector<time_t> Transitions() {
  std::vector<time_t> found;
  const time_t step = 6 * 3600;
  auto offset = [](time_t t) {
    struct tm local;
    localtime_r(&t, &local);
    return local.tm_gmtoff * 2 + local.tm_isdst;
  };
  for (time_t t = 0; t < 2208988800; t += step) {
    if (offset(t) == offset(t + step)) continue;
    time_t low = t, high = t + step;  // offset(low) differs from offset(high)
    while (high - low > 1) {
      const time_t middle = low + (high - low) / 2;
      (offset(middle) == offset(low) ? low : high) = middle;
    }
    found.push_back(high);
  }
  return found;
}

void ExpectSameLocalTime(time_t t) {
  struct tm ours = {}, theirs = {};
  ASSERT_EQ(localtime_s(&ours, &t), 0) << t;
  localtime_r(&t, &theirs);
  ASSERT_EQ(Fields(ours), Fields(theirs)) << "localtime of " << t;
}

// `wall` as mktime reads it with the summer time left to the zone; glibc is asked first, as a
// program calling mktime would have asked it.
void ExpectSameMktime(struct tm wall) {
  wall.tm_isdst = -1;
  struct tm theirs = wall, ours = wall;
  const time_t expected = mktime(&theirs);
  const time_t got = _mktime64(&ours);
  ASSERT_EQ(got, expected) << "mktime of " << Fields(wall);
  ASSERT_EQ(Fields(ours), Fields(theirs)) << "mktime of " << Fields(wall);
}

TEST(CrtTimeTest, LocalTimesAndMktimeAreGlibcsAroundEveryChangeOfOffset) {
  for (const Zone& zone : kZones) {
    SCOPED_TRACE(zone.tz);
    ScopedTimeZone inZone(zone.tz);
    const std::vector<time_t> transitions = Transitions();
    if (zone.summerTime) {
      EXPECT_GE(transitions.size(), 2u * 50);
    }
    for (time_t change : transitions) {
      for (long long dt = -4 * 3600; dt <= 4 * 3600; dt += 607) {
        const time_t t = change + static_cast<time_t>(dt);
        if (t < 0) continue;
        ASSERT_NO_FATAL_FAILURE(ExpectSameLocalTime(t));
        // The wall-clock times around the change, those that do not exist and those that exist
        // twice among them.
        struct tm wall;
        localtime_r(&t, &wall);
        ASSERT_NO_FATAL_FAILURE(ExpectSameMktime(wall));
        wall.tm_min = (wall.tm_min + 30) % 60;
        ASSERT_NO_FATAL_FAILURE(ExpectSameMktime(wall));
      }
    }
  }
}

TEST(CrtTimeTest, AnyMomentToTheYear3000IsGlibcsAndOutOfRangeFieldsAreNormalisedAsGlibcDoes) {
  std::mt19937_64 random(20261207);
  for (const Zone& zone : kZones) {
    SCOPED_TRACE(zone.tz);
    ScopedTimeZone inZone(zone.tz);
    for (int i = 0; i < 3000; ++i) {
      const time_t t = static_cast<time_t>(random() % 32535215999ull);
      ASSERT_NO_FATAL_FAILURE(ExpectSameLocalTime(t));
      struct tm wall;
      localtime_r(&t, &wall);
      ASSERT_NO_FATAL_FAILURE(ExpectSameMktime(wall));
    }
    struct tm odd = {};
    odd.tm_year = 120;
    odd.tm_mon = 12;  // the thirteenth month, second 60, the 31st of a 30-day month
    odd.tm_mday = 31;
    odd.tm_sec = 60;
    ASSERT_NO_FATAL_FAILURE(ExpectSameMktime(odd));
    odd.tm_mon = 3;
    ASSERT_NO_FATAL_FAILURE(ExpectSameMktime(odd));
  }
}

TEST(CrtTimeTest, UniversalTimeAndTheMicrosoftLimits) {
  std::mt19937_64 random(7);
  for (int i = 0; i < 20000; ++i) {
    const time_t t = static_cast<time_t>(random() % 32535216000ull);
    struct tm ours, theirs;
    ASSERT_EQ(gmtime_s(&ours, &t), 0);
    gmtime_r(&t, &theirs);
    ASSERT_EQ(Fields(ours), Fields(theirs)) << t;
  }
  struct tm out;
  for (time_t bad : {static_cast<time_t>(-1), static_cast<time_t>(32535216000)}) {
    EXPECT_EQ(localtime_s(&out, &bad), EINVAL);
    EXPECT_EQ(out.tm_year, -1);
    EXPECT_EQ(gmtime_s(&out, &bad), EINVAL);
    EXPECT_EQ(out.tm_mday, -1);
  }
  const time_t last = 32535215999;
  ASSERT_EQ(gmtime_s(&out, &last), 0);
  EXPECT_EQ(Fields(out).substr(0, 19), "3000-12-31 23:59:59");
  EXPECT_EQ(localtime_s(nullptr, &last), EINVAL);
  EXPECT_EQ(localtime_s(&out, nullptr), EINVAL);
  EXPECT_EQ(_mktime64(nullptr), static_cast<time_t>(-1));
}

// A program that moves to another zone is answered in it at its very next call, as by glibc's
// localtime and mktime, which read TZ each time.
TEST(CrtTimeTest, ANewZoneCountsFromTheNextCall) {
  ScopedTimeZone start("UTC0");
  const time_t summer = 1783000000;  // July 2026
  struct tm out;
  ASSERT_EQ(localtime_s(&out, &summer), 0);
  EXPECT_EQ(out.tm_gmtoff, 0);
  ::setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);  // no tzset: the next call notices
  ASSERT_EQ(localtime_s(&out, &summer), 0);
  EXPECT_EQ(out.tm_gmtoff, 7200);
  EXPECT_STREQ(out.tm_zone, "CEST");
  struct tm wall = out;
  wall.tm_isdst = -1;
  ::setenv("TZ", "IST-5:30", 1);
  EXPECT_EQ(_mktime64(&wall), summer - 19800 + 7200);
  EXPECT_EQ(wall.tm_gmtoff, 19800);
}

}  // namespace

#endif  // LYR_POSIX_TESTS
