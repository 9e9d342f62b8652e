// The registry in system.reg: what Windows' registry functions do, kept in a file a person can
// read, shared safely between processes.
#include "lyr_test.h"

#if LYR_POSIX_TESTS
#include <sys/stat.h>
#endif

#include <cstdio>
#include <cstring>

namespace {

class RegistryTest : public LyrTest {
 protected:
#if LYR_POSIX_TESTS  // the stand-in keeps the registry in the prefix's system.reg
  std::string RegistryText() {
    return ReadHostFile(Prefix() + "/system.reg");
  }
#endif
};

std::string QueryString(HKEY root, const char* subKey, const char* name) {
  HKEY key;
  if (RegOpenKeyExA(root, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return "<no key>";
  char data[512] = {};
  DWORD size = sizeof data;
  DWORD type = 0;
  LSTATUS status =
      RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return "<error " + std::to_string(status) + ">";
  return std::string(data);
}

TEST_F(RegistryTest, ValuesRoundTripThroughAReadableFile) {
  HKEY key;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor\\Product", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
  const char path[] = "C:\\Program Files\\Quote\"d";
  ASSERT_EQ(
      RegSetValueExA(key, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(path), sizeof path),
      ERROR_SUCCESS);
  DWORD count = 42;
  ASSERT_EQ(RegSetValueExA(key, "Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&count), 4),
            ERROR_SUCCESS);
  const BYTE blob[] = {0, 1, 0xFE, 0x7F};
  ASSERT_EQ(RegSetValueExA(key, "Blob", 0, REG_BINARY, blob, sizeof blob), ERROR_SUCCESS);
  RegCloseKey(key);

#if LYR_POSIX_TESTS
  std::string text = RegistryText();
  EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\r\n", 0), 0u);
  EXPECT_CONTAINS(text, "\\Vendor\\Product]\r\n");
  EXPECT_CONTAINS(text, "\"Path\"=\"C:\\\\Program Files\\\\Quote\\\"d\"");
  EXPECT_CONTAINS(text, "\"Count\"=dword:0000002a");
  EXPECT_CONTAINS(text, "\"Blob\"=hex:00,01,fe,7f");
#endif

  // Names match without case and keep the case they were made with.
  EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, "software\\VENDOR\\product", "path"), path);
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Vendor\\Product", 0, KEY_READ, &key),
            ERROR_SUCCESS);
  BYTE data[8] = {};
  DWORD size = sizeof data;
  DWORD type = 0;
  EXPECT_EQ(RegQueryValueExA(key, "BLOB", nullptr, &type, data, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(std::memcmp(data, blob, 4), 0);
  size = 2;
  EXPECT_EQ(RegQueryValueExA(key, "Path", nullptr, &type, data, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, sizeof path);
  EXPECT_EQ(RegQueryValueExA(key, "Missing", nullptr, &type, data, &size), ERROR_FILE_NOT_FOUND);
  // A key opened for reading cannot change values.
  EXPECT_EQ(RegSetValueExA(key, "x", 0, REG_DWORD, data, 4), ERROR_ACCESS_DENIED);
  RegCloseKey(key);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryTest, DefaultValuesSubKeysAndDeletion) {
  EXPECT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, "Compare\\shell\\open\\command", REG_SZ,
                         "C:\\x\\compare.exe %1", 0),
            ERROR_SUCCESS);
  EXPECT_EQ(QueryString(HKEY_CLASSES_ROOT, "Compare\\shell\\open\\command", nullptr),
            "C:\\x\\compare.exe %1");
#if LYR_POSIX_TESTS
  EXPECT_CONTAINS(RegistryText(), "[HKEY_CLASSES_ROOT\\Compare\\shell\\open\\command]\r\n@=");
#endif

  // A key with sub keys cannot be deleted; its leaves can, then it can.
  EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "Compare\\shell"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "Compare\\shell\\open\\command"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "Compare\\shell\\open\\command"),
            ERROR_FILE_NOT_FOUND);
  HKEY key;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "Compare\\shell\\open\\command", 0, KEY_READ, &key),
            ERROR_FILE_NOT_FOUND);

  ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Empty", &key), ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(key, "v", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2),
            ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueA(key, "V"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueA(key, "V"), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
  // An empty key survives the rewrite.
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Empty", 0, KEY_READ, &key), ERROR_SUCCESS);
  RegCloseKey(key);
}

