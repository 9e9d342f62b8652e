// The profile (INI) functions, with the rules Windows reads and writes INI files by.
#include "lyr_test.h"

#include <string>
#include <vector>

#include <string>

namespace {

class ProfileTest : public LyrTest {
 protected:
  void SetUp() override {
    LyrTest::SetUp();
    WriteHostFile(DriveC() + "/test.ini",
                  "top=before any section\r\n"
                  "[General]\r\n"
                  "  Name  =   padded value   \r\n"
                  "Quoted=\"in quotes\"\r\n"
                  "Single='single'\r\n"
                  "Half=\"open\r\n"
                  ";Comment=hidden\r\n"
                  "NoEquals\r\n"
                  "Name=second of the same key\r\n"
                  "Number= 42abc\r\n"
                  "Negative=-7\r\n"
                  "Hex=0x1F\r\n"
                  "\r\n"
                  "[ Spaced Section ]\r\n"
                  "k=v\r\n"
                  "[general]\r\n"
                  "Late=in the duplicate section\r\n"
                  "[Last]\r\n"
                  "final=no newline");
  }

  std::string Get(const char* section, const char* key, const char* def = "default",
                  DWORD size = 256) {
    char buffer[256];
    DWORD n = GetPrivateProfileStringA(section, key, def, buffer, size, "C:\\test.ini");
    EXPECT_EQ(n, std::string(buffer).size());
    return buffer;
  }
};

TEST_F(ProfileTest, ValuesAreTrimmedUnquotedAndMatchedWithoutCase) {
  EXPECT_EQ(Get("general", "NAME"), "padded value");
  EXPECT_EQ(Get("  General ", " name "), "padded value");
  EXPECT_EQ(Get("General", "Quoted"), "in quotes");
  EXPECT_EQ(Get("General", "Single"), "single");
  EXPECT_EQ(Get("General", "Half"), "\"open");
  EXPECT_EQ(Get("Spaced Section", "k"), "v");
  EXPECT_EQ(Get("Last", "final"), "no newline");
  // A line without '=' is not a value; comments are lines like any other for a lookup.
  EXPECT_EQ(Get("General", "NoEquals"), "default");
  // Only the first section of a name is searched, and the first of two equal keys wins.
  EXPECT_EQ(Get("General", "Late"), "default");
  EXPECT_EQ(Get("General", "Missing", "trailing blanks   "), "trailing blanks");
  EXPECT_EQ(Get("General", "Missing", nullptr), "");
  EXPECT_EQ(Get("Nowhere", "Name"), "default");
}

TEST_F(ProfileTest, TruncationFollowsTheDocumentation) {
  char buffer[8];
  EXPECT_EQ(GetPrivateProfileStringA("General", "Name", "", buffer, 5, "C:\\test.ini"), 4u);
  EXPECT_STREQ(buffer, "padd");

  // Section names: each followed by a NUL, the list by another; cut short, the last name is cut
  // and followed by two NULs and the result is the size less two.
  char names[64];
  DWORD n = GetPrivateProfileSectionNamesA(names, sizeof names, "C:\\test.ini");
  EXPECT_EQ(std::string(names, n), std::string("General\0Spaced Section\0general\0Last\0", 36));
  EXPECT_EQ(names[n], '\0');

  // Keys of a section: comments and lines without '=' are left out.
  n = GetPrivateProfileStringA("General", nullptr, "", names, sizeof names, "C:\\test.ini");
  EXPECT_EQ(std::string(names, n),
            std::string("Name\0Quoted\0Single\0Half\0Name\0Number\0Negative\0Hex\0", 49));
}

TEST_F(ProfileTest, SectionNamesCutShortEndWithTwoTerminators) {
  SKIP_UNDER_WINE("Wine leaves the last byte of the buffer as it was (todo_wine in its tests)");
  char names[64];
  DWORD n = GetPrivateProfileSectionNamesA(names, 10, "C:\\test.ini");
  EXPECT_EQ(n, 8u);
  EXPECT_EQ(std::string(names, 10), std::string("General\0\0\0", 10));
}

TEST_F(ProfileTest, IntegersAreReadLikeTheSystemReadsThem) {
  EXPECT_EQ(GetPrivateProfileIntA("General", "Number", 5, "C:\\test.ini"), 42u);
  EXPECT_EQ(static_cast<int>(GetPrivateProfileIntA("General", "Negative", 5, "C:\\test.ini")), -7);
  EXPECT_EQ(GetPrivateProfileIntA("General", "Hex", 5, "C:\\test.ini"), 31u);
  EXPECT_EQ(GetPrivateProfileIntA("General", "Name", 5, "C:\\test.ini"), 0u);
  EXPECT_EQ(GetPrivateProfileIntA("General", "Missing", 5, "C:\\test.ini"), 5u);
}

TEST_F(ProfileTest, MissingOrHeldFileReadsAsEmpty) {
  EXPECT_EQ(GetPrivateProfileStringA("General", "Name", "dflt", nullptr, 0, "C:\\none.ini"), 0u);
  char buffer[32];
  EXPECT_EQ(GetPrivateProfileStringA("General", "Name", "dflt", buffer, 32, "C:\\none.ini"), 4u);
  EXPECT_STREQ(buffer, "dflt");
  EXPECT_EQ(GetPrivateProfileSectionNamesA(buffer, 32, "C:\\none.ini"), 0u);

  HANDLE held = CreateFileA("C:\\test.ini", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Get("General", "Name"), "default");
  EXPECT_FAILS(WritePrivateProfileStringA("General", "Name", "x", "C:\\test.ini"),
               ERROR_SHARING_VIOLATION);
  CloseHandle(held);
}

TEST_F(ProfileTest, WritesChangeOneLineAndKeepTheRest) {
  ASSERT_TRUE(WritePrivateProfileStringA("GENERAL", "name", "  new", "C:\\test.ini"));
  ASSERT_TRUE(WritePrivateProfileStringA("General", "Added", "1", "C:\\test.ini"));
  ASSERT_TRUE(WritePrivateProfileStringA("New Section", "Key", "Value", "C:\\test.ini"));
  const std::string text = ReadHostFile(DriveC() + "/test.ini");
  EXPECT_EQ(Get("General", "Name"), "new");

  // A null value deletes the key; a null key deletes the section.
  ASSERT_TRUE(WritePrivateProfileStringA("General", "Added", nullptr, "C:\\test.ini"));
  EXPECT_EQ(Get("General", "Added"), "default");
  ASSERT_TRUE(WritePrivateProfileStringA("General", nullptr, nullptr, "C:\\test.ini"));
  EXPECT_EQ(Get("General", "Quoted"), "default");
  EXPECT_EQ(Get("General", "Late"), "in the duplicate section");

  // The text after the first three writes: the lines around each change as they stood.
  SKIP_UNDER_WINE("Wine writes the file anew from what it parsed (todo_wine in its tests)");
  EXPECT_CONTAINS(text, "Name=new\r\n");
  EXPECT_CONTAINS(text, ";Comment=hidden\r\n");
  EXPECT_CONTAINS(text, "Hex=0x1F\r\nAdded=1\r\n\r\n[ Spaced Section ]");
  EXPECT_CONTAINS(text, "final=no newline\r\n[New Section]\r\nKey=Value\r\n");
}

TEST_F(ProfileTest, WritesCreateFilesButNotFolders) {
  ASSERT_TRUE(WritePrivateProfileStringA("S", "k", "v", "C:\\fresh.ini"));
  EXPECT_EQ(ReadHostFile(DriveC() + "/fresh.ini"), "[S]\r\nk=v\r\n");
  EXPECT_FAILS(WritePrivateProfileStringA("S", "k", "v", "C:\\no\\such\\dir.ini"),
               ERROR_PATH_NOT_FOUND);
  // A name without a folder lives in the Windows directory.
  ASSERT_TRUE(WritePrivateProfileStringA("S", "k", "w", "bare.ini"));
  EXPECT_TRUE(HostFileExists(DriveC() + "/windows/bare.ini"));
  ASSERT_TRUE(SetFileAttributesA("C:\\fresh.ini", FILE_ATTRIBUTE_READONLY));
  EXPECT_FAILS(WritePrivateProfileStringA("S", "k", "x", "C:\\fresh.ini"), ERROR_ACCESS_DENIED);
}

}  // namespace

