// The module range table "\module.csv" in the working directory: one row per module kind,
// 13 columns separated by ";".
//
// The table is edited by people, so the search stops without a fit at the first sign that the
// file is not what it should be: a line longer than 254 characters, a row without its 12
// separators or with a column longer than 19 characters, fewer rows than the count in line 1.
// Lines end with a carriage return as the suite writes them; a line feed that does not follow a
// carriage return ends a line too, so that a table saved with Unix line ends still reads.
#include <LyrUtil.h>

#include <mbstring.h>

#include <cstring>
#include <string>
#include <vector>

#include "frame/frame_state.h"
#include "numeric/numeric_text.h"

namespace {

constexpr size_t kMaxLine = 254;
constexpr size_t kMaxTableBytes = 16u << 20;  // far beyond any real table; more is not one
constexpr size_t kMaxColumn = 19;
constexpr int kSeparators = 12;
constexpr size_t kMaxArchiveName = 99;
constexpr int kArchiveNameField = 20;
const char kCatchAll[] = "AUTRE";

// The columns of a row: 12 ended by ';' (carriage returns and line feeds dropped), then the rest.
struct Row {
  std::vector<std::string> columns;
  bool wellFormed = true;
};

Row SplitRow(const char* row) {
  Row result;
  const char* p = row;
  for (int c = 0; c < kSeparators; ++c) {
    std::string column;
    while (*p && *p != ';') {
      if (*p != '\r' && *p != '\n') column += *p;
      ++p;
    }
    if (*p != ';') result.wellFormed = false;
    if (column.size() > kMaxColumn) {
      result.wellFormed = false;
      column.resize(kMaxColumn);
    }
    result.columns.push_back(column);
    if (*p == ';') ++p;
  }
  std::string last = p;
  if (last.size() > kMaxColumn) {
    result.wellFormed = false;
    last.resize(kMaxColumn);
  }
  result.columns.push_back(last);
  return result;
}

double Number(const std::string& column, double empty) {
  return column.empty() ? empty : lyrutil::ClassicAtof(column.c_str());
}

void Fill(const Row& row, __RangeValue7400& range) {
  std::memset(range.szModuleName, 0, sizeof range.szModuleName);
  std::memcpy(range.szModuleName, row.columns[0].data(), row.columns[0].size());
  range.dModuleValue = Number(row.columns[1], 0.0);
  range.dValue3 = Number(row.columns[2], 0.0);
  const std::string& type = row.columns[3];
  if (type == "FIX") range.cType = 'F';
  if (type == "VAR") range.cType = 'V';
  if (type == "BF") range.cType = 'B';
  for (int column = 5; column <= 13; ++column) {
    double empty = (column == 11 || column == 12) ? 60.0 : 0.0;
    range.dValues[column - 5] = Number(row.columns[column - 1], empty);
  }
}

std::string Lower(const char* text, size_t bytes) {
  CString lowered(text, static_cast<int>(strnlen(text, bytes)));
  lowered.MakeLower();
  return static_cast<const char*>(lowered);
}

bool SameText(const std::string& a, const std::string& b) {
  return _mbscmp(reinterpret_cast<const unsigned char*>(a.c_str()),
                 reinterpret_cast<const unsigned char*>(b.c_str())) == 0;
}

// The table's lines; false when one is longer than a line may be.
bool ReadLines(CFile& file, std::vector<std::string>* lines) {
  std::string content;
  char buffer[4096];
  UINT n;
  while ((n = file.Read(buffer, sizeof buffer)) > 0) {
    content.append(buffer, n);
    if (content.size() > kMaxTableBytes) return false;
  }
  std::string line;
  for (size_t i = 0; i < content.size(); ++i) {
    char c = content[i];
    if (c == '\r' || (c == '\n' && (i == 0 || content[i - 1] != '\r'))) {
      lines->push_back(line);
      line.clear();
    } else {
      line += c;
    }
    if (line.size() > kMaxLine) return false;
  }
  if (!line.empty()) lines->push_back(line);
  return true;
}

}  // namespace

void ParseModuleInfo(char* const row, __RangeValue7400& range) {
  if (row == nullptr) return;
  Fill(SplitRow(row), range);
}

int checkModule(__RangeValue7400& range, __Q7400ProfileModule module) {
  const char* word = range.cType == 'B'   ? "BF"
                     : range.cType == 'F' ? "FIX"
                     : range.cType == 'V' ? "VAR"
                                          : "";
  if (!SameText(Lower(module.szModuleName, sizeof module.szModuleName),
                Lower(range.szModuleName, sizeof range.szModuleName)))
    return 0;
  if (module.dModuleValue != range.dModuleValue) return 0;
  return SameText(Lower(module.szType, sizeof module.szType), Lower(word, 4)) ? 1 : 0;
}

// The working record starts with no type code: a row fits a module by its type only once a row
// has named one.
void GetRangeValue(__Q7400ProfileModule module, __RangeValue7400& range) {
  CString path = lyrutil::DataDirectory() + "\\module.csv";
  if (!fExists(path)) return;
  CFile file;
  // Read access that denies only writing: any number of readers at once.
  if (!file.Open(path, CFile::modeRead | CFile::shareDenyWrite)) return;
  std::vector<std::string> lines;
  bool readable = false;
  try {
    readable = ReadLines(file, &lines);
    file.Close();
  } catch (CException* e) {
    e->Delete();
    file.Abort();
    return;
  }
  if (!readable || lines.empty()) return;
  size_t separator = lines[0].find(';');
  if (separator == std::string::npos) return;
  const long long count = lyrutil::ClassicAtol(lines[0].c_str() + separator + 1);
  if (count <= 0) return;
  __RangeValue7400 working;
  std::memset(&working, 0, sizeof working);
  for (long long r = 0; r < count - 1; ++r) {
    size_t line = static_cast<size_t>(r) + 2;
    if (line >= lines.size()) return;  // shorter than its count says
    Row row = SplitRow(lines[line].c_str());
    if (!row.wellFormed) return;
    Fill(row, working);
    if (std::strcmp(working.szModuleName, kCatchAll) == 0 || checkModule(working, module)) {
      range = working;
      return;
    }
  }
}

// The 20th field, between the 19th and 20th ';'. A line with fewer fields, or a name longer
// than 99 characters, gives the empty name.
CString GetModuleNameFromARArchive(char* const line) {
  if (line == nullptr) return CString();
  const char* p = line;
  for (int passed = 0; passed < kArchiveNameField - 1; ++p) {
    if (*p == '\0') return CString();
    if (*p == ';') ++passed;
  }
  const char* end = std::strchr(p, ';');
  size_t length = end ? static_cast<size_t>(end - p) : std::strlen(p);
  if (length > kMaxArchiveName) return CString();
  return CString(p, static_cast<int>(length));
}
