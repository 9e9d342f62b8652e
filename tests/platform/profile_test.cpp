// The profile (INI) functions, with the rules Windows reads and writes INI files by.
#include "lyr_test.h"

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
  n = GetPrivateProfileSectionNamesA(names, 10, "C:\\test.ini");
  EXPECT_EQ(n, 8u);
  EXPECT_EQ(std::string(names, 10), std::string("General\0\0\0", 10));

  // Keys of a section: comments and lines without '=' are left out.
  n = GetPrivateProfileStringA("General", nullptr, "", names, sizeof names, "C:\\test.ini");
  EXPECT_EQ(std::string(names, n),
            std::string("Name\0Quoted\0Single\0Half\0Name\0Number\0Negative\0Hex\0", 49));
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
  EXPECT_FALSE(WritePrivateProfileStringA("General", "Name", "x", "C:\\test.ini"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  CloseHandle(held);
}

TEST_F(ProfileTest, WritesChangeOneLineAndKeepTheRest) {
  ASSERT_TRUE(WritePrivateProfileStringA("GENERAL", "name", "  new", "C:\\test.ini"));
  ASSERT_TRUE(WritePrivateProfileStringA("General", "Added", "1", "C:\\test.ini"));
  ASSERT_TRUE(WritePrivateProfileStringA("New Section", "Key", "Value", "C:\\test.ini"));
  std::string text = ReadHostFile(DriveC() + "/test.ini");
  EXPECT_NE(text.find("Name=new\r\n"), std::string::npos);
  EXPECT_NE(text.find(";Comment=hidden\r\n"), std::string::npos);
  EXPECT_NE(text.find("Hex=0x1F\r\nAdded=1\r\n\r\n[ Spaced Section ]"), std::string::npos);
  EXPECT_NE(text.find("final=no newline\r\n[New Section]\r\nKey=Value\r\n"), std::string::npos);
  EXPECT_EQ(Get("General", "Name"), "new");

  // A null value deletes the key; a null key deletes the section.
  ASSERT_TRUE(WritePrivateProfileStringA("General", "Added", nullptr, "C:\\test.ini"));
  EXPECT_EQ(Get("General", "Added"), "default");
  ASSERT_TRUE(WritePrivateProfileStringA("General", nullptr, nullptr, "C:\\test.ini"));
  EXPECT_EQ(Get("General", "Quoted"), "default");
  EXPECT_EQ(Get("General", "Late"), "in the duplicate section");
}

TEST_F(ProfileTest, WritesCreateFilesButNotFolders) {
  ASSERT_TRUE(WritePrivateProfileStringA("S", "k", "v", "C:\\fresh.ini"));
  EXPECT_EQ(ReadHostFile(DriveC() + "/fresh.ini"), "[S]\r\nk=v\r\n");
  EXPECT_FALSE(WritePrivateProfileStringA("S", "k", "v", "C:\\no\\such\\dir.ini"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  // A name without a folder lives in the Windows directory.
  ASSERT_TRUE(WritePrivateProfileStringA("S", "k", "w", "bare.ini"));
  EXPECT_TRUE(HostFileExists(DriveC() + "/windows/bare.ini"));
  ASSERT_TRUE(SetFileAttributesA("C:\\fresh.ini", FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(WritePrivateProfileStringA("S", "k", "x", "C:\\fresh.ini"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

}  // namespace
