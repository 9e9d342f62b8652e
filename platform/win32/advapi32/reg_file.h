// The registry's data model and its text form, the format of .reg files:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Vendor\Product]
//   "Path"="C:\\Program Files\\Product"
//   @="default value"
//   "Count"=dword:0000002a
//   "Blob"=hex:01,02,03
//   "Other"=hex(7):41,00,00,00
//
// so that a person can read, edit and import it. Every key is written as a section of its own,
// empty ones too, so that a created key survives a rewrite. Lines the parser does not understand
// (a typo, another hive, a value without its closing quote) are kept as they stand and written
// back, in their key's section or at the end. Names may hold any character Windows accepts: a
// control character is written "\xNN" inside a quoted value name, and "\\xNN" in a key path,
// where a single backslash separates keys. A file in UTF-16 is read and written back in UTF-16.
#ifndef LYRWIN_REG_FILE_H
#define LYRWIN_REG_FILE_H

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace lyrwin {

struct RegValue {
  std::string name;  // empty for the default value
  DWORD type = REG_SZ;
  std::string data;  // the bytes as stored, a string's terminator included
};

// A key and its subtree. Names keep the case they were created with and match without it.
struct RegKey {
  std::string name;
  std::vector<RegValue> values;
  std::vector<std::unique_ptr<RegKey>> children;  // in the order they were made
  std::vector<std::string> kept;  // lines of its section the parser did not understand

  RegKey* Child(const std::string& childName);
  const RegKey* Child(const std::string& childName) const;
  RegKey* AddChild(const std::string& childName);  // the existing child, or a new one
  bool RemoveChild(const std::string& childName);
  RegValue* Value(const std::string& valueName);
  const RegValue* Value(const std::string& valueName) const;
  void SetValue(const std::string& valueName, DWORD type, std::string data);
  bool RemoveValue(const std::string& valueName);

 private:
  // The children by their name folded to lower case: a key with thousands of subkeys is looked
  // up, and a large registry parsed, without a scan per name.
  std::unordered_map<std::string, RegKey*> byName_;
};

enum RegHive { kClassesRoot = 0, kCurrentUser = 1, kLocalMachine = 2, kHiveCount = 3 };
const char* HiveName(int hive);

struct RegTree {
  RegKey hives[kHiveCount];
  std::vector<std::string> preamble;  // lines before the first section, as they stand
  std::vector<std::string> foreign;   // sections of other hives, as they stand
  bool utf16 = false;                 // the file was UTF-16, and is written back so
  bool whole = true;                  // false when some character could not be read
};

// Parses the bytes of a .reg file, ANSI or UTF-16. Nothing in it is fatal: the file is meant to be
// edited by hand.
void ParseRegText(const std::string& bytes, RegTree* tree);
std::string FormatRegText(const RegTree& tree);

// Splits a key path on backslashes; empty components (a trailing separator) are skipped.
std::vector<std::string> SplitKeyPath(const std::string& path);
// The same into `parts`, whose room a caller that keeps it reuses.
void SplitKeyPath(std::string_view path, std::vector<std::string>* parts);

}  // namespace lyrwin

#endif  // LYRWIN_REG_FILE_H
