// Writes platform/win32/kernel32/collation_cp1252.inc: the sort weights of the 256 characters of code page
// 1252 for the stand-in's CompareStringA, taken once from Unicode's collation data through ICU's
// root collator. ICU is needed only here, never when the stand-in runs:
//
//   g++ -std=c++17 scripts/make_collation_table.cpp -o /tmp/make_collation_table
//       $(pkg-config --cflags --libs icu-i18n icu-uc)    (one line; Debian package libicu-dev)
//   /tmp/make_collation_table > platform/win32/kernel32/collation_cp1252.inc
//
// Each character becomes up to a few collation elements of three weights: the letter (primary),
// the accent (secondary) and the case (tertiary), each ranked densely so that the table holds
// small numbers. Two departures from ICU make the table Windows' word sort:
//  - ICU tells the ligatures and the sharp s from their spellings (æ from ae, ß from ss) by an
//    accent weight; Windows treats them as the letters spelt out, so a character that expands to
//    two or more letters keeps only its letters, each with the accent of a plain letter.
//  - The hyphen and the apostrophe are marked: Windows sets them aside and weighs them only when
//    everything else is equal, so "co-op" sorts right after "coop".
// Before it prints, the program checks every pair of characters and of two-character strings
// against ICU at the accent strength, and fails on any difference not due to the first rule.
#include <unicode/ucnv.h>
#include <unicode/ucol.h>
#include <unicode/ucoleitr.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

struct Element {
  uint32_t primary = 0;
  uint32_t secondary = 0;
  uint32_t tertiary = 0;
};

struct Character {
  UChar unicode = 0;
  std::vector<Element> elements;
  bool wordSortSpecial = false;
  bool lostAccentElements = false;
};

UChar ToUnicode(UConverter* converter, unsigned char byte) {
  UErrorCode status = U_ZERO_ERROR;
  UChar out[4];
  char in = static_cast<char>(byte);
  int32_t n = ucnv_toUChars(converter, out, 4, &in, 1, &status);
  // Windows maps the five bytes that 1252 leaves undefined to the C1 controls of the same value.
  if (U_FAILURE(status) || n != 1 || out[0] == 0xFFFD || out[0] == 0x1A) return byte;
  return out[0];
}

// The collation elements of one character. ICU's iterator hands out 32-bit halves of its 64-bit
// elements: a long primary or a two-byte secondary comes as a first half followed by a
// continuation (low bits 0xC0), which is joined back here.
std::vector<Element> ElementsOf(UCollator* collator, UChar c) {
  UErrorCode status = U_ZERO_ERROR;
  UCollationElements* it = ucol_openElements(collator, &c, 1, &status);
  std::vector<Element> elements;
  std::vector<uint32_t> halves;
  for (;;) {
    int32_t ce = ucol_next(it, &status);
    if (ce == UCOL_NULLORDER || U_FAILURE(status)) break;
    halves.push_back(static_cast<uint32_t>(ce));
  }
  ucol_closeElements(it);
  for (size_t i = 0; i < halves.size(); ++i) {
    uint32_t first = halves[i];
    uint32_t second = 0;
    if (i + 1 < halves.size() && (halves[i + 1] & 0xC0) == 0xC0) second = halves[++i];
    Element e;
    e.primary = (first & 0xFFFF0000u) | (second >> 16);
    e.secondary = ((first >> 8) & 0xFF) << 8 | ((second >> 8) & 0xFF);
    e.tertiary = (first & 0xFF) << 8 | (second & 0x3F);
    if (e.primary || e.secondary || e.tertiary) elements.push_back(e);
  }
  return elements;
}

// Dense ranks from 1 for the distinct non-zero values; 0 stays 0 (ignorable at that level).
std::map<uint32_t, uint32_t> Ranks(const std::set<uint32_t>& values) {
  std::map<uint32_t, uint32_t> ranks;
  uint32_t next = 1;
  for (uint32_t v : values) {
    if (v != 0) ranks[v] = next++;
  }
  ranks[0] = 0;
  return ranks;
}

// The table's comparison at the accent strength, as the stand-in makes it (word sort off, so
// that it can be held against ICU, which knows none).
int TableCompare(const std::vector<Character>& table, const std::vector<unsigned char>& a,
                 const std::vector<unsigned char>& b) {
  for (int level = 0; level < 2; ++level) {
    auto weights = [&](const std::vector<unsigned char>& s) {
      std::vector<uint32_t> w;
      for (unsigned char c : s) {
        for (const Element& e : table[c].elements) {
          uint32_t v = level == 0 ? e.primary : e.secondary;
          if (v) w.push_back(v);
        }
      }
      return w;
    };
    std::vector<uint32_t> wa = weights(a);
    std::vector<uint32_t> wb = weights(b);
    if (wa != wb) return wa < wb ? -1 : 1;
  }
  return 0;
}

