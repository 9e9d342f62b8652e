// Moving values between a dialog's variables and its edit-control texts, with the suite's range
// messages. Ranged members return 1 for an error and report a change through the changed flag;
// unranged members return 1 for a change.
#include <LyrUtil.h>

#include <cmath>
#include <cstring>

#include "numeric_text.h"

namespace {

constexpr double kFixedMessageLimit = 10000.0;

// A number as the messages show it: 2 decimals in 14 characters, fixed up to 10000.
CString MessageNumber(double value) {
  char text[32];
  FormatFloatString(value, text, 2, 14, std::fabs(value) > kFixedMessageLimit ? 1 : 0);
  return text;
}

CString LongText(LONG value) {
  char text[16];
  wsprintfA(text, "%ld", value);
  return text;
}

CString FieldLine(const char* fieldName) {
  CString line;
  AfxFormatString1(line, IDS_LYR_FIELD_LINE, fieldName);
  return line;
}

void ShowFieldMessage(const CString& text, const CString& header, UINT helpId) {
  MessageBeep(MB_ICONEXCLAMATION);
  LyrMessageBox(text, header, MB_ICONEXCLAMATION, helpId);
}

// The exchange of the ranged integer members, on the value as read (already 32 or 16 bits).
template <class T>
int ExchangeRanged(char toField, char* text, T* value, T lower, T upper, const char* fieldName,
                   int* changed, const char* format, T (*read)(const char*)) {
  if (toField) {
    wsprintfA(text, format, *value);
    if (changed) *changed = 0;
    return 0;
  }
  T number = read(text);
  if (number < lower || number > upper) {
    HandleIntegerErrorMessage(fieldName, static_cast<LONG>(lower), static_cast<LONG>(upper));
    if (changed) *changed = 0;
    return 1;
  }
  if (number == *value) return 0;
  *value = number;
  if (changed) *changed = 1;
  return 0;
}

template <class T>
int ExchangeUnranged(char toField, char* text, T* value, const char* format,
                     T (*read)(const char*)) {
  if (toField) {
    wsprintfA(text, format, *value);
    return 0;
  }
  T number = read(text);
  if (number == *value) return 0;
  *value = number;
  return 1;
}

LONG ReadLong(const char* text) {
  return lyrutil::ClassicAtol(text);
}
ULONG ReadUnsignedLong(const char* text) {
  return static_cast<ULONG>(lyrutil::ClassicAtol(text));
}
unsigned short ReadUnsignedShort(const char* text) {
  return static_cast<unsigned short>(lyrutil::ClassicAtol(text));
}

}  // namespace

void HandleFloatingPointErrorMessage(char const* fieldName) {
  CString unnamed;
  unnamed.LoadString(IDS_LYR_UNNAMED_FIELD);
  ShowFieldMessage(FieldLine(fieldName), FieldLine(unnamed), IDS_LYR_FIELD_LINE);
}

void HandleFloatingPointErrorMessage(char const* fieldName, double value) {
  CString header;
  AfxFormatString1(header, IDS_LYR_ONE_VALUE_HEADER, MessageNumber(value));
  ShowFieldMessage(FieldLine(fieldName), header, IDS_LYR_ONE_VALUE_HEADER);
}

void HandleFloatingPointErrorMessage(char const* fieldName, double lower, double upper) {
  CString header;
  AfxFormatString2(header, IDS_LYR_RANGE_HEADER, MessageNumber(lower), MessageNumber(upper));
  ShowFieldMessage(FieldLine(fieldName), header, IDS_LYR_RANGE_HEADER);
}

void HandleIntegerErrorMessage(char const* fieldName, LONG value) {
  CString header;
  AfxFormatString1(header, IDS_LYR_ONE_VALUE_HEADER, LongText(value));
  ShowFieldMessage(FieldLine(fieldName), header, IDS_LYR_ONE_VALUE_HEADER);
}

// The integer range message shows the fixed text 59415, not the field's name.
void HandleIntegerErrorMessage(char const*, LONG lower, LONG upper) {
  CString header;
  AfxFormatString2(header, IDS_LYR_RANGE_HEADER, LongText(lower), LongText(upper));
  CString text;
  text.LoadString(IDS_LYR_INTEGER_RANGE);
  ShowFieldMessage(text, header, IDS_LYR_RANGE_HEADER);
}

