// Numeric text, dialog-field exchange with range messages, axis scaling and text utilities.
#ifndef LYRUTIL_NUMERIC_H
#define LYRUTIL_NUMERIC_H

#include <afx.h>

#include <lyrutil/export.h>

// --- Numeric text ---

// Converts typed text to a double. 0 when converted (text that is not a number gives 0.0), 1 when
// the decimal magnitude is out of range or the text (without its outer blanks) is longer than
// 15 characters; the result is then 1.0.
LYRUTIL_API int Lyra_atof(double* result, char* text);
// Writes `value` with `decimals` decimals in at most `maxLength` characters: fixed form, else
// exponent form, else the overflow marker "**000**". `out` holds maxLength + 1 and at least 8.
LYRUTIL_API void FormatFloatString(double value, char* out, unsigned short decimals,
                                   unsigned short maxLength, int exponentForm);

// --- Field exchange and range messages ---

LYRUTIL_API void HandleFloatingPointErrorMessage(char const* fieldName);
LYRUTIL_API void HandleFloatingPointErrorMessage(char const* fieldName, double value);
LYRUTIL_API void HandleFloatingPointErrorMessage(char const* fieldName, double lower, double upper);
LYRUTIL_API void HandleIntegerErrorMessage(char const* fieldName, LONG value);
LYRUTIL_API void HandleIntegerErrorMessage(char const* fieldName, LONG lower, LONG upper);

LYRUTIL_API int HandleString(char toField, char* text, char* value);
LYRUTIL_API int HandleFFPSString(char toField, char* text, char* directory, char* value,
                                 unsigned short fileType, int* error);
LYRUTIL_API int HandleFloat(char toField, char* text, double* value, unsigned short maxLength,
                            unsigned short decimals, double lower, double upper,
                            char const* fieldName, int* changed);
LYRUTIL_API int HandleFloat(char* text, double& value, double lower, double upper,
                            char const* fieldName);
LYRUTIL_API int HandleInteger(char toField, char* text, LONG* value, LONG lower, LONG upper,
                              char const* fieldName, int* changed);
LYRUTIL_API int HandleInteger(char toField, char* text, ULONG* value, ULONG lower, ULONG upper,
                              char const* fieldName, int* changed);
LYRUTIL_API int HandleInteger(char toField, char* text, unsigned short* value, unsigned short lower,
                              unsigned short upper, char const* fieldName, int* changed);
LYRUTIL_API int HandleInteger(char toField, char* text, unsigned short* value);
LYRUTIL_API int HandleInteger(char toField, char* text, LONG* value);
LYRUTIL_API int HandleInteger(char toField, char* text, ULONG* value);

// --- Axis scaling ---

struct AxisStruct {
  LONG nCount;         // tick values written
  double dValues[10];  // ascending; GetAxis writes at most 5
};

LYRUTIL_API void GetAxis(double lowest, double highest, AxisStruct& axis);

// --- Text utilities ---

LYRUTIL_API void ParseTitle(const char* title, char* firstLine, char* secondLine);
LYRUTIL_API void RemoveSpaces(CString& text);
LYRUTIL_API void RemoveSpaces(char* text);
LYRUTIL_API int CheckFlag(int mask1, int mask2);
LYRUTIL_API int CheckFlag(ULONG mask1, ULONG mask2);
LYRUTIL_API int CheckFlag(unsigned short mask1, unsigned short mask2);

#endif  // LYRUTIL_NUMERIC_H
