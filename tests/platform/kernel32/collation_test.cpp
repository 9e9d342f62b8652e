// lstrcmpA, lstrcmpiA and CompareStringA order text as Windows' word sort does in code page 1252.
#include "lyr_test.h"

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

int Sign(int v) {
  return (v > 0) - (v < 0);
}

// Pairs and the sign of their comparison. The texts are code page 1252 in octal escapes, which
// end after three digits: \351 é, \311 É, \337 ß, \346 æ, \234 œ, \255 the soft hyphen.
struct Ordered {
  const char* a;
  const char* b;
  int sign;
};

void ExpectOrders(bool caseBlind, std::initializer_list<Ordered> pairs) {
  for (const Ordered& p : pairs) {
    const int order = caseBlind ? lstrcmpiA(p.a, p.b) : lstrcmpA(p.a, p.b);
    EXPECT_EQ(Sign(order), p.sign) << (caseBlind ? "lstrcmpiA " : "lstrcmpA ")
                                   << (p.a ? p.a : "NULL") << " " << (p.b ? p.b : "NULL");
  }
}

TEST(CollationTest, WordSortOrdersAsPeopleRead) {
  // Hyphens and apostrophes weigh only when all else is equal; symbols come before digits,
  // digits before letters; an accent weighs only where the letters are equal.
  std::vector<std::string> expected = {"!x",        "#1",   "1abc",  "9",   "cant",
                                       "can't",     "coop", "co-op", "cop", "eclair",
                                       "\351clair", "ezra", "fa"};
  std::vector<std::string> shuffled = expected;
  std::reverse(shuffled.begin(), shuffled.end());
  std::rotate(shuffled.begin(), shuffled.begin() + 5, shuffled.end());
  std::sort(shuffled.begin(), shuffled.end(), [](const std::string& a, const std::string& b) {
    return lstrcmpiA(a.c_str(), b.c_str()) < 0;
  });
  EXPECT_EQ(shuffled, expected);
  ExpectOrders(true, {{"\351", "f", -1},    // é before f
                      {"\351", "e", 1},     // and after e
                      {"\351a", "eb", -1},  // the accent does not outweigh a later letter
                      {"r\351sum\351", "resumes", -1},
                      {"a-b", "a-c", -1},
                      {"ab", "a-b", -1}});
}

// Where Wine's word sort weighs otherwise: set-aside characters compared by where they stand,
// and control characters that weigh nothing.
TEST(CollationTest, SetAsideAndControlCharactersWeighAsInTheWordSort) {
  SKIP_UNDER_WINE("Wine finds \"co-op\" and \"coo-p\" equal and weighs control characters");
  ExpectOrders(true, {{"co-op", "coo-p", -1}});  // the earlier set-aside character first
  ExpectOrders(false, {{"a\001b", "ab", 0}});
}

TEST(CollationTest, ExpansionsAndCase) {
  ExpectOrders(true, {{"stra\337e", "STRASSE", 0},  // ß is ss
                      {"\346on", "AEON", 0},        // æ is ae
                      {"\234uvre", "oeuvre", 0},    // œ is oe
                      {"\311T\311", "\351t\351", 0},
                      {"stra\337e", "strasser", -1},
                      {"ab\255c", "abc", 0},  // the soft hyphen weighs nothing
                      {nullptr, nullptr, 0},  // a null pointer sorts before every string
                      {nullptr, "", -1}});
  // Case counts only where everything else is equal, lower case first.
  ExpectOrders(false, {{"a", "A", -1},
                       {"A", "b", -1},
                       {"Apple", "apples", -1},
                       {"stra\337e", "STRASSE", -1},
                       {"same", "same", 0},
                       {"", nullptr, 1}});
}

