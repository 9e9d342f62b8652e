// Case in code page 1252, the ANSI code page of the stand-in: ASCII letters, the accented letters
// of 0xC0-0xFE (less the multiplication and division signs) and the four letters that 1252 puts
// in 0x80-0x9F (S and Z with caron, the OE ligature, Y with diaeresis).
#include "internal.h"

#include <mbstring.h>

namespace lyrwin {

unsigned char FoldLower(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
  switch (c) {
    case 0x8A:
    case 0x8C:
    case 0x8E:
      return static_cast<unsigned char>(c + 16);
    case 0x9F:
      return 0xFF;
    default:
      return c;
  }
}

unsigned char FoldUpper(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 32);
  switch (c) {
    case 0x9A:
    case 0x9C:
    case 0x9E:
      return static_cast<unsigned char>(c - 16);
    case 0xFF:
      return 0x9F;
    default:
      return c;
  }
}

int CompareNoCase(const char* a, const char* b) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(a);
  const unsigned char* q = reinterpret_cast<const unsigned char*>(b);
  for (;; ++p, ++q) {
    int d = FoldLower(*p) - FoldLower(*q);
    if (d != 0 || *p == 0) return d;
  }
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldLower(static_cast<unsigned char>(a[i])) != FoldLower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

}  // namespace lyrwin

using lyrwin::FoldLower;
using lyrwin::FoldUpper;

extern "C" LPSTR WINAPI CharLowerA(LPSTR lpsz) {
  if (lpsz == nullptr) return nullptr;
  // A pointer whose high word is zero carries one character in its low byte.
  if ((reinterpret_cast<uintptr_t>(lpsz) >> 16) == 0) {
    return reinterpret_cast<LPSTR>(static_cast<uintptr_t>(
        FoldLower(static_cast<unsigned char>(reinterpret_cast<uintptr_t>(lpsz)))));
  }
  for (char* p = lpsz; *p; ++p) *p = static_cast<char>(FoldLower(static_cast<unsigned char>(*p)));
  return lpsz;
}

extern "C" LPSTR WINAPI CharUpperA(LPSTR lpsz) {
  if (lpsz == nullptr) return nullptr;
  if ((reinterpret_cast<uintptr_t>(lpsz) >> 16) == 0) {
    return reinterpret_cast<LPSTR>(static_cast<uintptr_t>(
        FoldUpper(static_cast<unsigned char>(reinterpret_cast<uintptr_t>(lpsz)))));
  }
  for (char* p = lpsz; *p; ++p) *p = static_cast<char>(FoldUpper(static_cast<unsigned char>(*p)));
  return lpsz;
}

extern "C" DWORD WINAPI CharLowerBuffA(LPSTR lpsz, DWORD cchLength) {
  if (lpsz == nullptr) return 0;
  for (DWORD i = 0; i < cchLength; ++i)
    lpsz[i] = static_cast<char>(FoldLower(static_cast<unsigned char>(lpsz[i])));
  return cchLength;
}

extern "C" DWORD WINAPI CharUpperBuffA(LPSTR lpsz, DWORD cchLength) {
  if (lpsz == nullptr) return 0;
  for (DWORD i = 0; i < cchLength; ++i)
    lpsz[i] = static_cast<char>(FoldUpper(static_cast<unsigned char>(lpsz[i])));
  return cchLength;
}

extern "C" int _mbscmp(const unsigned char* string1, const unsigned char* string2) {
  // In a single-byte code page the multibyte comparison is the byte comparison.
  for (; *string1 && *string1 == *string2; ++string1, ++string2) {
  }
  return *string1 < *string2 ? -1 : (*string1 > *string2 ? 1 : 0);
}

// The C runtime starts in the "C" locale, where only the ASCII letters have case.
namespace {
char AsciiUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}
char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}
}  // namespace

extern "C" char* _strupr(char* str) {
  for (char* p = str; p && *p; ++p) *p = AsciiUpper(*p);
  return str;
}

extern "C" char* _strlwr(char* str) {
  for (char* p = str; p && *p; ++p) *p = AsciiLower(*p);
  return str;
}

extern "C" int _strnicmp(const char* string1, const char* string2, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    int d = static_cast<unsigned char>(AsciiLower(string1[i])) -
            static_cast<unsigned char>(AsciiLower(string2[i]));
    if (d != 0 || string1[i] == 0) return d;
  }
  return 0;
}

extern "C" int _stricmp(const char* string1, const char* string2) {
  return _strnicmp(string1, string2, static_cast<size_t>(-1));
}
