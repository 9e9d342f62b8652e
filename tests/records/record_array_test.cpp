// The record array: its edge cases, and random sequences of operations against a simple model.
#include "lyr_test.h"

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

class RecordArrayTest : public LyrTest {};

// Records of 4 bytes, each filled with one letter.
void Fill(CXRecordArray& array, const std::string& letters) {
  unsigned char* data = array.Lock();
  for (size_t i = 0; i < letters.size(); ++i) std::memset(data + 4 * i, letters[i], 4);
  array.Unlock();
}

std::string Letters(CXRecordArray& array) {
  std::string letters;
  unsigned char* data = array.Lock();
  for (LONG i = 0; i < array.GetSize(); ++i)
    letters += data[4 * i] ? static_cast<char>(data[4 * i]) : '0';
  array.Unlock();
  return letters;
}

std::string Shifted(LONG first, LONG count, LONG distance, LONG* moved) {
  CXRecordArray array(4, 5);
  Fill(array, "ABCDE");
  *moved = array.ShiftArray(first, count, distance);
  return Letters(array);
}

TEST_F(RecordArrayTest, ConstructionLocksAndShifts) {
  CXRecordArray zero(8, 0), negative(8, -5);
  EXPECT_EQ(zero.GetSize(), 1);
  EXPECT_EQ(negative.GetSize(), 1);
  const unsigned char* bytes = zero.Lock();
  for (int i = 0; i < 8; ++i) EXPECT_EQ(bytes[i], 0);
  zero.Lock();
  EXPECT_EQ(zero.Unlock(), 1);
  EXPECT_EQ(zero.Unlock(), 0);
  EXPECT_EQ(zero.Unlock(), 0);

  LONG moved;
  EXPECT_EQ(Shifted(1, 4, 2, &moved), "ABCBCDE");
  EXPECT_EQ(moved, 4);
  EXPECT_EQ(Shifted(3, 2, -2, &moved), "ADEDE");
  EXPECT_EQ(moved, 2);
  EXPECT_EQ(Shifted(0, 2, -3, &moved), "ABCDE");
  EXPECT_EQ(moved, 0);
  EXPECT_EQ(Shifted(1, 2, -3, &moved), "ABCDE");
  EXPECT_EQ(moved, 0);
  EXPECT_EQ(Shifted(2, 2, -3, &moved), "DBCDE");
  EXPECT_EQ(moved, 1);
  EXPECT_EQ(Shifted(5, 1, 1, &moved), "ABCDE");
  EXPECT_EQ(moved, 0);
  EXPECT_EQ(Shifted(-1, 2, 1, &moved), "ABCDE");  // refused
  EXPECT_EQ(Shifted(1, -2, 1, &moved), "ABCDE");

  CXRecordArray array(4, 5);
  Fill(array, "ABCDE");
  array.Expand(3);
  EXPECT_EQ(Letters(array), "ABCDE");
  array.Expand(9);
  EXPECT_EQ(Letters(array), "ABCDE0000");
  array.Expand(-4);
  EXPECT_EQ(array.GetSize(), 9);
}

TEST_F(RecordArrayTest, ALockedArrayStaysLockedAcrossAShift) {
  CXRecordArray array(4, 2);
  unsigned char* before = array.Lock();
  before[0] = 'X';
  unsigned char* after = array.ShiftArray(0, 2, 3) == 2 ? array.Lock() : nullptr;
  ASSERT_NE(after, nullptr);
  EXPECT_EQ(after[12], 'X');
  EXPECT_EQ(array.Unlock(), 1);  // the caller's own lock is still there
  EXPECT_EQ(array.Unlock(), 0);
}

TEST_F(RecordArrayTest, SerialisationWritesAndReadsRawRecords) {
  CXRecordArray array(4, 5);
  Fill(array, "ABCDE");
  {
    CFile file("C:\\records.bin", CFile::modeCreate | CFile::modeWrite);
    array.Write(file, 0);
  }
  EXPECT_EQ(ReadHostFile(DriveC() + "/records.bin"), "AAAA");
  {
    CFile file("C:\\records.bin", CFile::modeCreate | CFile::modeWrite);
    array.Write(file, 5);
  }
  CXRecordArray copy(4, 5);
  {
    CFile file("C:\\records.bin", CFile::modeRead);
    copy.Read(file, 7);  // grows to 7, reads what the file has
  }
  EXPECT_EQ(Letters(copy), "ABCDE00");
  CFile readOnly("C:\\records.bin", CFile::modeRead);
  EXPECT_TRUE(ThrowsMfc<CFileException>([&] { array.Write(readOnly, 1); }));
  EXPECT_EQ(array.Unlock(), 0);  // the lock was given back before the exception went on
}

TEST_F(RecordArrayTest, HandedOutBlocksBelongToTheReceiver) {
  HGLOBAL handle;
  {
    CXRecordArray array(4, 3);
    Fill(array, "XYZ");
    array.Lock();
    handle = static_cast<HGLOBAL>(array.ExportMemoryHandle());
    EXPECT_EQ(array.Unlock(), 0);
  }
  ASSERT_EQ(GlobalSize(handle), 12u);
  const char* data = static_cast<const char*>(GlobalLock(handle));
  EXPECT_EQ(std::string(data, 12), "XXXXYYYYZZZZ");
  GlobalUnlock(handle);
  EXPECT_EQ(GlobalFree(handle), nullptr);
}

