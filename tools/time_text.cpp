#include "time_text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool InScale(long long t, int32_t* seconds) {
  if (t < INT32_MIN || t > INT32_MAX) return false;
  *seconds = static_cast<int32_t>(t);
  return true;
}

bool LocalMidnight(std::time_t now, int dayOffset, int32_t* seconds) {
  std::tm tm{};
  if (localtime_r(&now, &tm) == nullptr) return false;
  tm.tm_hour = tm.tm_min = tm.tm_sec = 0;
  tm.tm_mday += dayOffset;
  tm.tm_isdst = -1;
  std::time_t t = std::mktime(&tm);
  return t != static_cast<std::time_t>(-1) && InScale(t, seconds);
}

// Seconds per unit, the names journalctl accepts; 0 for an unknown unit.
long long UnitSeconds(const std::string& unit) {
  static const struct {
    const char* name;
    long long seconds;
  } kUnits[] = {{"s", 1},       {"sec", 1},       {"second", 1},    {"seconds", 1}, {"m", 60},
                {"min", 60},    {"minute", 60},   {"minutes", 60},  {"h", 3600},    {"hr", 3600},
                {"hour", 3600}, {"hours", 3600},  {"d", 86400},     {"day", 86400}, {"days", 86400},
                {"w", 604800},  {"week", 604800}, {"weeks", 604800}};
  for (const auto& u : kUnits) {
    if (unit == u.name) return u.seconds;
  }
  return 0;
}

bool ParseRelative(const std::string& text, std::time_t now, int32_t* seconds) {
  int sign = text[0] == '-' ? -1 : 1;
  size_t i = 1;
  size_t digits = i;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
  if (i == digits || i - digits > 9) return false;
  long long count = std::atoll(text.substr(digits, i - digits).c_str());
  std::string unit = text.substr(i);
  while (!unit.empty() && unit[0] == ' ') unit.erase(0, 1);
  long long perUnit = unit.empty() ? 1 : UnitSeconds(unit);
  if (perUnit == 0) return false;
  return InScale(static_cast<long long>(now) + sign * count * perUnit, seconds);
}

bool MatchesShape(const std::string& text, const char* shape) {
  if (text.size() != std::strlen(shape)) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    bool digit = std::isdigit(static_cast<unsigned char>(text[i])) != 0;
    if (shape[i] == 'D' ? !digit : text[i] != shape[i]) return false;
  }
  return true;
}

int Number(const std::string& text, size_t at, size_t length) {
  return std::atoi(text.substr(at, length).c_str());
}

// The local time `wanted` as an instant, when `isdst` is the right guess for it: mktime takes a
// wrong guess as a time an hour off and moves the fields, which then differ from the wanted ones.
bool LocalInstant(const std::tm& wanted, int isdst, std::time_t* t) {
  std::tm tm = wanted;
  tm.tm_isdst = isdst;
  *t = std::mktime(&tm);
  return *t != static_cast<std::time_t>(-1) && tm.tm_year == wanted.tm_year &&
         tm.tm_mon == wanted.tm_mon && tm.tm_mday == wanted.tm_mday &&
         tm.tm_hour == wanted.tm_hour && tm.tm_min == wanted.tm_min && tm.tm_sec == wanted.tm_sec;
}

// The first second of the local clock's jump forward between `before` and `after`.
std::time_t JumpBetween(std::time_t before, std::time_t after) {
  auto offset = [](std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm.tm_gmtoff;
  };
  const long first = offset(before);
  while (after - before > 1) {
    const std::time_t middle = before + (after - before) / 2;
    (offset(middle) == first ? before : after) = middle;
  }
  return after;
}

