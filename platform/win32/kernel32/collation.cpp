// CompareStringA in code page 1252, and lstrcmpA and lstrcmpiA over it, as Windows compares: by
// the user's word sort, not by byte values. Strings are weighed level by level, the later levels
// deciding only where all earlier ones are equal:
//   1. letters, digits and symbols (symbols before digits, digits before letters, an accented
//      letter weighing as its base letter; ß and æ weigh as "ss" and "ae");
//   2. accents (so "é" sorts right after "e" where the rest is equal, and before "f");
//   3. case, lower before upper (left out with NORM_IGNORECASE);
//   4. the hyphen and the apostrophe, which the word sort sets aside until here, so that "co-op"
//      sorts right after "coop" and "can't" right after "cant" (with SORT_STRINGSORT they weigh
//      as the symbols they are, at level 1).
// Control characters and the soft hyphen weigh nothing at any level. The weights come from
// Unicode's collation data (collation_cp1252.inc, made by scripts/make_collation_table.cpp).
//
// This is the comparison for text that people read. Names of files and registry keys are matched
// by the file system's rule (CompareNoCase: upper-case mapping, no expansions); the two are
// different comparisons and are kept apart.
#include "internal.h"

#include <cstdint>
#include <cstring>

namespace lyrwin {
namespace {

struct CollationElement {
  uint16_t primary;
  uint8_t secondary;
  uint8_t tertiary;
};

struct CollationEntry {
  uint8_t count;
  uint8_t wordSortSpecial;
  CollationElement elements[3];
};

const CollationEntry kCollation[256] = {
#include "collation_cp1252.inc"
};

enum Level { kLetters, kAccents, kCase, kSetAside };

// Walks one string's weights at one level, without allocating: the comparison runs per audit
// record when a reviewer filters a log.
class LevelCursor {
 public:
  LevelCursor(const char* text, size_t length, Level level, DWORD flags)
      : text_(reinterpret_cast<const unsigned char*>(text)),
        length_(length),
        level_(level),
        wordSort_(!(flags & SORT_STRINGSORT)),
        accents_(!(flags & NORM_IGNORENONSPACE)) {}

  // The next non-zero weight; false at the end. At the set-aside level a weight is the
  // character's position and its own weight, so that earlier hyphens weigh first.
  bool Next(uint32_t* weight) {
    while (position_ < length_) {
      const CollationEntry& entry = kCollation[text_[position_]];
      const bool setAside = wordSort_ && entry.wordSortSpecial;
      if (level_ == kSetAside || setAside) {
        size_t at = position_++;
        element_ = 0;
        if (level_ == kSetAside && setAside) {
          *weight = static_cast<uint32_t>(at) << 16 | entry.elements[0].primary;
          return true;
        }
        continue;
      }
      if (element_ >= entry.count) {
        ++position_;
        element_ = 0;
        continue;
      }
      const CollationElement& element = entry.elements[element_++];
      // An accent is an element of its own, without a letter's weight: gone whole when ignored.
      if (!element.primary && !accents_) continue;
      uint32_t w = level_ == kLetters   ? element.primary
                   : level_ == kAccents ? element.secondary
                                        : element.tertiary;
      if (w) {
        *weight = w;
        return true;
      }
    }
    return false;
  }

