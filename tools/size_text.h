// Picture sizes typed on lyrutil's command line: "WIDTHxHEIGHT".
#ifndef LYRUTIL_TOOLS_SIZE_TEXT_H
#define LYRUTIL_TOOLS_SIZE_TEXT_H

#include <string>

// The largest side a picture may have (cairo's limit for an image).
constexpr long kLargestSide = 32767;

// Reads "WxH" (or "WXH"): two decimal numbers from 1 to kLargestSide and nothing else. False for
// anything else, the outputs then untouched.
bool ParseSizeText(const std::string& text, long* width, long* height);

#endif  // LYRUTIL_TOOLS_SIZE_TEXT_H
