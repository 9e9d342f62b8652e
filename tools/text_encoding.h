// The audit trail's texts are in code page 1252; JSON and terminals want UTF-8.
#ifndef LYRUTIL_TOOLS_TEXT_ENCODING_H
#define LYRUTIL_TOOLS_TEXT_ENCODING_H

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>

std::string Cp1252ToUtf8(const std::string& text);
// One code page 1252 byte's character. The bytes the code page leaves undefined stand for the C1
// control of the same value, as Windows maps them.
uint32_t Cp1252CodePoint(unsigned char c);
// A character of the Basic Multilingual Plane (up to U+FFFF) in UTF-8.
void AppendUtf8(uint32_t codePoint, std::string* out);
// Characters that code page 1252 lacks become '?'.
std::string Utf8ToCp1252(const std::string& text);

// A host file name as it may be shown in JSON: bytes that are not UTF-8 become U+FFFD.
std::string HostPathText(const std::string& hostPath);

// JSON text whatever the strings hold: invalid UTF-8 is replaced by U+FFFD instead of throwing.
// The library's texts (code page 1252) are converted with Cp1252ToUtf8 before they get here.
std::string DumpJson(const nlohmann::json& value, int indent = -1);
std::string DumpJson(const nlohmann::ordered_json& value, int indent = -1);

#endif  // LYRUTIL_TOOLS_TEXT_ENCODING_H
