// The Microsoft C runtime's time conversions on Linux: localtime_s, gmtime_s and _mktime64, with
// glibc's answers. glibc reads the zone's rules once, but every call pays for its own search (and,
// with TZ unset, a stat of /etc/localtime): here the zone's offset over each hour asked about is
// found once with glibc's localtime_r and kept until the zone changes. An hour in which the offset
// changes, or that lies near a change, is always asked of glibc itself.
//
// The zone changes when TZ changes (looked at on every call, as glibc's localtime and mktime do)
// or when the zone file changes (looked at again at most once a second: an administrator moving
// the machine to another zone is seen a second later at the most); glibc is then told (tzset) and
// what was kept is dropped.
#include <lyrcrt.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>

namespace {

constexpr long long kHour = 3600;
constexpr long long kDay = 86400;
constexpr time_t kLastMicrosoftMoment = 32535215999;  // 3000-12-31 23:59:59 UTC
// An hour counts as regular when the offset is the same from this long before it to this long
// after its end: every change of a zone's offset in the tz database moves the clock by less, so
// no other moment can have the same wall-clock time.
constexpr long long kRegularMargin = 3 * kHour;

long long FloorDiv(long long a, long long b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar, and back.
long long DaysFromCivil(long long y, long long m, long long d) {
  y -= m <= 2;
  const long long era = FloorDiv(y, 400);
  const long long yoe = y - era * 400;
  const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(long long z, long long* y, long long* m, long long* d) {
  z += 719468;
  const long long era = FloorDiv(z, 146097);
  const long long doe = z - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  *d = doy - (153 * mp + 2) / 5 + 1;
  *m = mp < 10 ? mp + 3 : mp - 9;
  *y = yoe + era * 400 + (*m <= 2);
}

bool IsLeap(long long y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(long long y, int month0) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month0 == 1 && IsLeap(y) ? 29 : kDays[month0];
}

// The broken-down time of `seconds` counted on the wall clock from 1970-01-01 00:00.
void BreakDown(long long seconds, struct tm* out) {
  const long long days = FloorDiv(seconds, kDay);
  const long long inDay = seconds - days * kDay;
  long long y, m, d;
  CivilFromDays(days, &y, &m, &d);
  out->tm_year = static_cast<int>(y - 1900);
  out->tm_mon = static_cast<int>(m - 1);
  out->tm_mday = static_cast<int>(d);
  out->tm_hour = static_cast<int>(inDay / kHour);
  out->tm_min = static_cast<int>(inDay % kHour / 60);
  out->tm_sec = static_cast<int>(inDay % 60);
  out->tm_wday = static_cast<int>(((days + 4) % 7 + 7) % 7);  // 1970-01-01 was a Thursday
  out->tm_yday = static_cast<int>(days - DaysFromCivil(y, 1, 1));
}

// The offset and its names over one stretch of time, as glibc gives them.
struct Offset {
  long gmtoff = 0;
  int isdst = 0;
  const char* zone = nullptr;
  bool operator==(const Offset& o) const {
    return gmtoff == o.gmtoff && isdst == o.isdst && zone == o.zone;
  }
};

Offset OffsetAt(time_t t) {
  struct tm local;
  Offset offset;
  if (localtime_r(&t, &local) == nullptr) {
    offset.isdst = -1;  // compares unequal to any real offset
    return offset;
  }
  offset.gmtoff = local.tm_gmtoff;
  offset.isdst = local.tm_isdst;
  offset.zone = local.tm_zone;
  return offset;
}

// One hour's offset, kept: by UTC hour for localtime_s, by wall-clock hour for _mktime64.
struct HourEntry {
  long long hour = 0;
  unsigned generation = 0;  // 0: empty
  bool regular = false;
  Offset offset;
};

constexpr size_t kEntries = 512;

class ZoneCache {
 public:
  // Makes glibc's zone current when TZ or the zone file changed, dropping what was kept.
  void Refresh() {
    const char* tz = std::getenv("TZ");
    if ((tz != nullptr) != hasTz_ || (tz != nullptr && tz_ != tz)) {
      hasTz_ = tz != nullptr;
      tz_ = tz != nullptr ? tz : "";
      zoneFile_ = ZoneFile(tz);
      Reload();
      return;
    }
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    if (now.tv_sec == checkedAt_) return;
    checkedAt_ = now.tv_sec;
    if (FileIdentity() != fileIdentity_) Reload();
  }

  // The offset over the UTC hour of `t`, and whether it holds for the whole hour.
  const HourEntry& ByInstant(time_t t) {
    const long long hour = FloorDiv(t, kHour);
    HourEntry& entry = instants_[static_cast<size_t>(hour) % kEntries];
    if (entry.generation != generation_ || entry.hour != hour) {
      entry.hour = hour;
      entry.generation = generation_;
      entry.offset = OffsetAt(static_cast<time_t>(hour * kHour));
      entry.regular = entry.offset.isdst >= 0 &&
                      OffsetAt(static_cast<time_t>(hour * kHour + kHour - 1)) == entry.offset;
    }
    return entry;
  }

  // The offset over the wall-clock hour starting `localHour` hours after 1970-01-01 00:00, when
  // every time in it is one moment, far from any change of offset.
  const HourEntry& ByWallClock(long long localHour) {
    HourEntry& entry = wallClocks_[static_cast<size_t>(localHour) % kEntries];
    if (entry.generation != generation_ || entry.hour != localHour) {
      entry.hour = localHour;
      entry.generation = generation_;
      const long long wall = localHour * kHour;
      const time_t start = static_cast<time_t>(wall - OffsetAt(static_cast<time_t>(wall)).gmtoff);
      entry.offset = OffsetAt(start);
      entry.regular = entry.offset.isdst >= 0 && start + entry.offset.gmtoff == wall &&
                      OffsetAt(start - kRegularMargin) == entry.offset &&
                      OffsetAt(start + kHour - 1) == entry.offset &&
                      OffsetAt(start + kHour + kRegularMargin) == entry.offset;
    }
    return entry;
  }

 private:
  // The file glibc reads the zone from: TZ's file under the zone folder, or /etc/localtime.
  static std::string ZoneFile(const char* tz) {
    if (tz == nullptr) return "/etc/localtime";
    if (*tz == ':') ++tz;
    if (*tz == '/') return tz;
    const char* folder = std::getenv("TZDIR");
    return std::string(folder != nullptr && *folder ? folder : "/usr/share/zoneinfo") + "/" + tz;
  }

  std::string FileIdentity() const {
    struct stat st;
    if (::stat(zoneFile_.c_str(), &st) != 0) return "-";
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" +
           std::to_string(st.st_size) + ":" + std::to_string(st.st_mtim.tv_sec) + "." +
           std::to_string(st.st_mtim.tv_nsec);
  }

  void Reload() {
    tzset();
    fileIdentity_ = FileIdentity();
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    checkedAt_ = now.tv_sec;
    if (++generation_ == 0) ++generation_;  // 0 marks an empty entry
  }

  bool hasTz_ = true;
  std::string tz_ = "\x01";  // matches no TZ, set or not: the first call loads the zone
  std::string zoneFile_;
  std::string fileIdentity_;
  time_t checkedAt_ = 0;
  unsigned generation_ = 0;
  HourEntry instants_[kEntries];
  HourEntry wallClocks_[kEntries];
};

std::mutex g_zoneMutex;
ZoneCache g_zone;

void Invalid(struct tm* out) {
  out->tm_sec = out->tm_min = out->tm_hour = out->tm_mday = out->tm_mon = out->tm_year = -1;
  out->tm_wday = out->tm_yday = out->tm_isdst = -1;
}

bool InNormalRange(const struct tm& t) {
  const long long year = static_cast<long long>(t.tm_year) + 1900;
  return year >= 1900 && year <= 3000 && t.tm_mon >= 0 && t.tm_mon <= 11 && t.tm_mday >= 1 &&
         t.tm_mday <= DaysInMonth(year, t.tm_mon) && t.tm_hour >= 0 && t.tm_hour <= 23 &&
         t.tm_min >= 0 && t.tm_min <= 59 && t.tm_sec >= 0 && t.tm_sec <= 59;
}

}  // namespace

extern "C" int localtime_s(struct tm* tmDest, const time_t* sourceTime) {
  if (tmDest == nullptr) return EINVAL;
  if (sourceTime == nullptr || *sourceTime < 0 || *sourceTime > kLastMicrosoftMoment) {
    Invalid(tmDest);
    return EINVAL;
  }
  std::lock_guard<std::mutex> lock(g_zoneMutex);
  g_zone.Refresh();
  const HourEntry& entry = g_zone.ByInstant(*sourceTime);
  if (!entry.regular) return localtime_r(sourceTime, tmDest) != nullptr ? 0 : EINVAL;
  BreakDown(static_cast<long long>(*sourceTime) + entry.offset.gmtoff, tmDest);
  tmDest->tm_isdst = entry.offset.isdst;
  tmDest->tm_gmtoff = entry.offset.gmtoff;
  tmDest->tm_zone = entry.offset.zone;
  return 0;
}

extern "C" int gmtime_s(struct tm* tmDest, const time_t* sourceTime) {
  if (tmDest == nullptr) return EINVAL;
  if (sourceTime == nullptr || *sourceTime < 0 || *sourceTime > kLastMicrosoftMoment) {
    Invalid(tmDest);
    return EINVAL;
  }
  BreakDown(*sourceTime, tmDest);
  tmDest->tm_isdst = 0;
  tmDest->tm_gmtoff = 0;
  tmDest->tm_zone = "GMT";  // as glibc's gmtime_r names it
  return 0;
}

extern "C" time_t _mktime64(struct tm* timeptr) {
  if (timeptr == nullptr) return -1;
  std::lock_guard<std::mutex> lock(g_zoneMutex);
  g_zone.Refresh();
  // Only a wall-clock time in its normal ranges whose summer time is left to the zone is answered
  // here; anything else (normalising, a stated summer time) is glibc's.
  if (timeptr->tm_isdst < 0 && InNormalRange(*timeptr)) {
    const long long wall = DaysFromCivil(static_cast<long long>(timeptr->tm_year) + 1900,
                                         timeptr->tm_mon + 1, timeptr->tm_mday) *
                               kDay +
                           timeptr->tm_hour * kHour + timeptr->tm_min * 60 + timeptr->tm_sec;
    const HourEntry& entry = g_zone.ByWallClock(FloorDiv(wall, kHour));
    if (entry.regular) {
      BreakDown(wall, timeptr);
      timeptr->tm_isdst = entry.offset.isdst;
      timeptr->tm_gmtoff = entry.offset.gmtoff;
      timeptr->tm_zone = entry.offset.zone;
      return static_cast<time_t>(wall - entry.offset.gmtoff);
    }
  }
  return mktime(timeptr);
}