TEST(CollationTest, CompareStringAResultsLengthsAndFlags) {
  EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, "abc", -1, "ABC", -1), CSTR_EQUAL);
  EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, 0, "abc", -1, "ABC", -1), CSTR_LESS_THAN);
  EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, 0, "abd", -1, "abc", -1), CSTR_GREATER_THAN);
  // Counted lengths compare only those bytes.
  EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, 0, "abcdef", 3, "abcxyz", 3), CSTR_EQUAL);
  EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, 0, "ab", 2, "abc", -1), CSTR_LESS_THAN);
  // Accents left out; the hyphen weighed as a symbol in the string sort.
  EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORENONSPACE, "\xE9t\xE9", -1, "ete", -1),
            CSTR_EQUAL);
  EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, 0, "co-op", -1, "coa", -1), CSTR_GREATER_THAN);
  EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, SORT_STRINGSORT, "co-op", -1, "coa", -1),
            CSTR_LESS_THAN);
  // Errors: 0 and the reason.
  EXPECT_FAILS_AS(CompareStringA(LOCALE_USER_DEFAULT, 0, nullptr, -1, "a", -1), 0,
                  ERROR_INVALID_PARAMETER);
  EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, LOCALE_USE_CP_ACP, "b", -1, "a", -1),
            CSTR_GREATER_THAN);  // the ANSI code page asked for by name
  EXPECT_FAILS_AS(CompareStringA(LOCALE_USER_DEFAULT, 0x80000000, "a", -1, "a", -1), 0,
                  ERROR_INVALID_FLAGS);
}

TEST(CollationTest, TheOrderIsTotalOverEveryPairOfCharacters) {
  // Antisymmetric, and transitive on triples: a sort of all 255 one-character strings is stable.
  std::vector<std::string> all;
  for (int c = 1; c < 256; ++c) all.push_back(std::string(1, static_cast<char>(c)) + "x");
  for (const std::string& a : all) {
    for (const std::string& b : all) {
      ASSERT_EQ(Sign(lstrcmpA(a.c_str(), b.c_str())), -Sign(lstrcmpA(b.c_str(), a.c_str())));
    }
  }
  std::stable_sort(all.begin(), all.end(), [](const std::string& a, const std::string& b) {
    return lstrcmpA(a.c_str(), b.c_str()) < 0;
  });
  for (size_t i = 0; i + 1 < all.size(); ++i)
    EXPECT_LE(lstrcmpA(all[i].c_str(), all[i + 1].c_str()), 0) << i;
}

// Without regard to case, the word sort and the string sort differ only in the hyphen and the
// apostrophe; over strings without them, lstrcmpi (the word sort, which log filters use per
// record) agrees with the string sort on every pair: mostly letters and digits in either case,
// and now and then a blank, a symbol, an accented letter, an expansion or a control character.
TEST(CollationTest, CaseBlindComparisonAgreesWithTheStringSort) {
  SKIP_UNDER_WINE("Wine's string sort puts \"9\" after \"aM\", its word sort before");
  const std::string letters = "aAbBzZ09mM";
  const std::string others = " .\xE9\xC9\xDF\x01_";
  std::mt19937 random(7);
  auto text = [&]() {
    std::string s;
    for (size_t n = random() % 6; n > 0; --n) {
      s += random() % 8 ? letters[random() % letters.size()] : others[random() % others.size()];
    }
    return s;
  };
  for (int i = 0; i < 20000; ++i) {
    const std::string a = text();
    const std::string b = random() % 4 ? text() : a;
    const int wordSort = lstrcmpiA(a.c_str(), b.c_str());
    const int stringSort = CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE | SORT_STRINGSORT,
                                          a.c_str(), -1, b.c_str(), -1) -
                           CSTR_EQUAL;
    ASSERT_EQ((wordSort > 0) - (wordSort < 0), stringSort) << "\"" << a << "\" \"" << b << "\"";
    // Counted, with a letter past the count that must not be read.
    const std::string longerA = a + "z";
    ASSERT_EQ(CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, longerA.c_str(),
                             static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size())) -
                  CSTR_EQUAL,
              stringSort)
        << "\"" << a << "\" \"" << b << "\"";
  }
}

}  // namespace
