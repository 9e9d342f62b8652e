// The date-time record and its short texts. Texts pass through the 32-bit seconds scale, as the
// suite's have always done: a record that cannot be placed on it gives the empty text.
#include <LyrUtil.h>

#include <cstdint>
#include <cstring>
#include <ctime>
#ifndef _WIN32
#include <lyrcrt.h>  // the Microsoft C runtime's localtime_s and _mktime64
#endif

#include "moment_texts.h"

namespace {

constexpr size_t kTextBytes = 128;
constexpr int kFirstYear = 1900;

bool LocalTime(time_t seconds, struct tm* local) {
  return localtime_s(local, &seconds) == 0;
}

void FillFrom(const struct tm& local, LYR_TIME_STRUCT* time) {
  time->wDay = static_cast<WORD>(local.tm_mday);
  time->wMonth = static_cast<WORD>(local.tm_mon + 1);
  time->wYear = static_cast<WORD>(local.tm_year + 1900);
  time->wHour = static_cast<WORD>(local.tm_hour);
  time->wMinute = static_cast<WORD>(local.tm_min);
  time->wSecond = static_cast<WORD>(local.tm_sec);
}

CString Text(const LYR_TIME_STRUCT* time, const char* format) {
  if (time == nullptr) return CString();
  SYSTEMTIME system = {};
  GetSysTime(*time, system);
  struct tm local = {};
  if (system.wYear >= kFirstYear) {
    local.tm_year = system.wYear - 1900;
    local.tm_mon = system.wMonth - 1;
    local.tm_mday = system.wDay;
    local.tm_hour = system.wHour;
    local.tm_min = system.wMinute;
    local.tm_sec = system.wSecond;
    local.tm_isdst = -1;
    // mktime leaves in `local` the local time of the moment it returns, as localtime gives it.
    const time_t seconds = _mktime64(&local);
    if (seconds < 0 || seconds > INT32_MAX) return CString();
  } else if (!LocalTime(0, &local)) {  // a year below 1900 stands for the moment 0
    return CString();
  }
  char text[kTextBytes];
  if (std::strftime(text, sizeof text, format, &local) == 0) return CString();
  return CString(text);
}

}  // namespace

void InitTimeStruct(LYR_TIME_STRUCT* time) {
  if (time == nullptr) return;
  struct tm local;
  if (LocalTime(std::time(nullptr), &local)) FillFrom(local, time);
}

void SetTimeStruct(LYR_TIME_STRUCT* time, LONG seconds) {
  if (time == nullptr || seconds < 0) return;
  struct tm local;
  if (LocalTime(static_cast<time_t>(seconds), &local)) FillFrom(local, time);
}

void SetTimeStruct(LYR_TIME_STRUCT* time, SYSTEMTIME systemTime) {
  if (time == nullptr) return;
  time->wDay = systemTime.wDay;
  time->wMonth = systemTime.wMonth;
  time->wYear = systemTime.wYear;
  time->wHour = systemTime.wHour;
  time->wMinute = systemTime.wMinute;
  time->wSecond = systemTime.wSecond;
}

void GetSysTime(LYR_TIME_STRUCT time, SYSTEMTIME& systemTime) {
  systemTime.wYear = time.wYear;
  systemTime.wMonth = time.wMonth;
  systemTime.wDay = time.wDay;
  systemTime.wHour = time.wHour;
  systemTime.wMinute = time.wMinute;
  systemTime.wSecond = time.wSecond;
}

CString GetShortDateString(LYR_TIME_STRUCT* time) {
  return Text(time, "%d/%m/%Y");
}
CString GetShortTimeString(LYR_TIME_STRUCT* time) {
  return Text(time, "%X");
}
CString GetShortDateTimeString(LYR_TIME_STRUCT* time) {
  return Text(time, "%d/%m/%Y %X");
}

namespace lyrutil {

// A moment on the 32-bit scale is its own wall-clock time through mktime and back, so its texts
// need only the one local time. Within two hours of the scale's end, where a repeated hour could
// carry the round trip past it, the texts take the long way.
void MomentTexts(int32_t seconds, char (&date)[kMomentTextBytes], char (&time)[kMomentTextBytes]) {
  date[0] = time[0] = '\0';
  if (seconds < 0) return;
  struct tm local;
  if (seconds > INT32_MAX - 7200 || !LocalTime(seconds, &local)) {
    LYR_TIME_STRUCT stamp = {};
    SetTimeStruct(&stamp, seconds);
    std::strncpy(date, GetShortDateString(&stamp), kMomentTextBytes - 1);
    std::strncpy(time, GetShortTimeString(&stamp), kMomentTextBytes - 1);
    date[kMomentTextBytes - 1] = time[kMomentTextBytes - 1] = '\0';
    return;
  }
  const int day = local.tm_mday, month = local.tm_mon + 1, year = local.tm_year + 1900;
  const char text[] = {static_cast<char>('0' + day / 10),
                       static_cast<char>('0' + day % 10),
                       '/',
                       static_cast<char>('0' + month / 10),
                       static_cast<char>('0' + month % 10),
                       '/',
                       static_cast<char>('0' + year / 1000),
                       static_cast<char>('0' + year / 100 % 10),
                       static_cast<char>('0' + year / 10 % 10),
                       static_cast<char>('0' + year % 10),
                       '\0'};
  std::memcpy(date, text, sizeof text);
  if (std::strftime(time, kMomentTextBytes, "%X", &local) == 0) time[0] = '\0';
}

}  // namespace lyrutil
