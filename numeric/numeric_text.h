// Internal pieces of the numeric text routines, shared with the field exchange.
#ifndef LYRUTIL_NUMERIC_TEXT_H
#define LYRUTIL_NUMERIC_TEXT_H

#include <windows.h>

#include <string>

namespace lyrutil {

// The integer and fraction digits of `value` rounded to `decimals` (fewer when the fraction would
// not fit 32 bits); 1 when usable, 0 when a non-zero value shows only zeros.
int SplitFloatString(std::string* integerText, std::string* fractionText, double value,
                     unsigned short decimals);

// The classic C runtime's atol on a 32-bit long: leading white space, a sign, digits up to the
// first other character, accumulated with wrap-around.
LONG ClassicAtol(const char* text);

// The classic C runtime's atof: blanks, a sign, digits with one '.', an exponent; nothing else
// ("INF", hexadecimal) counts.
double ClassicAtof(const char* text);

}  // namespace lyrutil

#endif  // LYRUTIL_NUMERIC_TEXT_H
