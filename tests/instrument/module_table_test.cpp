// The module range table and AR archive lines.
#include "lyr_test.h"

#include <cstring>
#include <string>

namespace {

class ModuleTableTest : public LyrTest {
 protected:
  void SetUp() override {
    LyrTest::SetUp();
    InstallSuiteWorkingIn("Working Path");
  }
  void WriteTable(const std::string& text) { WriteHostFile(DriveC() + "/Work/module.csv", text); }
  static __Q7400ProfileModule Module(const char* name, double value, const char* type) {
    __Q7400ProfileModule m = {};
    std::strcpy(m.szModuleName, name);
    m.dModuleValue = value;
    std::strcpy(m.szType, type);
    return m;
  }
  static __RangeValue7400 Untouched() {
    __RangeValue7400 r;
    std::memset(&r, 0, sizeof r);
    std::strcpy(r.szModuleName, "untouched");
    return r;
  }
};

const char kTable[] =
    "MODULES;3\r\nname;value;...\r\nTCD;1;0;FIX;;;;;;;;;7\r\nAUTRE;0;0;VAR;;;;;;;;;\r\n";

TEST_F(ModuleTableTest, TheFirstFittingRowWinsAndTheCatchAllFitsEveryModule) {
  WriteTable(kTable);
  __RangeValue7400 range = Untouched();
  GetRangeValue(Module("tcd", 1.0, "fix"), range);
  EXPECT_STREQ(range.szModuleName, "TCD");
  EXPECT_EQ(range.cType, 'F');
  EXPECT_EQ(range.dValues[6], 60.0);  // columns 11 and 12 default to 60
  EXPECT_EQ(range.dValues[7], 60.0);
  EXPECT_EQ(range.dValues[5], 0.0);
  EXPECT_EQ(range.dValues[8], 7.0);
  range = Untouched();
  GetRangeValue(Module("fid", 1.0, "fix"), range);
  EXPECT_STREQ(range.szModuleName, "AUTRE");
  EXPECT_EQ(range.cType, 'V');

  WriteTable("MODULES;2\r\nheader\r\nTCD;1;0;FIX;;;;;;;;;\r\n");
  range = Untouched();
  GetRangeValue(Module("TCD", 1.0000001, "FIX"), range);  // the value must be equal exactly
  EXPECT_STREQ(range.szModuleName, "untouched");
}

TEST_F(ModuleTableTest, MissingEmptyAndMalformedTablesGiveNoFit) {
  __RangeValue7400 range = Untouched();
  GetRangeValue(Module("tcd", 1.0, "fix"), range);  // no table
  EXPECT_STREQ(range.szModuleName, "untouched");
  for (const char* table : {"MODULES;0\r\nheader\r\nAUTRE;0;0;VAR;;;;;;;;;\r\n",
                            "MODULES;9\r\nheader\r\nTCD;1;0;FIX;;;;;;;;;\r\n",  // shorter than said
                            "MODULES;3\r\nheader\r\nTCD;1;0;FIX\r\nAUTRE;0;0;VAR;;;;;;;;;\r\n",
                            "no count here\r\n", ""}) {
    WriteTable(table);
    range = Untouched();
    GetRangeValue(Module("fid", 1.0, "fix"), range);  // only a catch-all row could fit
    EXPECT_STREQ(range.szModuleName, "untouched") << table;
  }
  WriteTable("MODULES;3\r\n" + std::string(300, 'h') + "\r\nAUTRE;0;0;VAR;;;;;;;;;\r\n");
  GetRangeValue(Module("fid", 1.0, "fix"), range);
  EXPECT_STREQ(range.szModuleName, "untouched");
  // A table saved with Unix line ends reads too.
  WriteTable("MODULES;2\nheader\nAUTRE;0;0;VAR;;;;;;;;;\n");
  GetRangeValue(Module("tcd", 1.0, "fix"), range);
  EXPECT_STREQ(range.szModuleName, "AUTRE");
}

TEST_F(ModuleTableTest, TheTableIsReadWhileAnotherReaderHoldsIt) {
  WriteTable(kTable);
  HANDLE reader = CreateFileA("C:\\Work\\module.csv", GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  __RangeValue7400 range = Untouched();
  GetRangeValue(Module("tcd", 1.0, "fix"), range);
  EXPECT_STREQ(range.szModuleName, "TCD");
  CloseHandle(reader);
}

TEST_F(ModuleTableTest, RowsParseAndCheckAgainstModules) {
  __RangeValue7400 range;
  std::memset(&range, 0, sizeof range);
  range.cType = 'B';
  char lower[] = "\nTCD;1.5;2;fix;5;6;7;8;9;10;;;13";
  ParseModuleInfo(lower, range);
  EXPECT_EQ(range.cType, 'B');              // lower case sets no type code
  EXPECT_STREQ(range.szModuleName, "TCD");  // the line feed is dropped
  EXPECT_EQ(range.dModuleValue, 1.5);
  EXPECT_EQ(range.dValues[0], 5.0);
  EXPECT_EQ(range.dValues[8], 13.0);
  EXPECT_EQ(checkModule(range, Module("tcd", 1.5, "bf")), 1);
  EXPECT_EQ(checkModule(range, Module("tcd", 1.5, "fix")), 0);
  char shortRow[] = "X;1";
  ParseModuleInfo(shortRow, range);  // missing columns are empty
  EXPECT_EQ(range.dValues[6], 60.0);
  std::string huge(10000, ';');
  ParseModuleInfo(&huge[0], range);

  std::string line;
  for (int i = 1; i <= 25; ++i) line += "f" + std::to_string(i) + (i < 25 ? ";" : "");
  EXPECT_EQ(GetModuleNameFromARArchive(&line[0]), "f20");
  char fewFields[] = "a;b;c";
  EXPECT_EQ(GetModuleNameFromARArchive(fewFields), "");
}

}  // namespace
