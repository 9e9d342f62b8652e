// The instrument's method frames and the name text they carry.
#include "lyr_test.h"

#include <cstring>
#include <string>

namespace {

const char kFixed[] = "1;2.5;3;4.5;5;6.5;7.5;8.5;9.5;10.5;0.5;12;13;14.5;15.5;16.5;17.5;18";

struct Decoded {
  Q7400Struct method;
  __structProgPressTemp events;
};

Decoded Decode(int full, const std::string& frame) {
  Decoded d;
  std::memset(&d, 0x7F, sizeof d);  // whatever is not filled keeps this pattern
  std::string copy = frame;
  Unzip(full, &copy[0], d.method, d.events);
  return d;
}

bool Untouched(const void* p, size_t size) {
  const unsigned char* b = static_cast<const unsigned char*>(p);
  for (size_t i = 0; i < size; ++i)
    if (b[i] != 0x7F) return false;
  return true;
}

std::string Name(int full, const std::string& frame) {
  std::string copy = frame;
  return static_cast<const char*>(UnZipTrame(full, &copy[0]));
}

int Valid(const char* table) {
  std::string copy = table;
  return CheckTTValid(&copy[0]);
}

TEST(MethodFramesTest, TimeTablesAreValidWhenMadeOfWholeTriples) {
  EXPECT_EQ(Valid(""), 1);
  EXPECT_EQ(Valid("10;P100;5;"), 1);
  EXPECT_EQ(Valid("10;X1;5;"), 0);
  EXPECT_EQ(Valid("0;T1;50;1000;S2;1;"), 1);
  EXPECT_EQ(Valid("10;P1;5"), 0);  // ends inside a triple
  EXPECT_EQ(Valid("10;P1"), 0);
  EXPECT_EQ(Valid("10;P1;5;#Run7;"), 0);
}

TEST(MethodFramesTest, FullFrameFillsTheMethodAndTheEvents) {
  Decoded d = Decode(1, kFixed);
  EXPECT_EQ(d.method.nField1, 1);
  EXPECT_EQ(d.method.dField2, 2.5);
  EXPECT_EQ(d.method.nField3, 3);
  EXPECT_EQ(d.method.nField5, 5);
  EXPECT_EQ(d.method.bField11Positive, 1);
  EXPECT_EQ(d.method.dField11, 0.5);
  EXPECT_EQ(d.method.nField12, 12);
  EXPECT_EQ(d.method.dField16, 16.5);
  EXPECT_EQ(d.method.nField18, 18);
  EXPECT_TRUE(Untouched(&d.method.dShortField9, sizeof(double)));
  EXPECT_TRUE(Untouched(&d.events, sizeof d.events));

  d = Decode(1, std::string(kFixed) + ";");
  EXPECT_TRUE(Untouched(&d.events, sizeof d.events));

  d = Decode(1, std::string(kFixed) + ";120000;P1;100000;-1500;T2;80;");
  EXPECT_EQ(d.events.bUsed[0], 1);
  EXPECT_EQ(d.events.nTime[0], 120);
  EXPECT_EQ(d.events.cCode[0], 'P');
  EXPECT_EQ(d.events.nValue[0], 14);
  EXPECT_EQ(d.events.nTime[1], -1);  // truncated toward zero
  EXPECT_EQ(d.events.nValue[1], 80);
  EXPECT_TRUE(Untouched(&d.events.bUsed[2], sizeof(int32_t)));

  d = Decode(1, std::string(kFixed) + ";10;P1;5;#Run7;");
  EXPECT_TRUE(Untouched(&d.events, sizeof d.events));

  std::string zeroField11 = "1;2;3;4;5;6;7;8;9;10;0;12;13;14;15;16;17;18";
  d = Decode(1, zeroField11);
  EXPECT_TRUE(Untouched(&d.method.bField11Positive, sizeof(int32_t)));
}

TEST(MethodFramesTest, ShortFrameFillsItsEightMembers) {
  Decoded d = Decode(0, "a;b;c;d;e;6;7;8;9;10;11;12;13;");
  EXPECT_EQ(d.method.dField6, 6);
  EXPECT_EQ(d.method.dField7, 7);
  EXPECT_EQ(d.method.dField8, 8);
  EXPECT_EQ(d.method.dShortField9, 9);
  EXPECT_EQ(d.method.dField10, 10);
  EXPECT_EQ(d.method.dField11, 11);
  EXPECT_EQ(d.method.nField12, 12);
  EXPECT_EQ(d.method.nField13, 13);
  EXPECT_TRUE(Untouched(&d.method.nField1, sizeof(int32_t)));
  EXPECT_TRUE(Untouched(&d.method.dField9, sizeof(double)));
}

TEST(MethodFramesTest, MalformedFramesFillNothingAndReadNothingBeyond) {
  std::string longField = "1234567890;" + std::string(kFixed).substr(2);
  Decoded d = Decode(1, longField);
  EXPECT_TRUE(Untouched(&d, sizeof d));
  d = Decode(1, "1;2;3");  // ends before its last fixed field
  EXPECT_TRUE(Untouched(&d, sizeof d));
  d = Decode(0, "1;2;3;4;5;6;7;8;9;10;11;12");
  EXPECT_TRUE(Untouched(&d, sizeof d));
  std::string sixteen;
  for (int i = 0; i < 16; ++i) sixteen += "1000;S1;1;";
  d = Decode(1, std::string(kFixed) + ";" + sixteen);  // more events than the table holds
  EXPECT_EQ(d.method.nField18, 18);
  EXPECT_TRUE(Untouched(&d.events, sizeof d.events));
  std::string fifteen;
  for (int i = 0; i < 15; ++i) fifteen += std::to_string(i * 1000) + ";S1;1;";
  d = Decode(1, std::string(kFixed) + ";" + fifteen);
  EXPECT_EQ(d.events.nTime[14], 14);
  d = Decode(1, std::string(kFixed) + ";" + std::string(600, '1') + ";P1;1;");
  EXPECT_TRUE(Untouched(&d.events, sizeof d.events));
}

TEST(MethodFramesTest, NamesBehindTheNumbers) {
  EXPECT_EQ(Name(1, kFixed), "");
  EXPECT_EQ(Name(1, std::string(kFixed) + ";10;P1;5;"), "");
  EXPECT_EQ(Name(1, std::string(kFixed) + ";#Run7;"), "Run7");
  EXPECT_EQ(Name(1, std::string(kFixed) + ";10;P1;5;20;T2;80;#Run7;"), "Run7");
  EXPECT_EQ(Name(1, std::string(kFixed) + ";10;X1;5;#Run7;"), "");
  EXPECT_EQ(Name(1, std::string(kFixed) + ";#;"), "");
  EXPECT_EQ(Name(1, std::string(kFixed) + ";#NoClosingSemicolon"), "");
  EXPECT_EQ(Name(1, std::string(kFixed) + ";#" + std::string(20, 'n') + ";"), "");
  std::string thirteen = "1;2;3;4;5;6;7;8;9;10;11;12;13;";
  EXPECT_EQ(Name(0, thirteen), "");
  EXPECT_EQ(Name(0, thirteen + "14;15;16;17;18;Sample 19;"), "Sample 19");
  EXPECT_EQ(Name(0, thirteen + "14;15;16;17;18;Last"), "Last");
  EXPECT_EQ(Name(0, ""), "");

  char destination[32];
  char source[] = "abc;def";
  CopyString(3, source, destination);
  EXPECT_STREQ(destination, "def");
  CopyString(1, source, destination);
  EXPECT_STREQ(destination, "bc;def");
  CopyString(100, source, destination);
  EXPECT_STREQ(destination, "");
}

}  // namespace
