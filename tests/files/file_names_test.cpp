// The file-type table and the name routines.
#include "lyr_test.h"

#include <cstring>
#include <string>

namespace {

class FileNamesTest : public LyrTest {};

std::string After(void (*edit)(char*), const char* name) {
  char buffer[MAX_PATH];
  std::strcpy(buffer, name);
  edit(buffer);
  return buffer;
}

std::string Split(void (*split)(const char*, char*), const char* path) {
  char out[MAX_PATH] = "garbage";
  split(path, out);
  return out;
}

TEST_F(FileNamesTest, ExtensionsOfTypesAndNames) {
  EXPECT_STREQ(GetFileExtension(1), "._cr");
  EXPECT_STREQ(GetFileExtension(17), ".");  // the pointer overload stops at 15
  EXPECT_STREQ(GetFileExtension(20), ".");
  char out[MAX_PATH];
  GetFileExtension(17, out);
  EXPECT_STREQ(out, ".m3");
  GetFileExtension(20, out);
  EXPECT_STREQ(out, ".");

  char name[] = "C:\\data\\run.01._cr";
  EXPECT_STREQ(GetExt(name), "._cr");
  char dotted[] = "C:\\old.dir\\run";
  GetExt(dotted, out);
  EXPECT_STREQ(out, ".dir\\run");
  EXPECT_STREQ(GetExt(dotted), ".dir\\ru");  // the 8-byte buffer keeps 7 characters
  char plain[] = "run";
  EXPECT_STREQ(GetExt(plain), "");
  char empty[] = "";
  EXPECT_STREQ(GetExt(empty), "");
  char leadingDot[] = ".cfg";  // a name whose only dot is its first character
  EXPECT_STREQ(GetExt(leadingDot), ".cfg");
}

TEST_F(FileNamesTest, DisplayNamesComeFromTheHost) {
  EXPECT_STREQ(GetFileName(1), "Chromatogram");
  EXPECT_STREQ(GetFileName(16), "");
  char out[MAX_PATH];
  GetFileName(15, out);
  EXPECT_STREQ(out, "Gradient method");
#if LYR_POSIX_TESTS  // a host without the string
  LyrClearHostStrings();
  GetFileName(3, out);
  EXPECT_STREQ(out, "");
#endif
}

TEST_F(FileNamesTest, CuttingAndPuttingExtensions) {
  EXPECT_EQ(After(RemoveExt, "C:\\data\\run.01._cr"), "C:\\data\\run.01");
  EXPECT_EQ(After(RemoveExtFromEnd, "C:\\data\\run"), "C:\\data\\run");
  char name[MAX_PATH] = "C:\\data\\run.x";
  FixExt(name, "met");
  EXPECT_STREQ(name, "C:\\data\\run.met");
  std::strcpy(name, "C:\\data\\run.x");
  FixExt_SansRemoveExt(name, ".met");
  EXPECT_STREQ(name, "C:\\data\\run.x.met");
  std::strcpy(name, "run._cr");
  FixFileExt(0, name);
  EXPECT_STREQ(name, "run.");
  std::strcpy(name, "run");
  FixFileExt_samsRemoveExt(17, name);
  EXPECT_STREQ(name, "run.m3");
  // A name that would outgrow its 260-byte buffer is cut at 259 characters.
  std::string longName(258, 'n');
  std::strcpy(name, longName.c_str());
  FixExt(name, ".met");
  EXPECT_EQ(std::strlen(name), 259u);
}

TEST_F(FileNamesTest, FullPathsAndSplitting) {
  char directory[MAX_PATH] = "C:\\data\\";
  char name[MAX_PATH] = "run";
  EXPECT_EQ(MakeFFPS(directory, name), 1);
  EXPECT_STREQ(directory, "C:\\data");
  EXPECT_STREQ(name, "C:\\data\\run");
  std::strcpy(name, "D:\\x\\run");
  EXPECT_EQ(MakeFFPS(directory, name), 0);
  EXPECT_STREQ(name, "D:\\x\\run");
  std::strcpy(name, "\\\\server\\run");
  EXPECT_EQ(MakeFFPS(directory, name), 1);

  EXPECT_EQ(Split(GetDirecFromFile, "C:\\data\\run._cr"), "C:\\data");
  EXPECT_EQ(Split(GetDirecFromFile, "run._cr"), "");
  EXPECT_EQ(Split(GetDirecFromFile, "\\run._cr"), "");
  EXPECT_EQ(Split(GetDirecFromFile, ""), "");
  EXPECT_EQ(Split(GetDirecFromFile, "C:\\old.dir\\run"), "C:");
  EXPECT_EQ(Split(GetNameFromFile, "C:\\data\\run._cr"), "run");
  EXPECT_EQ(Split(GetName_ExtFromFile, "C:\\data\\run._cr"), "run._cr");
  EXPECT_EQ(Split(GetNameFromFile, "C:\\data\\"), "");
  EXPECT_EQ(Split(GetName_ExtFromFile, "C:\\data\\"), "");
}

TEST_F(FileNamesTest, LegalNamesAndDirectoryTexts) {
  char good[] = "Run_01(a)";
  char spaced[] = "run 1";
  char dotted[] = "run.1";
  char accented[] = "r\xE9sultat";
  EXPECT_EQ(LegalFileName(good), 1);
  EXPECT_EQ(LegalFileName(spaced), 0);
  EXPECT_EQ(LegalFileName(dotted), 0);
  EXPECT_EQ(LegalFileName(accented), 0);
  EXPECT_EQ(LegalFileCharacter('~'), 0);
  EXPECT_EQ(LegalFileCharacter('}'), 1);

  char directory[MAX_PATH] = "C:\\Suite\\Projects\\Sample\\Data";
  CheckDirectoryLength(directory, 20);
  EXPECT_STREQ(directory, "C:\\...ts\\Sample\\Data");
  std::strcpy(directory, "C:\\twenty_characters");
  CheckDirectoryLength(directory, 20);
  EXPECT_STREQ(directory, "C:\\twenty_characters");
  CheckDirectoryLength(directory, 4);
  EXPECT_STREQ(directory, "C:\\t");

  char out[MAX_PATH];
  FormatDirString("C:\\data", out);
  EXPECT_STREQ(out, "C:\\data\\");
  FormatDirString("C:\\data\\", out);
  EXPECT_STREQ(out, "C:\\data\\");
  FormatDirString("", out);
  EXPECT_STREQ(out, "\\");
  EXPECT_EQ(GetNumBackSlashes("C:\\a\\b\\"), 3u);
  EXPECT_EQ(GetNumBackSlashes(""), 0u);
}

TEST_F(FileNamesTest, TenThousandCharacterArgumentsStayInsideTheBuffers) {
  std::string huge(10000, 'x');
  huge[5000] = '.';
  huge[7000] = '\\';
  std::string work = huge;
  char out[MAX_PATH];
  EXPECT_EQ(std::strlen(GetExt(&work[0])), 7u);
  GetExt(&work[0], out);
  EXPECT_EQ(std::strlen(out), 259u);
  GetDirecFromFile(huge.c_str(), out);
  GetNameFromFile(huge.c_str(), out);
  GetName_ExtFromFile(huge.c_str(), out);
  FormatDirString(huge.c_str(), out);
  EXPECT_EQ(std::strlen(out), 259u);
  FixExt(&work[0], ".met");
  EXPECT_EQ(std::strlen(work.c_str()), 5004u);  // cut at the last dot, then ".met"
  work = huge;
  FixFileExt_samsRemoveExt(17, &work[0]);
  work = huge;
  char directory[MAX_PATH] = "C:\\data";
  EXPECT_EQ(MakeFFPS(directory, &work[0]), 1);
  work = huge;
  CheckDirectoryLength(&work[0], 50);
  EXPECT_EQ(std::strlen(work.c_str()), 50u);
  work = huge;
  EXPECT_EQ(LegalFileName(&work[0]), 0);
  EXPECT_EQ(GetNumBackSlashes(huge.c_str()), 1u);
}

}  // namespace
