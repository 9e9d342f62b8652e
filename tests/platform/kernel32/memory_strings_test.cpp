// Global memory, the 1252 case functions and wsprintfA.
#include "lyr_test.h"

#include <mbstring.h>

#include <cstdio>
#include <cstring>

namespace {

class MemoryStringsTest : public LyrTest {};

TEST_F(MemoryStringsTest, MovableBlocksCountLocksAndZeroFill) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 100);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(GlobalSize(block), 100u);
  char* p = static_cast<char*>(GlobalLock(block));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p[0], 0);
  EXPECT_EQ(p[99], 0);
  EXPECT_EQ(GlobalLock(block), p);
  EXPECT_EQ(GlobalFlags(block) & GMEM_LOCKCOUNT, 2u);
  EXPECT_TRUE(GlobalUnlock(block));
  EXPECT_FAILS(GlobalUnlock(block), NO_ERROR);
  EXPECT_FAILS(GlobalUnlock(block), ERROR_NOT_LOCKED);

  HGLOBAL grown = GlobalReAlloc(block, 1000, GMEM_MOVEABLE | GMEM_ZEROINIT);
  EXPECT_EQ(grown, block);  // a movable block keeps its handle
  p = static_cast<char*>(GlobalLock(block));
  EXPECT_EQ(p[999], 0);
  GlobalUnlock(block);
  EXPECT_EQ(GlobalFree(block), nullptr);
  EXPECT_EQ(GlobalLock(block), nullptr);
}

#if LYR_POSIX_TESTS  // the stand-in fails allocations on request
TEST_F(MemoryStringsTest, InjectedAllocationFailures) {
  LyrFailGlobalAllocs(2);
  EXPECT_FAILS_AS(GlobalAlloc(GHND, 10), nullptr, ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(GlobalAlloc(GHND, 10), nullptr);
  HGLOBAL ok = GlobalAlloc(GHND, 10);
  EXPECT_NE(ok, nullptr);
  GlobalFree(ok);
}
#endif

TEST_F(MemoryStringsTest, CodePage1252Case) {
  char text[] = "abc\xE9\xFF\x9A\xDF\xF7 XYZ";
  CharUpperA(text);
  EXPECT_STREQ(text, "ABC\xC9\x9F\x8A\xDF\xF7 XYZ");
  CharLowerA(text);
  EXPECT_STREQ(text, "abc\xE9\xFF\x9A\xDF\xF7 xyz");
  EXPECT_EQ(lstrcmpiA("\xC9T\xC9", "\xE9t\xE9"), 0);
  EXPECT_LT(lstrcmpiA("apple", "BANANA"), 0);
  EXPECT_NE(_mbscmp(reinterpret_cast<const unsigned char*>("General"),
                    reinterpret_cast<const unsigned char*>("general")),
            0);
  char upper[] = "\xE9t\xE9";
  EXPECT_STREQ(_strupr(upper), "\xE9T\xE9");  // the C runtime's "C" locale: ASCII only
}

TEST_F(MemoryStringsTest, WsprintfFormatsLongAs32BitsAndStopsAt1024) {
  char out[2048];
  LONG big = static_cast<LONG>(0x80000000u);
  int n = wsprintfA(out, "%ld %lu %05d %-3s| %x %c%%", big, static_cast<ULONG>(big), 42, "ab", 255u,
                    'Z');
  EXPECT_EQ(n, static_cast<int>(std::strlen(out)));
  EXPECT_STREQ(out, "-2147483648 2147483648 00042 ab | ff Z%");
  // The plain conversions (written without printf) against printf's own answers.
  const int ints[] = {0, 7, -7, 2147483647, -2147483647 - 1, 1000000};
  for (int v : ints) {
    char expected[64];
    std::snprintf(expected, sizeof expected, "<%d|%u|%5d|%-4u>", v, static_cast<unsigned>(v), v,
                  static_cast<unsigned>(v));
    wsprintfA(out, "<%d|%u|%5d|%-4u>", v, static_cast<unsigned>(v), v, v);
    EXPECT_STREQ(out, expected);
  }
  // A lone '%' at the end formats nothing, whatever becomes of it, and reads no further.
  n = wsprintfA(out, "%I64d %I64u %5.3d%", -5000000000LL, 5000000000ULL, 7);
  EXPECT_EQ(std::string(out).substr(0, 28), "-5000000000 5000000000   007");
  EXPECT_LE(n, 29);
  char copy[4];
  lstrcpynA(copy, "abcdef", sizeof copy);
  EXPECT_STREQ(copy, "abc");

  // The buffer holds at most 1024 bytes, the terminator among them.
  SKIP_UNDER_WINE("Wine's wsprintfA stores 1024 characters and returns 1024");
  std::string longText(3000, 'x');
  EXPECT_EQ(wsprintfA(out, "%s", longText.c_str()), 1023);
  EXPECT_EQ(wsprintfA(out, (longText + "%d").c_str(), 5), 1023);  // text before a conversion
  EXPECT_EQ(wsprintfA(out, "%-2000d|", 5), 1023);
  EXPECT_EQ(std::strlen(out), 1023u);
}

}  // namespace
