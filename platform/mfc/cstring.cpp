// CString over std::string. MFC's CString shares its buffer between copies; a std::string copies,
// which callers cannot tell apart except by speed.
#include <afx.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#ifndef _WIN32
#include <lyrhost.h>
#include "internal.h"
#endif

namespace {

std::string FromRange(LPCSTR lpch, int nLength) {
  if (lpch == nullptr || nLength <= 0) return std::string();
  return std::string(lpch, static_cast<size_t>(nLength));
}

int Clamp(int value, int low, int high) {
  return std::max(low, std::min(value, high));
}

}  // namespace

CString::CString() = default;
CString::CString(const CString& stringSrc) = default;
CString::CString(LPCSTR lpsz) : data_(lpsz ? lpsz : "") {}
CString::CString(LPCSTR lpch, int nLength) : data_(FromRange(lpch, nLength)) {}
CString::CString(char ch, int nRepeat) : data_(static_cast<size_t>(std::max(nRepeat, 0)), ch) {}
CString::~CString() = default;

int CString::GetLength() const {
  return static_cast<int>(data_.size());
}
BOOL CString::IsEmpty() const {
  return data_.empty();
}
void CString::Empty() {
  data_.clear();
}
char CString::GetAt(int nIndex) const {
  return data_.at(static_cast<size_t>(nIndex));
}
char CString::operator[](int nIndex) const {
  return GetAt(nIndex);
}
void CString::SetAt(int nIndex, char ch) {
  data_.at(static_cast<size_t>(nIndex)) = ch;
}
CString::operator LPCSTR() const {
  return data_.c_str();
}

const CString& CString::operator=(const CString& stringSrc) {
  data_ = stringSrc.data_;
  return *this;
}
const CString& CString::operator=(LPCSTR lpsz) {
  data_ = lpsz ? lpsz : "";
  return *this;
}
const CString& CString::operator=(char ch) {
  data_.assign(1, ch);
  return *this;
}
const CString& CString::operator+=(const CString& string) {
  data_ += string.data_;
  return *this;
}
const CString& CString::operator+=(LPCSTR lpsz) {
  if (lpsz) data_ += lpsz;
  return *this;
}
const CString& CString::operator+=(char ch) {
  data_ += ch;
  return *this;
}

CString operator+(const CString& string1, const CString& string2) {
  CString result(string1);
  result += string2;
  return result;
}
CString operator+(const CString& string, LPCSTR lpsz) {
  CString result(string);
  result += lpsz;
  return result;
}
CString operator+(LPCSTR lpsz, const CString& string) {
  CString result(lpsz);
  result += string;
  return result;
}
CString operator+(const CString& string, char ch) {
  CString result(string);
  result += ch;
  return result;
}
CString operator+(char ch, const CString& string) {
  CString result(ch);
  result += string;
  return result;
}

// Compare and CompareNoCase are MFC's strict comparisons, character code against character code
// (the latter with A-Z folded to a-z), as the C runtime's strcmp and _stricmp: "co-op" comes
// before "con". Collate follows the language's rules, ignoring the hyphen: "co-op" after "con".
int CString::Compare(LPCSTR lpsz) const {
  return std::strcmp(data_.c_str(), lpsz ? lpsz : "");
}
int CString::CompareNoCase(LPCSTR lpsz) const {
  const unsigned char* a = reinterpret_cast<const unsigned char*>(data_.c_str());
  const unsigned char* b = reinterpret_cast<const unsigned char*>(lpsz ? lpsz : "");
  auto fold = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : int{c}; };
  for (;; ++a, ++b) {
    const int difference = fold(*a) - fold(*b);
    if (difference != 0 || *a == '\0') return difference;
  }
}
int CString::Collate(LPCSTR lpsz) const {
  return lstrcmpA(data_.c_str(), lpsz ? lpsz : "");
}

bool operator==(const CString& s1, const CString& s2) {
  return s1.Compare(s2) == 0;
}
bool operator==(const CString& s1, LPCSTR s2) {
  return s1.Compare(s2) == 0;
}
bool operator==(LPCSTR s1, const CString& s2) {
  return s2.Compare(s1) == 0;
}
bool operator!=(const CString& s1, const CString& s2) {
  return s1.Compare(s2) != 0;
}
bool operator!=(const CString& s1, LPCSTR s2) {
  return s1.Compare(s2) != 0;
}
bool operator!=(LPCSTR s1, const CString& s2) {
  return s2.Compare(s1) != 0;
}
bool operator<(const CString& s1, const CString& s2) {
  return s1.Compare(s2) < 0;
}
bool operator>(const CString& s1, const CString& s2) {
  return s1.Compare(s2) > 0;
}

CString CString::Mid(int nFirst, int nCount) const {
  int length = GetLength();
  nFirst = Clamp(nFirst, 0, length);
  nCount = Clamp(nCount, 0, length - nFirst);
  return CString(data_.c_str() + nFirst, nCount);
}
CString CString::Mid(int nFirst) const {
  return Mid(nFirst, GetLength());
}
CString CString::Left(int nCount) const {
  return Mid(0, nCount);
}
CString CString::Right(int nCount) const {
  nCount = Clamp(nCount, 0, GetLength());
  return Mid(GetLength() - nCount, nCount);
}
CString CString::SpanIncluding(LPCSTR lpszCharSet) const {
  return Left(static_cast<int>(std::strspn(data_.c_str(), lpszCharSet)));
}
CString CString::SpanExcluding(LPCSTR lpszCharSet) const {
  return Left(static_cast<int>(std::strcspn(data_.c_str(), lpszCharSet)));
}