#if LYR_POSIX_TESTS  // the stand-in's own file, system.reg
TEST_F(RegistryTest, HandEditedFileIsRead) {
  WriteHostFile(Prefix() + "/system.reg",
                "Windows Registry Editor Version 5.00\n\n"
                "; a comment\n"
                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\KDT_Zuzovodevoz\\Tessera]\n"
                "\"Path\"=\"D:\\\\Tessera\"\n"
                "\"Long\"=hex:01,02,\\\n  03,04\n"
                "garbage line\n"
                "[HKEY_NOWHERE\\x]\n\"a\"=\"b\"\n");
  EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\KDT_Zuzovodevoz\\Tessera", "Path"),
            "D:\\Tessera");
  HKEY key;
  ASSERT_EQ(
      RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\KDT_Zuzovodevoz\\Tessera", 0, KEY_READ, &key),
      ERROR_SUCCESS);
  BYTE data[8];
  DWORD size = sizeof data;
  EXPECT_EQ(RegQueryValueExA(key, "Long", nullptr, nullptr, data, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(data[3], 4);
  RegCloseKey(key);
}
#endif

#if LYR_POSIX_TESTS  // the stand-in's own file, system.reg
TEST_F(RegistryTest, ReadOnlyRegistryRefusesWriteAccessButReads) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Locked", &key), ERROR_SUCCESS);
  RegCloseKey(key);
  ASSERT_EQ(::chmod((Prefix() + "/system.reg").c_str(), 0444), 0);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Locked", 0, KEY_ALL_ACCESS, &key),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Other", &key), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, "x", REG_SZ, "y", 1), ERROR_ACCESS_DENIED);
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Locked", 0, KEY_READ, &key),
            ERROR_SUCCESS);
  RegCloseKey(key);
}
#endif

TEST_F(RegistryTest, WritesOfTwoProcessesBothSurvive) {
  const int kWrites = 40;
  HelperProcess first(HelperPath("reg_writer"), {"first", std::to_string(kWrites)});
  HelperProcess second(HelperPath("reg_writer"), {"second", std::to_string(kWrites)});
  ASSERT_EQ(first.FirstLine(), "ready");
  ASSERT_EQ(second.FirstLine(), "ready");
  EXPECT_EQ(first.Wait(), 0);
  EXPECT_EQ(second.Wait(), 0);
  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Race", 0, KEY_READ, &key), ERROR_SUCCESS);
  for (const char* writer : {"first", "second"}) {
    for (int i = 0; i < kWrites; ++i) {
      DWORD value = 0;
      DWORD size = sizeof value;
      std::string name = writer + std::to_string(i);
      EXPECT_EQ(RegQueryValueExA(key, name.c_str(), nullptr, nullptr,
                                 reinterpret_cast<BYTE*>(&value), &size),
                ERROR_SUCCESS)
          << name;
      EXPECT_EQ(value, static_cast<DWORD>(i));
    }
  }
  RegCloseKey(key);
}

bool SetString(const char* subKey, const char* name, const char* text) {
  HKEY key;
  if (RegCreateKeyA(HKEY_LOCAL_MACHINE, subKey, &key) != ERROR_SUCCESS) return false;
  LSTATUS status = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                  static_cast<DWORD>(std::strlen(text) + 1));
  RegCloseKey(key);
  SetLastError(static_cast<DWORD>(status));
  return status == ERROR_SUCCESS;
}

#if LYR_POSIX_TESTS  // the stand-in's own file, system.reg
std::string Utf16(const std::u16string& text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

// What the registry editor exports by default: UTF-16 with its byte-order mark.
TEST_F(RegistryTest, AUtf16FileIsReadAndStaysUtf16) {
  WriteHostFile(Prefix() + "/system.reg", Utf16(u"Windows Registry Editor Version 5.00\r\n\r\n"
                                                u"[HKEY_LOCAL_MACHINE\\Software\\Lab]\r\n"
                                                u"\"Site\"=\"Z\u00fcrich \u20ac\"\r\n\r\n"));
  EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, "Software\\Lab", "Site"), "Z\xFCrich \x80");
  ASSERT_TRUE(SetString("Software\\Lab", "Room", "B12"));
  const std::string text = RegistryText();
  EXPECT_EQ(text.compare(0, 2, "\xFF\xFE"), 0);
  EXPECT_CONTAINS(text, Utf16(u"\"Site\"=\"Z\u00fcrich \u20ac\"").substr(2));
  EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, "Software\\Lab", "Site"), "Z\xFCrich \x80");
  EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, "Software\\Lab", "Room"), "B12");

  // A character the ANSI code page lacks reads as '?', and the file is never written back.
  WriteHostFile(Prefix() + "/system.reg",
                Utf16(u"Windows Registry Editor Version 5.00\r\n\r\n"
                      u"[HKEY_LOCAL_MACHINE\\Software\\Lab]\r\n\"Site\"=\"\u4e2d\"\r\n"));
  const std::string before = RegistryText();
  EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, "Software\\Lab", "Site"), "?");
  EXPECT_FAILS(SetString("Software\\Lab", "Room", "B12"), ERROR_REGISTRY_CORRUPT);
  EXPECT_TRUE(RegistryText() == before);
}
#endif

