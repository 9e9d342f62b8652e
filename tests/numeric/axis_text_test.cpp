// Axis graduation and the small text utilities.
#include "lyr_test.h"

#include <cmath>
#include <limits>
#include <vector>

namespace {

std::vector<double> Ticks(double lo, double hi) {
  AxisStruct axis;
  axis.nCount = -1;
  GetAxis(lo, hi, axis);
  return std::vector<double>(axis.dValues, axis.dValues + axis.nCount);
}

TEST(GetAxisTest, RoundStepsAndTheirMultiples) {
  EXPECT_EQ(Ticks(0, 100), (std::vector<double>{0, 50, 100}));
  EXPECT_EQ(Ticks(0, 7), (std::vector<double>{0, 2, 4, 6}));
  // 0 to 24 in four parts: for the ideal step 6 the base 5 is on the edge, 5 x (6 - 5) = 5, and
  // stays 5 (not the next decade, 50), the nearest step of all.
  EXPECT_EQ(Ticks(0, 24), (std::vector<double>{0, 5, 10, 15, 20}));
  EXPECT_EQ(Ticks(0, 4), (std::vector<double>{0, 1, 2, 3, 4}));
  EXPECT_EQ(Ticks(-3, 7), (std::vector<double>{0, 5}));
  EXPECT_EQ(Ticks(-1, 1), (std::vector<double>{-1, -0.5, 0, 0.5, 1}));
  EXPECT_EQ(Ticks(12.3, 45.6), (std::vector<double>{20, 30, 40}));
  EXPECT_EQ(Ticks(-250, -20), (std::vector<double>{-250, -200, -150, -100, -50}));
  EXPECT_TRUE(Ticks(10, 0).empty());
  std::vector<double> small = Ticks(0, 0.003);
  ASSERT_EQ(small.size(), 3u);
  EXPECT_NEAR(small[2], 0.002, 1e-15);
}

TEST(GetAxisTest, DegenerateRangesStillReturn) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(Ticks(5, 5), (std::vector<double>{5}));
  EXPECT_TRUE(Ticks(std::nan(""), 1).empty());
  EXPECT_TRUE(Ticks(0, inf).empty());
  EXPECT_TRUE(Ticks(-1.7e308, 1.7e308).empty());  // the range itself overflows
  EXPECT_LE(Ticks(1e300, std::nextafter(1e300, 2e300)).size(), 5u);
  EXPECT_LE(Ticks(0, 4.9e-324).size(), 5u);
  // A step lost in the rounding of the values: no tick below the range, none repeated.
  EXPECT_TRUE(Ticks(-5.314010372517808e+303, -5.3140103725178076e+303).empty());
  // Ends near the largest doubles: the multiple below the lowest end would overflow, and the
  // ticks are still finite values within the range.
  // (The step is 5e307, a quarter of the range rounded.)
  // Values are sums of the step, so they are compared to a relative hair.
  auto expectNear = [](const std::vector<double>& got, const std::vector<double>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i] / want[i], 1.0, 1e-12) << i;
  };
  expectNear(Ticks(-1.78e308, -1.9e230), {-1.5e308, -1e308, -5e307});
  expectNear(Ticks(1e307, 1.78e308), {5e307, 1e308, 1.5e308});
}

TEST(TextUtilitiesTest, TitlesBreakAtTheSpaceNearestTheMiddle) {
  const struct {
    const char *title, *first, *second;
  } cases[] = {{"abc def ghi", "abc", "def ghi"}, {"ab cd", "ab", "cd"},
               {"abcdef", "abcdef", ""},          {"", "", ""},
               {"a bc d", "a", "bc d"},           {"ab\tcd", "ab\tcd", ""}};  // a tab is no break
  for (const auto& c : cases) {
    char first[64], second[64];
    ParseTitle(c.title, first, second);
    EXPECT_STREQ(first, c.first) << c.title;
    EXPECT_STREQ(second, c.second) << c.title;
  }
}

TEST(TextUtilitiesTest, SpacesAndFlags) {
  CString text = " a b  c ";
  RemoveSpaces(text);
  EXPECT_EQ(text, "abc");
  char plain[] = "a\tb c";
  RemoveSpaces(plain);
  EXPECT_STREQ(plain, "a\tbc");
  EXPECT_EQ(CheckFlag(6, 3), 1);
  EXPECT_EQ(CheckFlag(4, 3), 0);
  EXPECT_EQ(CheckFlag(ULONG{0x80000000u}, ULONG{0x80000000u}), 1);
  EXPECT_EQ(CheckFlag(static_cast<unsigned short>(0x8000), static_cast<unsigned short>(0x8000)), 1);
}

}  // namespace