// A local date and time as an instant. Summer time makes some local times happen twice and skips
// others: a window's start takes the earlier of two, its end the later, and a skipped time is the
// moment the clocks jumped (its end a second before), so that no record inside the window is
// left out; `note` then says what was taken.
bool ParseCalendar(const std::string& text, TimeBound bound, int32_t* seconds, std::string* note) {
  if (!MatchesShape(text, "DDDD-DD-DD") && !MatchesShape(text, "DDDD-DD-DD DD:DD") &&
      !MatchesShape(text, "DDDD-DD-DD DD:DD:DD"))
    return false;
  std::tm tm{};
  tm.tm_year = Number(text, 0, 4) - 1900;
  tm.tm_mon = Number(text, 5, 2) - 1;
  tm.tm_mday = Number(text, 8, 2);
  if (text.size() > 10) {
    tm.tm_hour = Number(text, 11, 2);
    tm.tm_min = Number(text, 14, 2);
  }
  if (text.size() > 16) tm.tm_sec = Number(text, 17, 2);
  if (tm.tm_mon < 0 || tm.tm_mon > 11 || tm.tm_mday < 1 || tm.tm_hour > 23 || tm.tm_min > 59 ||
      tm.tm_sec > 59)
    return false;
  std::time_t standard, summer;
  const bool isStandard = LocalInstant(tm, 0, &standard);
  const bool isSummer = LocalInstant(tm, 1, &summer);
  std::time_t t;
  if (isStandard && isSummer && standard != summer) {
    const bool earlier = bound == TimeBound::kStart;
    t = earlier ? std::min(standard, summer) : std::max(standard, summer);
    if (note)
      *note = text + " happens twice here (summer time ends): the " +
              (earlier ? "earlier" : "later") + " one was taken";
  } else if (isStandard || isSummer) {
    t = isStandard ? standard : summer;
  } else {
    if (standard == static_cast<std::time_t>(-1) || summer == static_cast<std::time_t>(-1))
      return false;
    std::tm check = tm;  // a date that does not exist at all (2026-02-30) moves its day
    check.tm_isdst = -1;
    if (std::mktime(&check) == static_cast<std::time_t>(-1) || check.tm_mday != tm.tm_mday)
      return false;
    t = JumpBetween(std::min(standard, summer), std::max(standard, summer));
    if (bound == TimeBound::kEnd) --t;
    if (note)
      *note = text +
              " does not happen here (summer time begins): the moment the clocks jumped "
              "was taken";
  }
  return InScale(t, seconds);
}

// "+01:00", "-0530", "Z": the offset from UTC in seconds; false when `text` is none of them.
bool ParseOffset(const std::string& text, long long* offset) {
  if (text == "Z") {
    *offset = 0;
    return true;
  }
  const bool colon = MatchesShape(text.substr(1), "DD:DD");
  if ((text[0] != '+' && text[0] != '-') || !(colon || MatchesShape(text.substr(1), "DDDD")))
    return false;
  const int hours = Number(text, 1, 2), minutes = Number(text, colon ? 4 : 3, 2);
  if (hours > 14 || minutes > 59) return false;
  *offset = (text[0] == '-' ? -1 : 1) * (hours * 3600LL + minutes * 60LL);
  return true;
}

// The tool's own ISO form, "2026-12-07T08:00:00+01:00" (seconds, the offset optional): with an
// offset it names one instant whatever the local zone; without one it is a local time.
bool ParseIso(const std::string& text, TimeBound bound, int32_t* seconds, std::string* note) {
  if (text.size() < 16 || text[10] != 'T') return false;
  std::string local = text.substr(0, 10) + " ";
  size_t end = 16;
  if (text.size() >= 19 && text[16] == ':') end = 19;
  local += text.substr(11, end - 11);
  const std::string zone = text.substr(end);
  if (zone.empty()) return ParseCalendar(local, bound, seconds, note);
  long long offset;
  if (!ParseOffset(zone, &offset) || !ParseCalendar(local, bound, seconds, nullptr)) return false;
  // The calendar read it as a local time; read it again as UTC and take the offset off.
  std::tm tm{};
  tm.tm_year = Number(local, 0, 4) - 1900;
  tm.tm_mon = Number(local, 5, 2) - 1;
  tm.tm_mday = Number(local, 8, 2);
  tm.tm_hour = Number(local, 11, 2);
  tm.tm_min = Number(local, 14, 2);
  tm.tm_sec = local.size() > 16 ? Number(local, 17, 2) : 0;
  const std::time_t utc = timegm(&tm);
  return utc != static_cast<std::time_t>(-1) && InScale(utc - offset, seconds);
}

// "14:30" or "14:30:15": that time today.
bool ParseClock(const std::string& text, std::time_t now, TimeBound bound, int32_t* seconds,
                std::string* note) {
  if (!MatchesShape(text, "DD:DD") && !MatchesShape(text, "DD:DD:DD")) return false;
  std::tm tm{};
  if (localtime_r(&now, &tm) == nullptr) return false;
  char date[48];
  std::snprintf(date, sizeof date, "%04d-%02d-%02d ", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
  return ParseCalendar(date + text, bound, seconds, note);
}

}  // namespace

bool ParseTimeText(const std::string& text, std::time_t now, int32_t* seconds) {
  return ParseTimeText(text, now, TimeBound::kStart, seconds, nullptr);
}

