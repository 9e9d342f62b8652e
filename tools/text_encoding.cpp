#include "text_encoding.h"

#include <cstdint>

namespace {

// 0x80-0x9F of code page 1252; 0 where the code page leaves the byte undefined (it then stands
// for the C1 control of the same value, as Windows maps it).
const uint16_t kHighControls[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

uint32_t Cp1252CodePoint(unsigned char c) {
  if (c >= 0x80 && c < 0xA0 && kHighControls[c - 0x80]) return kHighControls[c - 0x80];
  return c;
}

void AppendUtf8(uint32_t cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::string Cp1252ToUtf8(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) AppendUtf8(Cp1252CodePoint(c), &out);
  return out;
}

std::string Utf8ToCp1252(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    uint32_t cp;
    size_t length;
    if (c < 0x80) {
      cp = c;
      length = 1;
    } else if ((c & 0xE0) == 0xC0) {
      cp = c & 0x1F;
      length = 2;
    } else if ((c & 0xF0) == 0xE0) {
      cp = c & 0x0F;
      length = 3;
    } else if ((c & 0xF8) == 0xF0) {
      cp = c & 0x07;
      length = 4;
    } else {
      out.push_back('?');
      ++i;
      continue;
    }
    if (i + length > text.size()) {
      out.push_back('?');
      break;
    }
    bool valid = true;
    for (size_t k = 1; k < length; ++k) {
      unsigned char next = static_cast<unsigned char>(text[i + k]);
      valid = valid && (next & 0xC0) == 0x80;
      cp = cp << 6 | (next & 0x3F);
    }
    // An overlong form (C0 80 for NUL) or a surrogate is no character: it could smuggle a NUL
    // or a separator past a check of the text.
    static const uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    valid = valid && cp >= kSmallest[length] && !(cp >= 0xD800 && cp <= 0xDFFF) && cp <= 0x10FFFF;
    i += valid ? length : 1;
    char mapped = '?';
    if (valid && (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))) {
      mapped = static_cast<char>(cp);
    } else if (valid) {
      for (int k = 0; k < 32; ++k) {
        if (kHighControls[k] == cp) mapped = static_cast<char>(0x80 + k);
      }
    }
    out.push_back(mapped);
  }
  return out;
}

namespace {

// The length of the well-formed UTF-8 sequence at `at` (no overlongs, no surrogates, at most
// U+10FFFF), 0 when there is none.
size_t Utf8SequenceLength(const std::string& text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                  : lead >= 0xE0 && lead <= 0xEF ? 3
                  : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                 : 0;
  if (length == 0 || at + length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i)
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
  const unsigned char second = byte(at + 1);
  if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
      (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F))
    return 0;
  return length;
}

}  // namespace

std::string HostPathText(const std::string& hostPath) {
  std::string text;
  for (size_t at = 0; at < hostPath.size();) {
    const size_t length = Utf8SequenceLength(hostPath, at);
    if (length == 0) {
      text += "\xEF\xBF\xBD";  // U+FFFD
      ++at;
    } else {
      text.append(hostPath, at, length);
      at += length;
    }
  }
  return text;
}

std::string DumpJson(const nlohmann::json& value, int indent) {
  return value.dump(indent, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string DumpJson(const nlohmann::ordered_json& value, int indent) {
  return value.dump(indent, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}
