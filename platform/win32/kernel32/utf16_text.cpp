// Settings files in UTF-16 (little-endian, with a byte-order mark), as the registry editor exports
// them and as Windows keeps an INI file that starts so, converted to and from the ANSI code page
// (1252) in which the "A" functions hand out their texts; and that code page as UTF-8, for the
// printers' text.
#include "internal.h"

namespace lyrwin {
namespace {

// Code page 1252 from 0x80 to 0x9F; the five unassigned bytes map to the C1 controls of the same
// value, as Windows maps them.
constexpr uint16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

uint16_t UnitOf(unsigned char c) {
  return c >= 0x80 && c < 0xA0 ? kHighControls[c - 0x80] : c;
}

// The ANSI byte for a UTF-16 unit; false when the code page has none.
bool ByteOf(uint16_t unit, unsigned char* out) {
  if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
    *out = static_cast<unsigned char>(unit);
    return true;
  }
  for (int i = 0; i < 32; ++i) {
    if (kHighControls[i] == unit) {
      *out = static_cast<unsigned char>(0x80 + i);
      return true;
    }
  }
  return false;
}

}  // namespace

bool IsUtf16Text(const std::string& bytes) {
  return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
         static_cast<unsigned char>(bytes[1]) == 0xFE;
}

bool Utf16ToAnsi(const std::string& bytes, std::string* ansi) {
  ansi->clear();
  bool whole = bytes.size() % 2 == 0;
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
    uint16_t unit = static_cast<uint16_t>(static_cast<unsigned char>(bytes[i]) |
                                          static_cast<unsigned char>(bytes[i + 1]) << 8);
    unsigned char c;
    if (!ByteOf(unit, &c)) {
      c = '?';
      whole = false;
      if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) i += 2;  // one '?' per pair
    }
    ansi->push_back(static_cast<char>(c));
  }
  return whole;
}

std::string AnsiToUtf16(const std::string& ansi) {
  std::string bytes = "\xFF\xFE";
  bytes.reserve(2 + ansi.size() * 2);
  for (char c : ansi) {
    uint16_t unit = UnitOf(static_cast<unsigned char>(c));
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

std::string AnsiToUtf8(const std::string& ansi) {
  std::string utf8;
  utf8.reserve(ansi.size() * 3);
  for (char c : ansi) {
    const uint16_t unit = UnitOf(static_cast<unsigned char>(c));
    if (unit < 0x80) {
      utf8.push_back(static_cast<char>(unit));
    } else if (unit < 0x800) {
      utf8.push_back(static_cast<char>(0xC0 | unit >> 6));
      utf8.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
    } else {
      utf8.push_back(static_cast<char>(0xE0 | unit >> 12));
      utf8.push_back(static_cast<char>(0x80 | ((unit >> 6) & 0x3F)));
      utf8.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
    }
  }
  return utf8;
}

std::string PrintableUtf8(const std::string& ansi) {
  std::string text = ansi;
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  return AnsiToUtf8(text);
}

}  // namespace lyrwin