int IcuCompare(UCollator* collator, const std::vector<Character>& table,
               const std::vector<unsigned char>& a, const std::vector<unsigned char>& b) {
  std::u16string ua;
  std::u16string ub;
  for (unsigned char c : a) ua += static_cast<char16_t>(table[c].unicode);
  for (unsigned char c : b) ub += static_cast<char16_t>(table[c].unicode);
  UCollationResult r = ucol_strcoll(
      collator, reinterpret_cast<const UChar*>(ua.data()), static_cast<int32_t>(ua.size()),
      reinterpret_cast<const UChar*>(ub.data()), static_cast<int32_t>(ub.size()));
  return r == UCOL_LESS ? -1 : (r == UCOL_GREATER ? 1 : 0);
}

}  // namespace

int main() {
  UErrorCode status = U_ZERO_ERROR;
  UConverter* converter = ucnv_open("windows-1252", &status);
  UCollator* collator = ucol_open("", &status);
  if (U_FAILURE(status)) {
    std::fprintf(stderr, "ICU: %s\n", u_errorName(status));
    return 1;
  }

  std::vector<Character> table(256);
  for (int b = 1; b < 256; ++b) {
    Character& ch = table[b];
    ch.unicode = ToUnicode(converter, static_cast<unsigned char>(b));
    ch.elements = ElementsOf(collator, ch.unicode);
    ch.wordSortSpecial = b == '-' || b == '\'';
  }
  const uint32_t plainAccent = table['a'].elements.at(0).secondary;
  for (Character& ch : table) {
    size_t letters = std::count_if(ch.elements.begin(), ch.elements.end(),
                                   [](const Element& e) { return e.primary != 0; });
    if (letters < 2) continue;
    std::vector<Element> spelt;
    for (Element e : ch.elements) {
      if (e.primary == 0) continue;
      e.secondary = plainAccent;
      spelt.push_back(e);
    }
    ch.lostAccentElements =
        spelt.size() != ch.elements.size() ||
        !std::equal(spelt.begin(), spelt.end(), ch.elements.begin(),
                    [](const Element& x, const Element& y) { return x.secondary == y.secondary; });
    ch.elements = spelt;
  }

  // Check against ICU before ranking (raw weights compare as ranks do).
  ucol_setStrength(collator, UCOL_SECONDARY);
  int differences = 0;
  auto check = [&](const std::vector<unsigned char>& a, const std::vector<unsigned char>& b) {
    for (unsigned char c : a) {
      if (table[c].lostAccentElements) return;
    }
    for (unsigned char c : b) {
      if (table[c].lostAccentElements) return;
    }
    if (TableCompare(table, a, b) != IcuCompare(collator, table, a, b)) {
      if (++differences <= 10) std::fprintf(stderr, "differs: %02x.. %02x..\n", a[0], b[0]);
    }
  };
  for (int x = 1; x < 256; ++x) {
    for (int y = 1; y < 256; ++y) {
      check({static_cast<unsigned char>(x)}, {static_cast<unsigned char>(y)});
      for (unsigned char z : {'a', 'e', 'z', '0', ' '}) {
        check({static_cast<unsigned char>(x), z}, {static_cast<unsigned char>(y), z});
        check({z, static_cast<unsigned char>(x)}, {static_cast<unsigned char>(y)});
      }
    }
  }
  if (differences) {
    std::fprintf(stderr, "%d differences from ICU\n", differences);
    return 1;
  }

  std::set<uint32_t> primaries;
  std::set<uint32_t> secondaries;
  std::set<uint32_t> tertiaries;
  size_t widest = 0;
  for (const Character& ch : table) {
    widest = std::max(widest, ch.elements.size());
    for (const Element& e : ch.elements) {
      primaries.insert(e.primary);
      secondaries.insert(e.secondary);
      tertiaries.insert(e.tertiary);
    }
  }
  auto p = Ranks(primaries);
  auto s = Ranks(secondaries);
  auto t = Ranks(tertiaries);
  if (widest > 3 || p.size() > 0xFFFF || s.size() > 0xFF || t.size() > 0xFF) {
    std::fprintf(stderr, "the table's fields are too small\n");
    return 1;
  }

  std::printf(
      "// Made by scripts/make_collation_table.cpp from ICU %s's root collation; do not edit.\n",
      U_ICU_VERSION);
  std::printf(
      "// {elements, word-sort special, {{primary, secondary, tertiary}, ...}} per byte.\n");
  for (int b = 0; b < 256; ++b) {
    const Character& ch = table[b];
    std::printf("{%zu, %d, {", ch.elements.size(), ch.wordSortSpecial ? 1 : 0);
    for (size_t i = 0; i < ch.elements.size(); ++i) {
      const Element& e = ch.elements[i];
      std::printf("%s{%u, %u, %u}", i ? ", " : "", p[e.primary], s[e.secondary], t[e.tertiary]);
    }
    std::printf("}},  // 0x%02X U+%04X\n", b, ch.unicode);
  }
  ucol_close(collator);
  ucnv_close(converter);
  return 0;
}