 private:
  const unsigned char* text_;
  size_t length_;
  Level level_;
  bool wordSort_;
  bool accents_;
  size_t position_ = 0;
  int element_ = 0;
};

int CompareLevel(const char* a, size_t lengthA, const char* b, size_t lengthB, Level level,
                 DWORD flags) {
  LevelCursor ca(a, lengthA, level, flags);
  LevelCursor cb(b, lengthB, level, flags);
  for (;;) {
    uint32_t wa = 0;
    uint32_t wb = 0;
    bool moreA = ca.Next(&wa);
    bool moreB = cb.Next(&wb);
    if (!moreA || !moreB) return static_cast<int>(moreA) - static_cast<int>(moreB);
    if (wa != wb) return wa < wb ? -1 : 1;
  }
}

size_t CountedLength(LPCSTR text, int count) {
  if (count >= 0) return static_cast<size_t>(count);
  return std::strlen(text);
}

bool IsAsciiLetterOrDigit(unsigned char c) {
  return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z');
}

// Without regard to case, strings that agree in letters and digits up to their first difference
// of letter or digit are ordered by it, and a string that is a prefix of the other by a letter or
// digit comes first: letters and digits weigh in the order of their codes with A-Z folded, and
// nothing later can change a decided first level. 1 or -1 then, 0 for two such strings equal
// without regard to case, and kUndecided where anything else comes first (a symbol, a
// control character, an accented letter), which the full comparison decides. This is the
// comparison a log filter makes for each record. A length of kUntilNul ends a string at its NUL,
// so that the usual call measures nothing first.
constexpr int kUndecided = 2;
constexpr size_t kUntilNul = SIZE_MAX;

int CompareLettersAndDigitsNoCase(const char* a, size_t lengthA, const char* b, size_t lengthB) {
  for (size_t i = 0;; ++i) {
    const bool endA = lengthA == kUntilNul ? a[i] == '\0' : i == lengthA;
    const bool endB = lengthB == kUntilNul ? b[i] == '\0' : i == lengthB;
    if (endA && endB) return 0;
    const unsigned char ca = endA ? 0 : static_cast<unsigned char>(a[i]);
    const unsigned char cb = endB ? 0 : static_cast<unsigned char>(b[i]);
    if ((!endA && !IsAsciiLetterOrDigit(ca)) || (!endB && !IsAsciiLetterOrDigit(cb)))
      return kUndecided;
    if (endA || endB) return endA ? -1 : 1;
    const int fa = FoldLower(ca);
    const int fb = FoldLower(cb);
    if (fa != fb) return fa < fb ? -1 : 1;
  }
}

}  // namespace

int CollateCp1252(const char* a, size_t lengthA, const char* b, size_t lengthB, DWORD flags) {
  for (Level level : {kLetters, kAccents, kCase, kSetAside}) {
    if (level == kAccents && (flags & NORM_IGNORENONSPACE)) continue;
    if (level == kCase && (flags & NORM_IGNORECASE)) continue;
    if (int d = CompareLevel(a, lengthA, b, lengthB, level, flags)) return d;
  }
  return 0;
}

}  // namespace lyrwin

extern "C" int WINAPI CompareStringA(LCID, DWORD dwCmpFlags, LPCSTR lpString1, int cchCount1,
                                     LPCSTR lpString2, int cchCount2) {
  constexpr DWORD kKnownFlags =
      NORM_IGNORECASE | NORM_IGNORENONSPACE | SORT_STRINGSORT | LOCALE_USE_CP_ACP;
  if (lpString1 == nullptr || lpString2 == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (dwCmpFlags & ~kKnownFlags) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  if ((dwCmpFlags & ~LOCALE_USE_CP_ACP) == NORM_IGNORECASE) {
    const int quick = lyrwin::CompareLettersAndDigitsNoCase(
        lpString1, cchCount1 < 0 ? lyrwin::kUntilNul : static_cast<size_t>(cchCount1), lpString2,
        cchCount2 < 0 ? lyrwin::kUntilNul : static_cast<size_t>(cchCount2));
    if (quick != lyrwin::kUndecided) return CSTR_EQUAL + quick;
  }
  int d = lyrwin::CollateCp1252(lpString1, lyrwin::CountedLength(lpString1, cchCount1), lpString2,
                                lyrwin::CountedLength(lpString2, cchCount2), dwCmpFlags);
  return CSTR_EQUAL + d;
}

namespace {
// lstrcmp and lstrcmpi take a null pointer as sorting before every string, the empty one too.
int CompareWithNulls(LPCSTR a, LPCSTR b, DWORD flags) {
  if (a == nullptr || b == nullptr) return (a != nullptr) - (b != nullptr);
  return CompareStringA(LOCALE_USER_DEFAULT, flags, a, -1, b, -1) - CSTR_EQUAL;
}
}  // namespace

extern "C" int WINAPI lstrcmpA(LPCSTR lpString1, LPCSTR lpString2) {
  return CompareWithNulls(lpString1, lpString2, 0);
}

extern "C" int WINAPI lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2) {
  return CompareWithNulls(lpString1, lpString2, NORM_IGNORECASE);
}