int HandleString(char toField, char* text, char* value) {
  if (text == nullptr || value == nullptr) return 0;
  if (toField) {
    std::strcpy(text, value);
    return 0;
  }
  if (lstrcmpA(text, value) == 0) return 0;
  std::strcpy(value, text);
  return 1;
}

int HandleFFPSString(char toField, char* text, char* directory, char* value,
                     unsigned short fileType, int* error) {
  if (text == nullptr || value == nullptr) return 0;
  if (toField) {
    std::strcpy(text, value);
    return 0;
  }
  if (lstrcmpA(value, text) == 0) return 0;
  if (directory != nullptr) MakeFFPS(directory, text);
  FixExt(text, GetFileExtension(fileType));
  if (fExists(text)) {
    std::strcpy(value, text);
    return 1;
  }
  fExistsErrorMessage(text, GetFileName(fileType));
  if (error) *error = 1;
  return 0;
}

int HandleFloat(char toField, char* text, double* value, unsigned short maxLength,
                unsigned short decimals, double lower, double upper, char const* fieldName,
                int* changed) {
  if (text == nullptr || value == nullptr) return 1;
  if (toField) {
    FormatFloatString(*value, text, decimals, maxLength, 0);
    if (changed) *changed = 0;
    return 0;
  }
  double number = 0;
  bool refused = false;
  if (Lyra_atof(&number, text)) {
    HandleFloatingPointErrorMessage(fieldName);
    refused = true;
  } else if (lower == 0.0 && number < 0) {
    HandleFloatingPointErrorMessage(fieldName, upper);
    refused = true;
  } else if (number < lower || number > upper) {
    HandleFloatingPointErrorMessage(fieldName, lower, upper);
    refused = true;
  }
  if (refused) {
    if (changed) *changed = 0;
    return 1;
  }
  if (number == *value) return 0;
  *value = number;
  if (changed) *changed = 1;
  return 0;
}

int HandleFloat(char* text, double& value, double lower, double upper, char const* fieldName) {
  if (text == nullptr) return 1;
  double number = 0;
  if (Lyra_atof(&number, text)) {
    HandleFloatingPointErrorMessage(fieldName);
    return 1;
  }
  if (number < lower || number > upper) {
    HandleFloatingPointErrorMessage(fieldName, lower, upper);
    return 1;
  }
  value = number;
  return 0;
}

int HandleInteger(char toField, char* text, LONG* value, LONG lower, LONG upper,
                  char const* fieldName, int* changed) {
  if (text == nullptr || value == nullptr) return 1;
  return ExchangeRanged<LONG>(toField, text, value, lower, upper, fieldName, changed, "%ld",
                              ReadLong);
}

int HandleInteger(char toField, char* text, ULONG* value, ULONG lower, ULONG upper,
                  char const* fieldName, int* changed) {
  if (text == nullptr || value == nullptr) return 1;
  return ExchangeRanged<ULONG>(toField, text, value, lower, upper, fieldName, changed, "%lu",
                               ReadUnsignedLong);
}

int HandleInteger(char toField, char* text, unsigned short* value, unsigned short lower,
                  unsigned short upper, char const* fieldName, int* changed) {
  if (text == nullptr || value == nullptr) return 1;
  return ExchangeRanged<unsigned short>(toField, text, value, lower, upper, fieldName, changed,
                                        "%u", ReadUnsignedShort);
}

int HandleInteger(char toField, char* text, unsigned short* value) {
  if (text == nullptr || value == nullptr) return 0;
  return ExchangeUnranged<unsigned short>(toField, text, value, "%u", ReadUnsignedShort);
}

int HandleInteger(char toField, char* text, LONG* value) {
  if (text == nullptr || value == nullptr) return 0;
  return ExchangeUnranged<LONG>(toField, text, value, "%ld", ReadLong);
}

// Written with "%ld", as the signed form: values of 2^31 and more show as negative numbers.
int HandleInteger(char toField, char* text, ULONG* value) {
  if (text == nullptr || value == nullptr) return 0;
  return ExchangeUnranged<ULONG>(toField, text, value, "%ld", ReadUnsignedLong);
}
