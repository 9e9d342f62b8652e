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
    const size_t room = capacity_ - 1 - used_;
    n = std::min(n, room);
    std::memcpy(out_ + used_, text, n);
    used_ += n;
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

// The decimal digits of `value`, with a minus sign for a negative signed value; returns the count.
size_t Decimal(unsigned long long value, bool negative, char* out) {
  char digits[24];
  size_t n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  size_t length = 0;
  if (negative) out[length++] = '-';
  while (n > 0) out[length++] = digits[--n];
  return length;
}

// One conversion's printf format: "%", the flags, width and precision as written, then `tail`.
// Built in a fixed buffer; flags, width and precision longer than it (never in practice) are
// cut, as wsprintf caps the field at its output size anyway.
class Conversion {
 public:
  Conversion(const char* modifiers, size_t length) {
    text_[0] = '%';
    length_ = 1 + std::min(length, sizeof text_ - 8);
    std::memcpy(text_ + 1, modifiers, length_ - 1);
  }
  bool Plain() const { return length_ == 1; }
  const char* With(const char* tail) {
    std::strcpy(text_ + length_, tail);
    return text_;
  }

 private:
  char text_[64];
  size_t length_;
};

}  // namespace

// Windows' wsprintf: %d %i %u %x %X %c %s %p with the flags '-', '#', '0', a width and a
// precision; 'l' is the 32-bit long, "I64" a 64-bit integer, 'h' a short; at most 1024 bytes.
extern "C" int WINAPI wvsprintfA(LPSTR lpOut, LPCSTR lpFmt, va_list arglist) {
  if (lpOut == nullptr) return 0;
  BoundedOutput out(lpOut, kWsprintfLimit);
  if (lpFmt == nullptr) return out.Finish();
  va_list args;
  va_copy(args, arglist);
  const char* p = lpFmt;
  while (*p) {
    if (*p != '%') {
      const char* next = std::strchr(p, '%');
      const size_t n = next != nullptr ? static_cast<size_t>(next - p) : std::strlen(p);
      out.Put(p, n);
      p += n;
      continue;
    }
    if (p[1] == 's') {  // a plain %s, the common case: nothing to parse or format
      const char* s = va_arg(args, const char*);
      const char* text = s ? s : "(null)";
      out.Put(text, std::strlen(text));
      p += 2;
      continue;
    }
    const char* start = p++;
    const char* modifiers = p;
    while (*p == '-' || *p == '#' || *p == '0') ++p;
    while (*p >= '0' && *p <= '9') ++p;
    if (*p == '.') {
      ++p;
      while (*p >= '0' && *p <= '9') ++p;
    }
    Conversion conversion(modifiers, static_cast<size_t>(p - modifiers));
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
          n = std::snprintf(piece, sizeof piece, conversion.With("lld"), va_arg(args, long long));
        } else {
          int v = va_arg(args, int);
          if (size == kShort) v = static_cast<short>(v);
          if (conversion.Plain()) {  // the common case, without printf
            const long long wide = v;
            n = static_cast<int>(
                Decimal(static_cast<unsigned long long>(wide < 0 ? -wide : wide), wide < 0, piece));
          } else {
            n = std::snprintf(piece, sizeof piece, conversion.With("d"), v);
          }
        }
        break;
      case 'u':
      case 'x':
      case 'X': {
        const char tail[] = {type, '\0'};
        const char longTail[] = {'l', 'l', type, '\0'};
        if (size == kLong64) {
          n = std::snprintf(piece, sizeof piece, conversion.With(longTail),
                            va_arg(args, unsigned long long));
        } else {
          unsigned v = va_arg(args, unsigned);
          if (size == kShort) v = static_cast<unsigned short>(v);
          if (type == 'u' && conversion.Plain())
            n = static_cast<int>(Decimal(v, false, piece));
          else
            n = std::snprintf(piece, sizeof piece, conversion.With(tail), v);
        }
        break;
      }
      case 'c':
      case 'C':
        n = std::snprintf(piece, sizeof piece, conversion.With("c"), va_arg(args, int));
        break;
      case 's':
      case 'S': {
        const char* s = va_arg(args, const char*);
        n = std::snprintf(piece, sizeof piece, conversion.With("s"), s ? s : "(null)");
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
