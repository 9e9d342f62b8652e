// CTime: a moment as seconds since 1970, shown in local time.
#include <afx.h>

CTimeSpan::CTimeSpan(LONG lDays, int nHours, int nMins, int nSecs)
    : m_timeSpan(nSecs + 60 * (nMins + 60 * (nHours + static_cast<time_t>(24) * lDays))) {}
LONG CTimeSpan::GetDays() const {
  return static_cast<LONG>(m_timeSpan / (24 * 3600));
}
LONG CTimeSpan::GetTotalHours() const {
  return static_cast<LONG>(m_timeSpan / 3600);
}
LONG CTimeSpan::GetTotalMinutes() const {
  return static_cast<LONG>(m_timeSpan / 60);
}
LONG CTimeSpan::GetTotalSeconds() const {
  return static_cast<LONG>(m_timeSpan);
}

CTime CTime::GetCurrentTime() {
  return CTime(::time(nullptr));
}

CTime::CTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec, int nDST) {
  struct tm local = {};
  local.tm_sec = nSec;
  local.tm_min = nMin;
  local.tm_hour = nHour;
  local.tm_mday = nDay;
  local.tm_mon = nMonth - 1;
  local.tm_year = nYear - 1900;
  local.tm_isdst = nDST;
  m_time = ::mktime(&local);
}

CTime::CTime(const SYSTEMTIME& sysTime, int nDST)
    : CTime(sysTime.wYear, sysTime.wMonth, sysTime.wDay, sysTime.wHour, sysTime.wMinute,
            sysTime.wSecond, nDST) {}

CTime::CTime(const FILETIME& fileTime, int) {
  uint64_t t = (static_cast<uint64_t>(fileTime.dwHighDateTime) << 32) | fileTime.dwLowDateTime;
  m_time = static_cast<time_t>(t / 10000000ULL) - static_cast<time_t>(11644473600LL);
}

struct tm* CTime::GetLocalTm(struct tm* ptm) const {
  static thread_local struct tm shared;
  struct tm* out = ptm ? ptm : &shared;
#ifdef _WIN32
  return localtime_s(out, &m_time) == 0 ? out : nullptr;
#else
  return localtime_r(&m_time, out);
#endif
}

struct tm* CTime::GetGmtTm(struct tm* ptm) const {
  static thread_local struct tm shared;
  struct tm* out = ptm ? ptm : &shared;
#ifdef _WIN32
  return gmtime_s(out, &m_time) == 0 ? out : nullptr;
#else
  return gmtime_r(&m_time, out);
#endif
}

namespace {
int Field(const CTime& time, int (*pick)(const struct tm&)) {
  struct tm local;
  return time.GetLocalTm(&local) ? pick(local) : 0;
}
}  // namespace

int CTime::GetYear() const {
  return Field(*this, [](const struct tm& t) { return t.tm_year + 1900; });
}
int CTime::GetMonth() const {
  return Field(*this, [](const struct tm& t) { return t.tm_mon + 1; });
}
int CTime::GetDay() const {
  return Field(*this, [](const struct tm& t) { return t.tm_mday; });
}
int CTime::GetHour() const {
  return Field(*this, [](const struct tm& t) { return t.tm_hour; });
}
int CTime::GetMinute() const {
  return Field(*this, [](const struct tm& t) { return t.tm_min; });
}
int CTime::GetSecond() const {
  return Field(*this, [](const struct tm& t) { return t.tm_sec; });
}
int CTime::GetDayOfWeek() const {
  return Field(*this, [](const struct tm& t) { return t.tm_wday + 1; });
}

CString CTime::Format(LPCSTR pFormat) const {
  struct tm local;
  char buffer[256] = "";
  if (pFormat && GetLocalTm(&local)) std::strftime(buffer, sizeof buffer, pFormat, &local);
  return CString(buffer);
}

CString CTime::FormatGmt(LPCSTR pFormat) const {
  struct tm utc;
  char buffer[256] = "";
  if (pFormat && GetGmtTm(&utc)) std::strftime(buffer, sizeof buffer, pFormat, &utc);
  return CString(buffer);
}
