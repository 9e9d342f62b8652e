// The starting state of the header records.
#include "lyr_test.h"

#include <cstring>
#include <ctime>

namespace {

TEST(HeaderRecordsTest, EmptyingATextSetsOnlyItsFirstByte) {
  ADDRESS_STRUCT address;
  std::memset(&address, 0xFF, sizeof address);
  InitAddress(&address);
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&address);
  const size_t starts[] = {0, 64, 128, 192, 195, 211, 275, 295};
  size_t zeros = 0;
  for (size_t i = 0; i < sizeof address; ++i) {
    bool start = false;
    for (size_t s : starts) start = start || s == i;
    EXPECT_EQ(bytes[i], start ? 0x00 : 0xFF) << "byte " << i;
    zeros += bytes[i] == 0;
  }
  EXPECT_EQ(zeros, 8u);
}

TEST(HeaderRecordsTest, NestedRecordsAndStartingIntegers) {
  OPERATOR_STRUCT op;
  std::memset(&op, 0x55, sizeof op);
  InitOperator(&op);
  EXPECT_EQ(op.nValue5, 1);
  EXPECT_EQ(op.nValue6, 0);
  EXPECT_EQ(op.nValue7, 1);
  EXPECT_EQ(op.company.szName[0], 0);
  EXPECT_EQ(op.company.address.szLine1[0], 0);
  EXPECT_EQ(op.company.address.szText8[0], 0);

  CHROM_DEVICE_STRUCT device;
  std::memset(&device, 0x55, sizeof device);
  InitChromDev(&device);
  EXPECT_EQ(device.wValue6, 17);
  EXPECT_EQ(device.company.szText3[0], 0);
  EXPECT_EQ(device.company.address.szPostalCode[0], 0);

  CHROM_SYS_HDR_STRUCT system;
  std::memset(&system, 0x55, sizeof system);
  InitChromSys(&system);
  EXPECT_EQ(system.wValue4, 0);
  EXPECT_EQ(system.wValue5, 0);
  EXPECT_EQ(system.szText3[0], 0);
}

TEST(HeaderRecordsTest, AnalysisHeaderStampsTheCurrentTime) {
  ANALYSIS_SYS_HDR_STRUCT header;
  std::memset(&header, 0x55, sizeof header);
  time_t before = time(nullptr);
  InitAnalysisHdr(&header);
  EXPECT_EQ(header.wValue6, 0);
  EXPECT_EQ(header.wValue7, 1);
  EXPECT_EQ(header.analysisOperator.nValue7, 1);
  for (const LYR_TIME_STRUCT& stamp : {header.time4, header.time5}) {
    struct tm local = {};
    local.tm_year = stamp.wYear - 1900;
    local.tm_mon = stamp.wMonth - 1;
    local.tm_mday = stamp.wDay;
    local.tm_hour = stamp.wHour;
    local.tm_min = stamp.wMinute;
    local.tm_sec = stamp.wSecond;
    local.tm_isdst = -1;
    time_t seconds = mktime(&local);
    EXPECT_LE(before, seconds);
    EXPECT_LE(seconds - before, 2);
  }
}

}  // namespace
