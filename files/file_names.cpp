// The file-type table and the routines on file names. A backslash is the only directory
// separator they know and a dot the only extension separator.
#include <LyrUtil.h>

#include <cstring>
#include <string>

#include "text_buffer.h"

using lyrutil::CopyCut;
using lyrutil::kPathBufferBytes;
using lyrutil::ReplaceInPlace;

namespace {

constexpr unsigned short kFileTypes = 20;
constexpr unsigned short kLastDisplayedType = 15;
constexpr size_t kExtensionBufferBytes = 8;

// Writable, because the pointer overload of GetFileExtension hands out char*.
char g_extensions[kFileTypes][kExtensionBufferBytes] = {
    ".",    "._cr", "._ar", "._dr", "._mr", "._rr", "._xm", "._am", "._im", "._cm",
    "._rm", "._tm", "._em", "._st", "._bt", "._gm", ".a68", ".m3",  ".49",  ".met"};

char g_extensionBuffer[kExtensionBufferBytes];
char g_emptyText[1];

// Letters, digits and ! # $ % & ( ) - @ _ { }.
bool IsLegalCharacter(unsigned char c) {
  if (c >= 128) return false;
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
  return c != 0 && std::strchr("!#$%&()-@_{}", c) != nullptr;
}

std::string ExtensionOf(const char* name) {
  if (name == nullptr) return std::string();
  const char* dot = std::strrchr(name, '.');
  return dot ? std::string(dot) : std::string();
}

std::string WithoutExtension(const char* name) {
  const char* dot = std::strrchr(name, '.');
  return dot ? std::string(name, static_cast<size_t>(dot - name)) : std::string(name);
}

std::string DisplayName(unsigned short fileType) {
  CString text;
  if (fileType >= 1 && fileType <= kLastDisplayedType) text.LoadString(fileType);
  return static_cast<const char*>(text);
}

void AppendExtension(char* name, const std::string& base, const char* extension) {
  size_t original = std::strlen(name);
  ReplaceInPlace(name, original, base + extension);
}

}  // namespace

namespace lyrutil {
// The shared name buffer of GetFileName and GetUniqueFileName.
char g_sharedNameBuffer[kPathBufferBytes];
}  // namespace lyrutil

char* GetFileExtension(unsigned short fileType) {
  return g_extensions[fileType >= 1 && fileType <= kLastDisplayedType ? fileType : 0];
}

void GetFileExtension(unsigned short fileType, char* out) {
  if (out == nullptr) return;
  std::strcpy(out, g_extensions[fileType < kFileTypes ? fileType : 0]);
}

char* GetFileName(unsigned short fileType) {
  if (fileType < 1 || fileType > kLastDisplayedType) return g_emptyText;
  CopyCut(DisplayName(fileType), lyrutil::g_sharedNameBuffer, kPathBufferBytes);
  return lyrutil::g_sharedNameBuffer;
}

void GetFileName(unsigned short fileType, char* out) {
  CopyCut(DisplayName(fileType), out, kPathBufferBytes);
}

char* GetExt(char* name) {
  CopyCut(ExtensionOf(name), g_extensionBuffer, kExtensionBufferBytes);
  return g_extensionBuffer;
}

void GetExt(char* name, char* out) {
  CopyCut(ExtensionOf(name), out, kPathBufferBytes);
}

void RemoveExt(char* name) {
  if (name == nullptr) return;
  if (char* dot = std::strrchr(name, '.')) *dot = '\0';
}

void RemoveExtFromEnd(char* name) {
  RemoveExt(name);
}

void FixExt(char* name, const char* extension) {
  if (name == nullptr || extension == nullptr) return;
  std::string ext = extension[0] == '.' ? extension : std::string(".") + extension;
  AppendExtension(name, WithoutExtension(name), ext.c_str());
}

void FixExt_SansRemoveExt(char* name, const char* extension) {
  if (name == nullptr || extension == nullptr) return;
  std::string ext = extension[0] == '.' ? extension : std::string(".") + extension;
  AppendExtension(name, name, ext.c_str());
}

void FixFileExt(unsigned short fileType, char* name) {
  if (name == nullptr) return;
  char ext[kExtensionBufferBytes];
  GetFileExtension(fileType, ext);
  AppendExtension(name, WithoutExtension(name), ext);
}

void FixFileExt_samsRemoveExt(unsigned short fileType, char* name) {
  if (name == nullptr) return;
  char ext[kExtensionBufferBytes];
  GetFileExtension(fileType, ext);
  AppendExtension(name, name, ext);
}

int MakeFFPS(char* directory, char* name) {
  if (name == nullptr || directory == nullptr) return 0;
  if (name[0] != '\0' && name[1] == ':' && name[2] == '\\') return 0;
  size_t length = std::strlen(directory);
  if (length > 0 && directory[length - 1] == '\\') directory[length - 1] = '\0';
  CString full;
  AfxFormatString2(full, IDS_LYR_FULL_FILE_PATH, directory, name);
  ReplaceInPlace(name, std::strlen(name), static_cast<const char*>(full));
  return 1;
}

namespace {

enum class PathPart { kDirectory, kName, kNameWithExtension };

void SplitPath(const char* path, char* out, PathPart part) {
  if (out == nullptr) return;
  out[0] = '\0';
  if (path == nullptr) return;
  char copy[kPathBufferBytes];
  CopyCut(path, copy, sizeof copy);
  if (part != PathPart::kNameWithExtension) RemoveExtFromEnd(copy);
  // The first character is never looked at: "\run" has no directory.
  for (size_t i = std::strlen(copy); i > 1; --i) {
    if (copy[i - 1] != '\\') continue;
    if (part == PathPart::kDirectory) {
      copy[i - 1] = '\0';
      std::strcpy(out, copy);
    } else {
      std::strcpy(out, copy + i);
    }
    return;
  }
}

}  // namespace

void GetDirecFromFile(const char* path, char* out) {
  SplitPath(path, out, PathPart::kDirectory);
}
void GetNameFromFile(const char* path, char* out) {
  SplitPath(path, out, PathPart::kName);
}
void GetName_ExtFromFile(const char* path, char* out) {
  SplitPath(path, out, PathPart::kNameWithExtension);
}

int LegalFileCharacter(char c) {
  return IsLegalCharacter(static_cast<unsigned char>(c)) ? 1 : 0;
}

int LegalFileName(char* name) {
  if (name == nullptr) return 1;
  for (const char* p = name; *p; ++p) {
    if (!LegalFileCharacter(*p)) return 0;
  }
  return 1;
}

void CheckDirectoryLength(char* directory, unsigned int maximum) {
  if (directory == nullptr) return;
  size_t length = std::strlen(directory);
  if (length <= maximum) return;
  if (maximum < 6) {
    directory[maximum] = '\0';
    return;
  }
  std::string text(directory);
  std::string shortened = text.substr(0, 3) + "..." + text.substr(length - (maximum - 6));
  std::strcpy(directory, shortened.c_str());
}

void FormatDirString(const char* directory, char* out) {
  if (out == nullptr) return;
  std::string text = directory ? directory : "";
  if (text.empty() || text.back() != '\\') text += '\\';
  CopyCut(text, out, kPathBufferBytes);
}

unsigned int GetNumBackSlashes(const char* text) {
  unsigned int count = 0;
  for (const char* p = text; p && *p; ++p) {
    if (*p == '\\') ++count;
  }
  return count;
}
