// A QR code drawn with text, for a terminal: the verification key read off the screen by a phone
// instead of typed.
#ifndef LYRUTIL_TOOLS_QR_TEXT_H
#define LYRUTIL_TOOLS_QR_TEXT_H

#include <string>

// `text` as a QR code in UTF-8 half blocks (two rows of modules a line), dark on light with the
// quiet zone around it; empty when it cannot be encoded.
std::string QrText(const std::string& text);

#endif  // LYRUTIL_TOOLS_QR_TEXT_H