#if LYR_POSIX_TESTS  // the stand-in fails allocations on request
TEST_F(RecordArrayTest, CopiesAndFailedAllocations) {
  InstallSuite("C:\\Tessera");
  CXRecordArray source(4, 3);
  Fill(source, "PQR");
  CXRecordArray copy(&source);
  EXPECT_EQ(Letters(copy), "PQR");
  CXRecordArray target(2, 10);
  target.Copy(&source);
  EXPECT_EQ(target.GetSize(), 3);
  EXPECT_EQ(Letters(target), "PQR");

  LyrFailGlobalAllocs(1);
  EXPECT_TRUE(ThrowsMfc<CMemoryException>([&] { target.ShiftArray(0, 3, 5); }));
  EXPECT_EQ(Letters(target), "PQR");  // as it was
  EXPECT_EQ(target.Unlock(), 0);
  EXPECT_CONTAINS(ReadHostFile(DriveC() + "/Tessera/sylwin.ini"), "Heapfragmented=1");
  LyrFailGlobalAllocs(1);
  EXPECT_TRUE(ThrowsMfc<CMemoryException>([] { CXRecordArray failing(4, 4); }));
}
#endif

// The model: records as strings, shifted as the documentation describes the result: the run at
// its target, every other record as it was, new records zero.
struct Model {
  size_t size;
  std::vector<std::string> records;

  LONG Shift(LONG first, LONG count, LONG distance) {
    const long long n = static_cast<long long>(records.size());
    if (first < 0 || count < 0 || first >= n) return 0;
    long long moved = first + count > n ? n - first : count;
    long long source = first, target = first + static_cast<long long>(distance);
    long long end = target + moved;
    if (distance < 0 && end < 1) return 0;
    if (target < 0) {
      moved = end;
      source = -static_cast<long long>(distance);
      target = 0;
    }
    std::vector<std::string> next(static_cast<size_t>(std::max(end, n)), std::string(size, '\0'));
    for (long long i = 0; i < n; ++i) next[i] = records[i];
    for (long long i = 0; i < moved; ++i) next[target + i] = records[source + i];
    records = next;
    return static_cast<LONG>(moved);
  }
};

TEST_F(RecordArrayTest, RandomOperationsAgreeWithTheModel) {
  std::mt19937 random(7);
  for (int round = 0; round < 50; ++round) {
    const unsigned short size = static_cast<unsigned short>(1 + random() % 6);
    const LONG initial = static_cast<LONG>(random() % 6);
    CXRecordArray array(size, initial);
    Model model{size, std::vector<std::string>(initial > 0 ? initial : 1, std::string(size, '\0'))};
    int locks = 0;
    for (int step = 0; step < 40; ++step) {
      switch (random() % 6) {
        case 0: {  // write a record through the pointer
          size_t index = random() % model.records.size();
          char byte = static_cast<char>('a' + random() % 26);
          std::memset(array.Lock() + index * size, byte, size);
          array.Unlock();
          model.records[index].assign(size, byte);
          break;
        }
        case 1:
        case 2: {
          LONG n = static_cast<LONG>(model.records.size());
          LONG first = static_cast<LONG>(random() % (n + 2)) - 1;
          LONG count = static_cast<LONG>(random() % (n + 2)) - 1;
          LONG distance = static_cast<LONG>(random() % 9) - 4;
          ASSERT_EQ(array.ShiftArray(first, count, distance), model.Shift(first, count, distance));
          break;
        }
        case 3: {
          LONG n = static_cast<LONG>(random() % 12);
          array.Expand(n);
          model.Shift(0, 0, n);
          break;
        }
        case 4:  // locks, kept across the other operations
          if (random() % 2 || locks == 0) {
            array.Lock();
            ++locks;
          } else {
            EXPECT_EQ(array.Unlock(), locks > 1 ? 1 : 0);
            --locks;
          }
          break;
        default: {  // a round trip through a file
          LONG n = static_cast<LONG>(random() % (model.records.size() + 3));
          {
            CFile file("C:\\model.bin", CFile::modeCreate | CFile::modeWrite);
            array.Write(file, n);
          }
          model.Shift(0, 0, n == 0 ? 1 : n);
          CXRecordArray reread(size, 1);
          CFile file("C:\\model.bin", CFile::modeRead);
          reread.Read(file, n);
          unsigned char* data = reread.Lock();
          for (LONG i = 0; i < (n == 0 ? 1 : n); ++i)
            ASSERT_EQ(std::string(reinterpret_cast<char*>(data) + i * size, size),
                      model.records[i]);
          reread.Unlock();
        }
      }
      ASSERT_EQ(array.GetSize(), static_cast<LONG>(model.records.size()));
      unsigned char* data = array.Lock();
      for (size_t i = 0; i < model.records.size(); ++i)
        ASSERT_EQ(std::string(reinterpret_cast<char*>(data) + i * size, size), model.records[i]);
      array.Unlock();
    }
    while (locks-- > 0) array.Unlock();
  }
}

}  // namespace
