// The audit trail's texts are in code page 1252; JSON and terminals want UTF-8.
#ifndef LYRUTIL_TOOLS_TEXT_ENCODING_H
#define LYRUTIL_TOOLS_TEXT_ENCODING_H

#include <string>

std::string Cp1252ToUtf8(const std::string& text);
// Characters that code page 1252 lacks become '?'.
std::string Utf8ToCp1252(const std::string& text);

#endif  // LYRUTIL_TOOLS_TEXT_ENCODING_H
