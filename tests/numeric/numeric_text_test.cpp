// Numbers as dialogs show and read them.
#include "lyr_test.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace {

std::string Format(double value, unsigned short decimals, unsigned short maxLength,
                   int exponent = 0) {
  char out[400];
  std::memset(out, 'Z', sizeof out);
  FormatFloatString(value, out, decimals, maxLength, exponent);
  return out;
}

TEST(FormatFloatStringTest, FixedFormRoundsHalfUpAfterTheNudge) {
  EXPECT_EQ(Format(2.5, 1, 10), "2.5");
  EXPECT_EQ(Format(-3.25, 2, 14), "-3.25");
  EXPECT_EQ(Format(-0.5, 1, 10), "-0.5");
  EXPECT_EQ(Format(1.961, 2, 10), "1.96");
  EXPECT_EQ(Format(1.996, 2, 10), "2.00");
  EXPECT_EQ(Format(1.96, 0, 10), "2");
  EXPECT_EQ(Format(0.15, 1, 10), "0.2");  // stored just below the boundary
  EXPECT_EQ(Format(10000, 2, 14), "10000.00");
  EXPECT_EQ(Format(0, 2, 3), "0.0");              // zero that does not fit is cut
  EXPECT_EQ(Format(0.5, 12, 20), "0.500000000");  // the fraction fits 32 bits
}

TEST(FormatFloatStringTest, ExponentFormAndOverflowMarker) {
  EXPECT_EQ(Format(0.00001, 2, 10), "1.00e-5");
  EXPECT_EQ(Format(0.001, 2, 14), "1.00e-3");
  EXPECT_EQ(Format(123456.789, 2, 8), "1.23e5");
  EXPECT_EQ(Format(5000000000.0, 2, 14), "5.00e9");
  EXPECT_EQ(Format(12345.678, 2, 14, 1), "1.23e4");
  EXPECT_EQ(Format(0, 2, 14, 1), "0.00e0");
  EXPECT_EQ(Format(9996, 2, 14, 1), "10.00e3");  // not normalised again after rounding
  EXPECT_EQ(Format(99999.5, 2, 6), "10.0e4");
  EXPECT_EQ(Format(-1234.5, 2, 8, 1), "-1.23e3");
  EXPECT_EQ(Format(0.3, 0, 10), "**000**");
  EXPECT_EQ(Format(123456789, 0, 5), "**000**");
  EXPECT_EQ(Format(123456789, 2, 3), "**000**");  // the marker is written whole
}

TEST(FormatFloatStringTest, InputsNoDialogSendsStillGetAnAnswer) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(Format(std::nan(""), 2, 14), "**000**");
  EXPECT_EQ(Format(inf, 2, 14), "**000**");
  EXPECT_EQ(Format(-inf, 2, 14), "**000**");
  EXPECT_EQ(Format(DBL_MAX, 2, 14), "1.80e308");
  EXPECT_EQ(Format(-DBL_MAX, 2, 14), "-1.80e308");
  // The nudge of 1e-13 outweighs the tiniest values; scaled up by repeated multiplication it is
  // a hair below 10 and rounds to 10.00.
  EXPECT_EQ(Format(4.9e-324, 2, 14), "10.00e-14");
  EXPECT_EQ(Format(DBL_MIN, 2, 14), "10.00e-14");
  // With many decimals the nudge itself shows: the fraction keeps all the digits 32 bits hold.
  EXPECT_EQ(Format(1.0, 65535, 30), "1.0000000000000999200722");
  EXPECT_EQ(Format(1.0, 65535, 65535).substr(0, 6), "1.0000");
  for (unsigned short length : {0, 1, 5}) {
    std::string text = Format(2.0 / 3.0, 3, length);
    EXPECT_TRUE(text.size() <= length || text == "**000**") << text;
  }
}

TEST(LyraAtofTest, ConvertsAndGuardsTheDecimalMagnitude) {
  const double kNotChecked = -1;
  const struct {
    const char* text;
    int result;  // 1: refused, and the value set to 1
    double value;
  } cases[] = {
      {"  1.5e3", 0, 1500.0},
      {"12E126", 1, 1.0},
      {"5E126", 0, 5e126},
      {"0.5E-127", 0, kNotChecked},
      {"5E-129", 1, kNotChecked},
      {"abc", 0, 0.0},
      {"1,5", 0, 1.0},
      {"1E", 0, 1.0},
      {"inf", 0, 0.0},                   // the classic conversion knows no infinity
      {"1E4294967296", 1, kNotChecked},  // an exponent past 32 bits does not wrap round
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    std::string text = c.text;
    double value = -1;
    EXPECT_EQ(Lyra_atof(&value, &text[0]), c.result);
    if (c.value != kNotChecked) {
      EXPECT_EQ(value, c.value);
    }
  }
}

TEST(LyraAtofTest, TextLongerThanFifteenCharactersIsRefused) {
  double value = 0;
  char fits[] = "  123456789012345  ";
  EXPECT_EQ(Lyra_atof(&value, fits), 0);
  EXPECT_EQ(value, 123456789012345.0);
  char tooLong[] = "1234567890123456";
  EXPECT_EQ(Lyra_atof(&value, tooLong), 1);
  EXPECT_EQ(value, 1.0);
  std::string huge(10000, '7');
  EXPECT_EQ(Lyra_atof(&value, &huge[0]), 1);
}

}  // namespace
