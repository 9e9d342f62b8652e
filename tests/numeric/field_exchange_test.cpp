// Dialog fields: reading, range checks, messages and writing.
#include "lyr_test.h"

#include <cstring>
#include <string>

namespace {

class FieldExchangeTest : public LyrTest {
 protected:
  void SetUp() override {
    LyrTest::SetUp();
    InitSystemGlobalParameters();  // this thread is the main thread: boxes pass unchanged
  }
  const ScriptedUi::Message& Last() { return ui_.messages.back(); }
};

TEST_F(FieldExchangeTest, FloatRangeErrorsShowTheirMessages) {
  double value = 7;
  int changed = 5;
  char text[32] = "-5";
  EXPECT_EQ(HandleFloat(0, text, &value, 10, 2, 0.0, 100.0, "Flow", &changed), 1);
  EXPECT_EQ(Last().text, "must be 100.00\n\nThe value of Flow");
  EXPECT_EQ(Last().type, static_cast<UINT>(MB_ICONEXCLAMATION));
  EXPECT_EQ(Last().helpId, 1036u);
  if (kUiSeesBeepsAndForeground) {
    EXPECT_EQ(ui_.beeps.size(), 1u);
  }
  EXPECT_EQ(changed, 0);
  EXPECT_EQ(value, 7);

  changed = 5;
  EXPECT_EQ(HandleFloat(0, text, &value, 10, 2, -10.0, 100.0, "Flow", &changed), 0);
  EXPECT_EQ(value, -5);
  EXPECT_EQ(changed, 1);
  changed = 5;
  EXPECT_EQ(HandleFloat(0, text, &value, 10, 2, -10.0, 100.0, "Flow", &changed), 0);
  EXPECT_EQ(changed, 5);  // the same number again: the flag stays as the caller set it

  std::strcpy(text, "12E200");
  EXPECT_EQ(HandleFloat(0, text, &value, 10, 2, -10.0, 100.0, "Flow", &changed), 1);
  EXPECT_EQ(Last().text, "The value of this field\n\nThe value of Flow");
  EXPECT_EQ(Last().helpId, 1035u);

  std::strcpy(text, "abc");
  EXPECT_EQ(HandleFloat(0, text, &value, 10, 2, 1.0, 12500.0, "Flow", &changed), 1);
  EXPECT_EQ(Last().text, "must lie between 1.00 and 1.25e4\n\nThe value of Flow");
  EXPECT_EQ(Last().helpId, 1037u);
  if (kUiSeesBeepsAndForeground) {
    EXPECT_EQ(ui_.beeps.size(), 3u);
  }

  double reference = 3;
  std::strcpy(text, "-1");
  EXPECT_EQ(HandleFloat(text, reference, 0.0, 10.0, "Ref"), 1);
  EXPECT_EQ(Last().helpId, 1037u);  // no one-value step in the reference form
  std::strcpy(text, "4.5");
  EXPECT_EQ(HandleFloat(text, reference, 0.0, 10.0, "Ref"), 0);
  EXPECT_EQ(reference, 4.5);
}

TEST_F(FieldExchangeTest, FloatIsWrittenInTheFieldsWidth) {
  double value = 1234.5;
  int changed = 9;
  char text[32];
  EXPECT_EQ(HandleFloat(1, text, &value, 6, 2, 0, 1e6, "F", &changed), 0);
  EXPECT_STREQ(text, "1.23e3");
  EXPECT_EQ(changed, 0);
}

TEST_F(FieldExchangeTest, IntegersReadAndWriteAs32And16BitsOnWindows) {
  unsigned short small = 1;
  int changed = 0;
  char text[32] = "70000";
  EXPECT_EQ(HandleInteger(0, text, &small, 0, 1000, "Port", &changed), 1);  // reads 4464
  EXPECT_EQ(Last().text, "must lie between 0 and 1000\n\nand must be a whole number.");
  EXPECT_EQ(Last().helpId, 1037u);
  std::strcpy(text, "65536");
  EXPECT_EQ(HandleInteger(0, text, &small, 0, 1000, "Port", &changed), 0);
  EXPECT_EQ(small, 0);
  std::strcpy(text, "-1");
  EXPECT_EQ(HandleInteger(0, text, &small), 1);
  EXPECT_EQ(small, 65535);

  LONG number = 0;
  std::strcpy(text, "  3abc");
  EXPECT_EQ(HandleInteger(0, text, &number, -5, 5, "N", &changed), 0);
  EXPECT_EQ(number, 3);
  std::strcpy(text, "6");
  EXPECT_EQ(HandleInteger(0, text, &number, -5, 5, "N", &changed), 1);
  EXPECT_EQ(Last().text, "must lie between -5 and 5\n\nand must be a whole number.");

  ULONG big = 4000000000u;
  EXPECT_EQ(HandleInteger(1, text, &big), 0);
  EXPECT_STREQ(text, "-294967296");
  big = 0;
  EXPECT_EQ(HandleInteger(0, text, &big), 1);  // and reads back the same value
  EXPECT_EQ(big, 4000000000u);
  EXPECT_EQ(HandleInteger(1, text, &big, 0u, 4000000000u, "B", &changed), 0);
  EXPECT_STREQ(text, "4000000000");
  std::strcpy(text, "4000000001");
  EXPECT_EQ(HandleInteger(0, text, &big, 0u, 4000000000u, "B", &changed), 1);
  EXPECT_NE(Last().text, "");
  EXPECT_EQ(ui_.messages.size(), 3u);
}

TEST_F(FieldExchangeTest, IntegerMessagesShowLimitsAsSigned32BitNumbers) {
  HandleIntegerErrorMessage("Count", 7);
  EXPECT_EQ(Last().text, "must be 7\n\nThe value of Count");
  EXPECT_EQ(Last().helpId, 1036u);
  HandleIntegerErrorMessage("Count", 0, static_cast<LONG>(3000000000u));
  EXPECT_EQ(Last().text, "must lie between 0 and -1294967296\n\nand must be a whole number.");
  EXPECT_EQ(Last().helpId, 1037u);
}

TEST_F(FieldExchangeTest, StringsAndFilePaths) {
  char value[MAX_PATH] = "old";
  char text[MAX_PATH] = "new";
  EXPECT_EQ(HandleString(0, text, value), 1);
  EXPECT_STREQ(value, "new");
  EXPECT_EQ(HandleString(0, text, value), 0);

  ASSERT_TRUE(CreateDirectoryA("C:\\methods", nullptr));
  WriteHostFile(DriveC() + "/methods/run.met", "");
  char directory[MAX_PATH] = "C:\\methods\\";
  char path[MAX_PATH] = "";
  int error = 0;
  std::strcpy(text, "run");
  EXPECT_EQ(HandleFFPSString(0, text, directory, path, 19, &error), 0);  // code 19 is beyond 15
  std::strcpy(text, "run");
  EXPECT_EQ(HandleFFPSString(0, text, directory, path, 6, &error), 0);
  EXPECT_STREQ(text, "C:\\methods\\run._xm");
  EXPECT_EQ(error, 1);
  EXPECT_EQ(Last().text, "The Method C:\\methods\\run._xm does not exist.");
  WriteHostFile(DriveC() + "/methods/run._xm", "");
  error = 0;
  EXPECT_EQ(HandleFFPSString(0, text, directory, path, 6, &error), 1);
  EXPECT_STREQ(path, "C:\\methods\\run._xm");
  EXPECT_EQ(error, 0);
  size_t shown = ui_.messages.size();
  EXPECT_EQ(HandleFFPSString(0, text, directory, path, 6, &error), 0);  // equal: nothing done
  EXPECT_EQ(ui_.messages.size(), shown);
}

}  // namespace
