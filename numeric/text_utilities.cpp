// Small text utilities of the suite's dialogs and printouts.
#include <LyrUtil.h>

#include <cstring>
#include <string>

// Breaks a title into two lines at the space nearest its middle; only the space character counts.
void ParseTitle(const char* title, char* firstLine, char* secondLine) {
  if (firstLine == nullptr || secondLine == nullptr) return;
  std::string text = title ? title : "";
  const size_t half = text.size() / 2;
  size_t left = text.rfind(' ', half == 0 ? std::string::npos : half - 1);
  if (half == 0) left = std::string::npos;
  size_t right = text.find(' ', half);
  size_t at;
  if (left == std::string::npos && right == std::string::npos) {
    std::strcpy(firstLine, text.c_str());
    secondLine[0] = '\0';
    return;
  }
  if (right == std::string::npos) {
    at = left;
  } else if (left == std::string::npos) {
    at = right;
  } else {
    size_t toLeft = half - (left + 1);
    size_t toRight = right - half + 1;
    at = toLeft < toRight ? left : right;
  }
  std::strcpy(firstLine, text.substr(0, at).c_str());
  std::strcpy(secondLine, text.substr(at + 1).c_str());
}

void RemoveSpaces(CString& text) {
  text.Remove(' ');
}

void RemoveSpaces(char* text) {
  if (text == nullptr) return;
  char* out = text;
  for (const char* in = text; *in; ++in) {
    if (*in != ' ') *out++ = *in;
  }
  *out = '\0';
}

int CheckFlag(int mask1, int mask2) {
  return (mask1 & mask2) != 0 ? 1 : 0;
}
int CheckFlag(ULONG mask1, ULONG mask2) {
  return (mask1 & mask2) != 0 ? 1 : 0;
}
int CheckFlag(unsigned short mask1, unsigned short mask2) {
  return (mask1 & mask2 & 0xFFFF) != 0 ? 1 : 0;
}