namespace {

class ProfileLineEndTest : public LyrTest {};

TEST_F(ProfileLineEndTest, BareCarriageReturnsEndLinesAsOtherEndsDo) {
  WriteHostFile(DriveC() + "/cr.ini", "[First]\rA=1\rB = two \r\r[Second]\rC=3\r");
  WriteHostFile(DriveC() + "/mixed.ini", "[First]\r\nA=1\nB=two\r[Second]\n\rC=3");
  for (const char* file : {"C:\\cr.ini", "C:\\mixed.ini"}) {
    SCOPED_TRACE(file);
    char buffer[64];
    GetPrivateProfileStringA("First", "A", "none", buffer, sizeof buffer, file);
    EXPECT_STREQ(buffer, "1");
    GetPrivateProfileStringA("first", "b", "none", buffer, sizeof buffer, file);
    EXPECT_STREQ(buffer, "two");
    EXPECT_EQ(GetPrivateProfileIntA("Second", "C", 0, file), 3u);
    DWORD n = GetPrivateProfileSectionNamesA(buffer, sizeof buffer, file);
    EXPECT_EQ(std::string(buffer, n + 1), std::string("First\0Second\0\0", 14));
    n = GetPrivateProfileStringA("First", nullptr, "", buffer, sizeof buffer, file);
    EXPECT_EQ(std::string(buffer, n + 1), std::string("A\0B\0\0", 5));
  }
  // A change keeps the file's own line ends.
  SKIP_UNDER_WINE("Wine writes the file anew, every line ended by CR LF");
  ASSERT_TRUE(WritePrivateProfileStringA("First", "A", "one", "C:\\cr.ini"));
  ASSERT_TRUE(WritePrivateProfileStringA("Third", "D", "4", "C:\\cr.ini"));
  EXPECT_EQ(ReadHostFile(DriveC() + "/cr.ini"),
            "[First]\rA=one\rB = two \r\r[Second]\rC=3\r[Third]\rD=4\r");
}

// Each call gets a buffer full of 'X' and may change only the bytes of its result.
class ProfileBufferTest : public LyrTest {
 protected:
  void SetUp() override {
    LyrTest::SetUp();
    WriteHostFile(DriveC() + "/b.ini", "[Alpha]\r\nKey=value\r\nQuoted=\"quoted\"\r\n[Beta]\r\n");
  }
  struct Result {
    DWORD returned;
    std::string bytes;  // the buffer after the call
  };
  template <class Call>
  Result Run(DWORD size, Call call) {
    std::string buffer(16, 'X');
    SetLastError(0);
    DWORD n = call(&buffer[0], size);
    return {n, buffer};
  }
  Result Value(const char* section, const char* key, DWORD size, const char* file = "C:\\b.ini") {
    return Run(size, [&](char* b, DWORD s) {
      return GetPrivateProfileStringA(section, key, "dflt", b, s, file);
    });
  }
  Result Sections(DWORD size, const char* file = "C:\\b.ini") {
    return Run(size, [&](char* b, DWORD s) { return GetPrivateProfileSectionNamesA(b, s, file); });
  }
};

TEST_F(ProfileBufferTest, OnlyTheResultIsWritten) {
  auto v = Value("Alpha", "Key", 16);
  EXPECT_EQ(v.returned, 5u);
  EXPECT_EQ(v.bytes, std::string("value\0XXXXXXXXXX", 16));
  v = Value("Alpha", "Quoted", 16);
  EXPECT_EQ(v.returned, 6u);
  EXPECT_EQ(v.bytes, std::string("quoted\0XXXXXXXXX", 16));
  v = Value("Alpha", "Missing", 16);
  EXPECT_EQ(v.bytes, std::string("dflt\0XXXXXXXXXXX", 16));
  auto s = Sections(16);
  EXPECT_EQ(s.returned, 11u);
  EXPECT_EQ(s.bytes, std::string("Alpha\0Beta\0\0XXXX", 16));
  auto keys = Run(16, [](char* b, DWORD size) {
    return GetPrivateProfileStringA("Alpha", nullptr, "", b, size, "C:\\b.ini");
  });
  EXPECT_EQ(keys.returned, 11u);
  EXPECT_EQ(keys.bytes, std::string("Key\0Quoted\0\0XXXX", 16));
}

TEST_F(ProfileBufferTest, TinyBuffersGiveTheDocumentedResults) {
  // Values: the text cut to size - 1 characters and its terminator.
  EXPECT_EQ(Value("Alpha", "Key", 0).returned, 0u);
  EXPECT_EQ(Value("Alpha", "Key", 0).bytes, std::string(16, 'X'));
  EXPECT_EQ(Value("Alpha", "Key", 1).returned, 0u);
  EXPECT_EQ(Value("Alpha", "Key", 1).bytes, std::string("\0XXXXXXXXXXXXXXX", 16));
  EXPECT_EQ(Value("Alpha", "Key", 2).returned, 1u);
  EXPECT_EQ(Value("Alpha", "Key", 2).bytes, std::string("v\0XXXXXXXXXXXXXX", 16));
  EXPECT_EQ(Value("Alpha", "Quoted", 2).bytes, std::string("q\0XXXXXXXXXXXXXX", 16));
}

// Listings cut short and files that are not there, as documented.
TEST_F(ProfileBufferTest, TinyListingBuffersAndMissingFilesGiveTheDocumentedResults) {
  SKIP_UNDER_WINE(
      "Wine ends a cut listing with one terminator and leaves the last error of a missing file "
      "alone (todo_wine in its tests)");
  // Listings: the last name cut and followed by two terminators; the result is size - 2.
  EXPECT_EQ(Sections(0).returned, 0u);
  EXPECT_EQ(Sections(0).bytes, std::string(16, 'X'));
  EXPECT_EQ(Sections(1).returned, 0u);
  EXPECT_EQ(Sections(1).bytes, std::string("\0XXXXXXXXXXXXXXX", 16));
  EXPECT_EQ(Sections(2).returned, 0u);
  EXPECT_EQ(Sections(2).bytes, std::string("\0\0XXXXXXXXXXXXXX", 16));
  EXPECT_EQ(Sections(3).returned, 1u);
  EXPECT_EQ(Sections(3).bytes, std::string("A\0\0XXXXXXXXXXXXX", 16));
  // A file that is not there: the default, or nothing, and the last error says so.
  for (DWORD size : {0u, 1u, 2u}) {
    SCOPED_TRACE(size);
    auto missing = Value("Alpha", "Key", size, "C:\\none.ini");
    EXPECT_FAILS_AS(missing.returned, size == 2 ? 1u : 0u, ERROR_FILE_NOT_FOUND);
    EXPECT_FAILS_AS(Sections(size, "C:\\none.ini").returned, 0u, ERROR_FILE_NOT_FOUND);
  }
  EXPECT_EQ(Value("Alpha", "Key", 2, "C:\\none.ini").bytes, std::string("d\0XXXXXXXXXXXXXX", 16));
}

// Every profile call, every buffer size from 0 up: the bytes on both sides of the buffer stay
// as they were, and the result fits the buffer with its terminator.
TEST_F(ProfileBufferTest, NothingIsWrittenOutsideTheBufferAtAnySize) {
  WriteHostFile(DriveC() + "/g.ini", "[Values]\nPlain=value\nEmpty=\"\"\nSingle=''\nLong=" +
                                         std::string(40, 'l') + "\n[Empty]\n; no keys\n");
  struct Case {
    const char* section;
    const char* key;
    const char* fallback;
    const char* file;
  };
  const Case cases[] = {
      {"Values", "Plain", "d", "C:\\g.ini"},   {"Values", "Empty", "d", "C:\\g.ini"},
      {"Values", "Single", "d", "C:\\g.ini"},  {"Values", "Long", "d", "C:\\g.ini"},
      {"Values", "None", "", "C:\\g.ini"},     {"Values", "None", "''", "C:\\g.ini"},
      {"Values", "None", "\"\"", "C:\\g.ini"}, {"Values", nullptr, "", "C:\\g.ini"},
      {"Empty", nullptr, "", "C:\\g.ini"},     {"Empty", nullptr, "''", "C:\\g.ini"},
      {"Empty", nullptr, "\"\"", "C:\\g.ini"}, {"None", nullptr, "dflt", "C:\\g.ini"},
      {nullptr, nullptr, "", "C:\\g.ini"},     {"Values", "Plain", "dflt", "C:\\none.ini"},
      {nullptr, nullptr, "", "C:\\none.ini"},
  };
  constexpr size_t kGuard = 16;
  for (const Case& c : cases) {
    for (DWORD size = 0; size < 64; ++size) {
      SCOPED_TRACE(std::string(c.section ? c.section : "(null)") + "/" +
                   (c.key ? c.key : "(null)") + " default " + c.fallback + " size " +
                   std::to_string(size));
      std::vector<char> block(kGuard + size + kGuard, 'G');
      char* buffer = block.data() + kGuard;
      DWORD n = GetPrivateProfileStringA(c.section, c.key, c.fallback, buffer, size, c.file);
      EXPECT_EQ(std::string(block.data(), kGuard), std::string(kGuard, 'G'));
      EXPECT_EQ(std::string(buffer + size, kGuard), std::string(kGuard, 'G'));
      if (size > 0) {
        EXPECT_LT(n, size);
        EXPECT_EQ(buffer[n], '\0');
      } else {
        EXPECT_EQ(n, 0u);
      }
      if (c.section == nullptr) {
        std::vector<char> names(kGuard + size + kGuard, 'G');
        GetPrivateProfileSectionNamesA(names.data() + kGuard, size, c.file);
        EXPECT_EQ(std::string(names.data(), kGuard), std::string(kGuard, 'G'));
        EXPECT_EQ(std::string(names.data() + kGuard + size, kGuard), std::string(kGuard, 'G'));
      }
    }
  }
}

}  // namespace