void CString::MakeUpper() {
  CharUpperBuffA(&data_[0], static_cast<DWORD>(data_.size()));
}
void CString::MakeLower() {
  CharLowerBuffA(&data_[0], static_cast<DWORD>(data_.size()));
}
void CString::MakeReverse() {
  std::reverse(data_.begin(), data_.end());
}

namespace {
bool IsBlank(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}
}  // namespace

void CString::TrimRight() {
  while (!data_.empty() && IsBlank(data_.back())) data_.pop_back();
}
void CString::TrimLeft() {
  size_t n = 0;
  while (n < data_.size() && IsBlank(data_[n])) ++n;
  data_.erase(0, n);
}
void CString::TrimRight(char chTarget) {
  while (!data_.empty() && data_.back() == chTarget) data_.pop_back();
}
void CString::TrimLeft(char chTarget) {
  size_t n = 0;
  while (n < data_.size() && data_[n] == chTarget) ++n;
  data_.erase(0, n);
}

int CString::Find(char ch) const {
  return Find(ch, 0);
}
int CString::Find(LPCSTR lpszSub) const {
  return Find(lpszSub, 0);
}
int CString::Find(char ch, int nStart) const {
  if (nStart < 0 || nStart >= GetLength()) return -1;
  size_t at = data_.find(ch, static_cast<size_t>(nStart));
  return at == std::string::npos ? -1 : static_cast<int>(at);
}
int CString::Find(LPCSTR lpszSub, int nStart) const {
  if (lpszSub == nullptr || nStart < 0 || nStart > GetLength()) return -1;
  size_t at = data_.find(lpszSub, static_cast<size_t>(nStart));
  return at == std::string::npos ? -1 : static_cast<int>(at);
}
int CString::ReverseFind(char ch) const {
  size_t at = data_.rfind(ch);
  return at == std::string::npos ? -1 : static_cast<int>(at);
}
int CString::FindOneOf(LPCSTR lpszCharSet) const {
  size_t at = data_.find_first_of(lpszCharSet ? lpszCharSet : "");
  return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::Replace(char chOld, char chNew) {
  int count = 0;
  for (char& c : data_) {
    if (c == chOld) {
      c = chNew;
      ++count;
    }
  }
  return count;
}

int CString::Replace(LPCSTR lpszOld, LPCSTR lpszNew) {
  if (lpszOld == nullptr || *lpszOld == '\0') return 0;
  std::string from(lpszOld);
  std::string to(lpszNew ? lpszNew : "");
  int count = 0;
  size_t at = 0;
  while ((at = data_.find(from, at)) != std::string::npos) {
    data_.replace(at, from.size(), to);
    at += to.size();
    ++count;
  }
  return count;
}

int CString::Remove(char chRemove) {
  size_t before = data_.size();
  data_.erase(std::remove(data_.begin(), data_.end(), chRemove), data_.end());
  return static_cast<int>(before - data_.size());
}

int CString::Insert(int nIndex, char ch) {
  nIndex = Clamp(nIndex, 0, GetLength());
  data_.insert(static_cast<size_t>(nIndex), 1, ch);
  return GetLength();
}

int CString::Insert(int nIndex, LPCSTR pstr) {
  nIndex = Clamp(nIndex, 0, GetLength());
  if (pstr) data_.insert(static_cast<size_t>(nIndex), pstr);
  return GetLength();
}

int CString::Delete(int nIndex, int nCount) {
  nIndex = Clamp(nIndex, 0, GetLength());
  nCount = Clamp(nCount, 0, GetLength() - nIndex);
  data_.erase(static_cast<size_t>(nIndex), static_cast<size_t>(nCount));
  return GetLength();
}

void CString::FormatV(LPCSTR lpszFormat, va_list argList) {
#ifdef _WIN32
  const char* format = lpszFormat;
#else
  std::string translated = lyrwin::TranslateWindowsFormat(lpszFormat ? lpszFormat : "");
  const char* format = translated.c_str();
#endif
  va_list probe;
  va_copy(probe, argList);
  int needed = std::vsnprintf(nullptr, 0, format, probe);
  va_end(probe);
  if (needed < 0) {
    data_.clear();
    return;
  }
  std::string result(static_cast<size_t>(needed), '\0');
  std::vsnprintf(&result[0], result.size() + 1, format, argList);
  data_ = std::move(result);
}

void CString::Format(LPCSTR lpszFormat, ...) {
  va_list args;
  va_start(args, lpszFormat);
  FormatV(lpszFormat, args);
  va_end(args);
}

void CString::Format(UINT nFormatID, ...) {
  CString format;
  format.LoadString(nFormatID);
  va_list args;
  va_start(args, nFormatID);
  FormatV(format, args);
  va_end(args);
}

BOOL CString::LoadString(UINT nID) {
#ifdef _WIN32
  char buffer[4096];
  int n = ::LoadStringA(::GetModuleHandleA(nullptr), nID, buffer, sizeof buffer);
  data_.assign(buffer, n > 0 ? static_cast<size_t>(n) : 0);
  return n > 0;
#else
  return LyrGetHostString(nID, &data_);
#endif
}

LPSTR CString::GetBuffer(int nMinBufLength) {
  if (nMinBufLength > GetLength()) data_.resize(static_cast<size_t>(nMinBufLength));
  return &data_[0];
}

void CString::ReleaseBuffer(int nNewLength) {
  if (nNewLength < 0) nNewLength = static_cast<int>(std::strlen(data_.c_str()));
  data_.resize(static_cast<size_t>(Clamp(nNewLength, 0, GetLength())));
}

LPSTR CString::GetBufferSetLength(int nNewLength) {
  data_.resize(static_cast<size_t>(std::max(nNewLength, 0)));
  return &data_[0];
}

void CString::FreeExtra() {
  data_.shrink_to_fit();
}
LPSTR CString::LockBuffer() {
  return &data_[0];
}
void CString::UnlockBuffer() {}