bool ParseTimeText(const std::string& text, std::time_t now, TimeBound bound, int32_t* seconds,
                   std::string* note) {
  if (text.empty() || text.size() > 40) return false;
  if (text == "now") return InScale(now, seconds);
  if (text == "today") return LocalMidnight(now, 0, seconds);
  if (text == "yesterday") return LocalMidnight(now, -1, seconds);
  if (text == "tomorrow") return LocalMidnight(now, 1, seconds);
  if (text[0] == '-' || text[0] == '+') return ParseRelative(text, now, seconds);
  if (text[0] == '@') {
    char* end = nullptr;
    long long t = std::strtoll(text.c_str() + 1, &end, 10);
    return end != text.c_str() + 1 && *end == '\0' && InScale(t, seconds);
  }
  // "2h ago", "30 min ago": what "-2h" and "-30min" say.
  const std::string ago = " ago";
  if (text.size() > ago.size() && text.compare(text.size() - ago.size(), ago.size(), ago) == 0)
    return std::isdigit(static_cast<unsigned char>(text[0])) &&
           ParseRelative("-" + text.substr(0, text.size() - ago.size()), now, seconds);
  return ParseCalendar(text, bound, seconds, note) || ParseIso(text, bound, seconds, note) ||
         ParseClock(text, now, bound, seconds, note);
}

namespace {

// The local calendar fields of one minute, kept while records of that minute come (a log holds
// records seconds apart, and the C library's conversion takes a lock and reads the zone each
// time). A minute is kept only when the zone's offset is a whole number of minutes over all of
// it, so no change of offset can fall inside it.
struct LocalMinute {
  long long start = 1;  // seconds since 1970 of the minute's first second; 1: nothing kept
  std::tm tm{};
};

char* Digits(unsigned value, int width, char* out) {
  for (int i = width - 1; i >= 0; --i, value /= 10) out[i] = static_cast<char>('0' + value % 10);
  return out + width;
}

std::tm LocalFields(int32_t seconds) {
  thread_local LocalMinute kept;
  const long long t = seconds;
  const long long start = t - ((t % 60) + 60) % 60;
  if (start != kept.start) {
    std::time_t first = static_cast<std::time_t>(start);
    std::time_t last = first + 59;
    std::tm a{}, b{};
    localtime_r(&first, &a);
    localtime_r(&last, &b);
    if (a.tm_gmtoff != b.tm_gmtoff || a.tm_gmtoff % 60 != 0) {
      std::time_t exact = seconds;
      std::tm tm{};
      localtime_r(&exact, &tm);
      return tm;
    }
    kept.start = start;
    kept.tm = a;
  }
  std::tm tm = kept.tm;
  tm.tm_sec = static_cast<int>(t - start);
  return tm;
}

// "2026-12-07 08:00:00", or with `iso` "2026-12-07T08:00:00+01:00".
size_t PutLocal(int32_t seconds, bool iso, char* text) {
  const std::tm tm = LocalFields(seconds);
  char* p = Digits(static_cast<unsigned>(tm.tm_year + 1900), 4, text);
  *p++ = '-';
  p = Digits(static_cast<unsigned>(tm.tm_mon + 1), 2, p);
  *p++ = '-';
  p = Digits(static_cast<unsigned>(tm.tm_mday), 2, p);
  *p++ = iso ? 'T' : ' ';
  p = Digits(static_cast<unsigned>(tm.tm_hour), 2, p);
  *p++ = ':';
  p = Digits(static_cast<unsigned>(tm.tm_min), 2, p);
  *p++ = ':';
  p = Digits(static_cast<unsigned>(tm.tm_sec), 2, p);
  if (iso) {
    const long offset = tm.tm_gmtoff;
    const unsigned minutes = static_cast<unsigned>((offset < 0 ? -offset : offset) / 60);
    *p++ = offset < 0 ? '-' : '+';
    p = Digits(minutes / 60, 2, p);
    *p++ = ':';
    p = Digits(minutes % 60, 2, p);
  }
  return static_cast<size_t>(p - text);
}

void AppendLocal(int32_t seconds, bool iso, std::string* out) {
  char text[kTimeTextBytes];
  out->append(text, PutLocal(seconds, iso, text));
}

}  // namespace

size_t PutIsoTimeText(int32_t seconds, char* text) {
  return PutLocal(seconds, true, text);
}

void AppendLocalTimeText(int32_t seconds, std::string* out) {
  AppendLocal(seconds, false, out);
}

void AppendIsoTimeText(int32_t seconds, std::string* out) {
  AppendLocal(seconds, true, out);
}

bool ParseDurationText(const std::string& text, int32_t* seconds) {
  if (text.empty() || text[0] == '-' || text[0] == '+') return false;
  int32_t back = 0;
  if (!ParseRelative("-" + text, 0, &back) || back >= 0) return false;
  *seconds = -back;
  return true;
}

std::string LocalTimeText(int32_t seconds) {
  std::string text;
  AppendLocal(seconds, false, &text);
  return text;
}

std::string IsoTimeText(int32_t seconds) {
  std::string text;
  AppendLocal(seconds, true, &text);
  return text;
}