#if LYR_POSIX_TESTS  // the stand-in's own file, system.reg
TEST_F(RegistryTest, LinesNotUnderstoodAreKeptAsTheyStand) {
  const char* kept[] = {"[HKEY_USERS\\.DEFAULT\\Other]", "\"A\"=\"1\"", "\"Count\"=DWORD:00000001",
                        "\"Open\"=\"no closing quote", "; a comment"};
  WriteHostFile(Prefix() + "/system.reg",
                std::string("Windows Registry Editor Version 5.00\r\n\r\n") +
                    "[HKEY_LOCAL_MACHINE\\Software\\Lab]\r\n" + kept[2] + "\r\n" + kept[3] +
                    "\r\n" + kept[4] + "\r\n\r\n" + kept[0] + "\r\n" + kept[1] + "\r\n");
  ASSERT_TRUE(SetString("Software\\Lab", "Room", "B12"));
  ASSERT_TRUE(SetString("Software\\Lab", "Room", "B13"));
  const std::string text = RegistryText();
  for (const char* line : kept) EXPECT_CONTAINS(text, std::string(line) + "\r\n") << line;
  EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, "Software\\Lab", "Room"), "B13");
}
#endif

// Windows accepts any character but the separator in a key name and any at all in a value name;
// a line break must neither lose the name nor start a section of its own.
TEST_F(RegistryTest, NamesWithLineBreaksReadBackUnchanged) {
  const char keyName[] = "Software\\Lab\\two\r\nlines";
  const char valueName[] = "v\r\n[HKEY_LOCAL_MACHINE\\Software\\Injected]";
  ASSERT_TRUE(SetString(keyName, valueName, "data"));
  ASSERT_TRUE(SetString("Software\\Lab\\x64", "plain", "1"));  // "\x" in a path is no escape
  EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, keyName, valueName), "data");
  EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, "Software\\Lab\\x64", "plain"), "1");
  HKEY injected;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Injected", 0, KEY_READ, &injected),
            ERROR_FILE_NOT_FOUND);
  ASSERT_TRUE(SetString("Software\\Lab", "after", "2"));  // another rewrite keeps them
  EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, keyName, valueName), "data");
}

// Queries are served from memory while the file is unchanged; every way of changing it between
// two queries shows at the second: another process through the registry functions, an editor
// that writes in place without changing the size, and one that replaces the file by rename.
TEST_F(RegistryTest, AChangeByAnotherProcessShowsAtTheNextQuery) {
  ASSERT_TRUE(SetString("Software\\Lab", "Site", "A1"));
  EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, "Software\\Lab", "Site"), "A1");
  EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, "Software\\Lab", "Site"), "A1");  // from memory

  HelperProcess writer(HelperPath("reg_writer"), {"v", "1"});  // SOFTWARE\Race\v0
  ASSERT_EQ(writer.FirstLine(), "ready");
  ASSERT_EQ(writer.Wait(), 0);
  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Race", 0, KEY_READ, &key), ERROR_SUCCESS);
  RegCloseKey(key);

#if LYR_POSIX_TESTS  // editors changing system.reg
  const std::string file = Prefix() + "/system.reg";
  std::string text = RegistryText();
  const size_t at = text.find("\"A1\"");
  ASSERT_NE(at, std::string::npos);
  text.replace(at, 4, "\"B2\"");  // the same size, written in place as an editor saves
  {
    FILE* f = std::fopen(file.c_str(), "r+b");
    ASSERT_NE(f, nullptr);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
  EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, "Software\\Lab", "Site"), "B2");

  text.replace(at, 4, "\"C3\"");  // a new file renamed over the old one
  WriteHostFile(file + ".new", text);
  ASSERT_EQ(std::rename((file + ".new").c_str(), file.c_str()), 0);
  EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, "Software\\Lab", "Site"), "C3");
#endif
}

}  // namespace
