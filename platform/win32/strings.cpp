// The lstr family and wsprintfA.
#include "internal.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

extern "C" int WINAPI lstrlenA(LPCSTR lpString) {
  return lpString ? static_cast<int>(std::strlen(lpString)) : 0;
}

extern "C" LPSTR WINAPI lstrcpyA(LPSTR lpString1, LPCSTR lpString2) {
  if (lpString1 == nullptr || lpString2 == nullptr) return nullptr;
  return std::strcpy(lpString1, lpString2);
}

// Copies at most iMaxLength - 1 characters and always terminates, as Windows does.
extern "C" LPSTR WINAPI lstrcpynA(LPSTR lpString1, LPCSTR lpString2, int iMaxLength) {
  if (lpString1 == nullptr || lpString2 == nullptr) return nullptr;
  if (iMaxLength <= 0) return lpString1;
  int i = 0;
  for (; i < iMaxLength - 1 && lpString2[i]; ++i) lpString1[i] = lpString2[i];
  lpString1[i] = '\0';
  return lpString1;
}

extern "C" LPSTR WINAPI lstrcatA(LPSTR lpString1, LPCSTR lpString2) {
  if (lpString1 == nullptr || lpString2 == nullptr) return nullptr;
  return std::strcat(lpString1, lpString2);
}

namespace {

// wsprintf writes at most 1024 bytes, the terminator included.
constexpr size_t kWsprintfLimit = 1024;

class BoundedOutput {
 public:
  BoundedOutput(char* out, size_t capacity) : out_(out), capacity_(capacity) {}
  void Put(const char* text, size_t n) {
    for (size_t i = 0; i < n && used_ + 1 < capacity_; ++i) out_[used_++] = text[i];
  }
  int Finish() {
    out_[used_] = '\0';
    return static_cast<int>(used_);
  }

 private:
  char* out_;
  size_t capacity_;
  size_t used_ = 0;
};

}  // namespace

extern "C" int WINAPI wvsprintfA(LPSTR lpOut, LPCSTR lpFmt, va_list arglist) {
  if (lpOut == nullptr) return 0;
  BoundedOutput out(lpOut, kWsprintfLimit);
  if (lpFmt == nullptr) return out.Finish();
  va_list args;
  va_copy(args, arglist);
  const char* p = lpFmt;
  while (*p) {
    if (*p != '%') {
      out.Put(p++, 1);
      continue;
    }
    const char* start = p++;
    std::string conversion = "%";
    while (*p == '-' || *p == '#' || *p == '0') conversion += *p++;
    while (*p >= '0' && *p <= '9') conversion += *p++;
    if (*p == '.') {
      conversion += *p++;
      while (*p >= '0' && *p <= '9') conversion += *p++;
    }
    enum { kInt, kShort, kLong64 } size = kInt;
    if (*p == 'h') {
      size = kShort;
      ++p;
    } else if (*p == 'l') {
      ++p;  // LONG is 32 bits, as int
    } else if (p[0] == 'I' && p[1] == '6' && p[2] == '4') {
      size = kLong64;
      p += 3;
    }
    char type = *p;
    if (type == '\0') {
      out.Put(start, std::strlen(start));
      break;
    }
    ++p;
    char piece[kWsprintfLimit + 64];
    int n = 0;
    switch (type) {
      case 'd':
      case 'i':
        if (size == kLong64) {
          n = std::snprintf(piece, sizeof piece, (conversion + "lld").c_str(),
                            va_arg(args, long long));
        } else {
          int v = va_arg(args, int);
          if (size == kShort) v = static_cast<short>(v);
          n = std::snprintf(piece, sizeof piece, (conversion + "d").c_str(), v);
        }
        break;
      case 'u':
      case 'x':
      case 'X':
        if (size == kLong64) {
          n = std::snprintf(piece, sizeof piece, (conversion + "ll" + type).c_str(),
                            va_arg(args, unsigned long long));
        } else {
          unsigned v = va_arg(args, unsigned);
          if (size == kShort) v = static_cast<unsigned short>(v);
          n = std::snprintf(piece, sizeof piece, (conversion + type).c_str(), v);
        }
        break;
      case 'c':
      case 'C':
        n = std::snprintf(piece, sizeof piece, (conversion + "c").c_str(), va_arg(args, int));
        break;
      case 's':
      case 'S': {
        const char* s = va_arg(args, const char*);
        if (conversion == "%") {  // a plain %s, the common case: no formatting to do
          const char* text = s ? s : "(null)";
          out.Put(text, std::strlen(text));
          continue;
        }
        n = std::snprintf(piece, sizeof piece, (conversion + "s").c_str(), s ? s : "(null)");
        break;
      }
      case 'p':
        n = std::snprintf(
            piece, sizeof piece, "%0*lX", static_cast<int>(2 * sizeof(void*)),
            static_cast<unsigned long>(reinterpret_cast<uintptr_t>(va_arg(args, void*))));
        break;
      default:
        // An unknown type is copied as it stands, as Windows does.
        piece[0] = type;
        n = 1;
        break;
    }
    if (n > 0) out.Put(piece, std::min(static_cast<size_t>(n), sizeof piece - 1));
  }
  va_end(args);
  return out.Finish();
}

extern "C" int WINAPIV wsprintfA(LPSTR lpOut, LPCSTR lpFmt, ...) {
  va_list args;
  va_start(args, lpFmt);
  int n = wvsprintfA(lpOut, lpFmt, args);
  va_end(args);
  return n;
}

namespace lyrwin {

std::string TranslateWindowsFormat(const char* format) {
  std::string result;
  const char* p = format;
  while (*p) {
    if (*p != '%') {
      result += *p++;
      continue;
    }
    result += *p++;
    if (*p == '%') {
      result += *p++;
      continue;
    }
    while (*p && std::strchr("-+ #0123456789.*", *p)) result += *p++;
    if (p[0] == 'I' && p[1] == '6' && p[2] == '4') {
      result += "ll";
      p += 3;
    } else if (p[0] == 'l' && p[1] != 'l' && p[1] && std::strchr("diouxX", p[1])) {
      ++p;  // a Windows long is 32 bits: the argument is an int here
    }
  }
  return result;
}

}  // namespace lyrwin
