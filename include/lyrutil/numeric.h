/// @file
/// Numeric text, dialog-field exchange with range messages, axis scaling and text utilities.
///
/// The exchange functions move a value between a dialog's variable and its control's text. The
/// direction `toField` nonzero writes the value as text; zero reads the text, tests it and, when
/// good and different, stores it. Ranged members return 1 for an error and report a change
/// through `*changed` (1 when replaced, 0 when writing or after an error, untouched when the same
/// value is typed again); unranged members return 1 for a change. Every error is shown to the
/// user once (a message box after an exclamation beep) and leaves the value untouched. Text
/// buffers written hold the longest text: 12 bytes for "%ld", 11 for "%lu", 6 for "%u", the
/// maximum length + 1 (at least 8) for a double, a full path for a file name. Message texts are
/// the host's strings 155, 1035, 1036, 1037 and 59415. Call the exchange and message functions
/// from the thread that owns the dialog; the rest keep no state and may be called from any thread.
#ifndef LYRUTIL_NUMERIC_H
#define LYRUTIL_NUMERIC_H

#include <afx.h>

#include <lyrutil/export.h>

// --- Numeric text ---

/// Converts typed text to a double in `*result`. 0 when converted (text that is not a number
/// gives 0.0), 1 when the decimal magnitude is out of range or the text (without its outer blanks)
/// is longer than 15 characters; the result is then 1.0.
LYRUTIL_API int Lyra_atof(double* result, char* text);
/// Writes `value` with `decimals` decimals in at most `maxLength` characters: fixed form (unless
/// `exponentForm` is nonzero), else exponent form, else the overflow marker "**000**" (also for
/// NaN and the infinities). `out` holds maxLength + 1 and at least 8 bytes.
LYRUTIL_API void FormatFloatString(double value, char* out, unsigned short decimals,
                                   unsigned short maxLength, int exponentForm);

// --- Field exchange and range messages ---

/// Shows the message for a number whose exponent is out of range in field `fieldName`.
LYRUTIL_API void HandleFloatingPointErrorMessage(char const* fieldName);
/// Shows the one-value message (1036) with `value` (2 decimals, exponent form above 10000) for
/// field `fieldName`.
LYRUTIL_API void HandleFloatingPointErrorMessage(char const* fieldName, double value);
/// Shows the range message (1037) with both limits for field `fieldName`.
LYRUTIL_API void HandleFloatingPointErrorMessage(char const* fieldName, double lower, double upper);
/// Shows the one-value message (1036) with `value` as "%ld" for field `fieldName`.
LYRUTIL_API void HandleIntegerErrorMessage(char const* fieldName, LONG value);
/// Shows the range message (1037) with both limits as "%ld", over the fixed text 59415 (the field
/// name is not shown).
LYRUTIL_API void HandleIntegerErrorMessage(char const* fieldName, LONG lower, LONG upper);

/// Exchanges a text: writing copies `value` into `text` and returns 0; reading copies a different
/// `text` into `value` and returns 1, else 0.
LYRUTIL_API int HandleString(char toField, char* text, char* value);
/// Exchanges the full path of an existing file. Writing copies `value` into `text` and returns 0.
/// Reading a text that differs from `value` completes it in place (`MakeFFPS` with `directory`,
/// which may lose a trailing backslash, then the file type's extension): when that file exists
/// it is copied into `value` and 1 returned; else the missing-file message is shown, `*error`
/// set to 1 and 0 returned.
LYRUTIL_API int HandleFFPSString(char toField, char* text, char* directory, char* value,
                                 unsigned short fileType, int* error);
/// Exchanges a double: written with `FormatFloatString` (`maxLength`, `decimals`, fixed form),
/// read with `Lyra_atof` and accepted in [`lower`, `upper`] (and not negative when `lower` is
/// exactly 0.0). 1 on error, else 0.
LYRUTIL_API int HandleFloat(char toField, char* text, double* value, unsigned short maxLength,
                            unsigned short decimals, double lower, double upper,
                            char const* fieldName, int* changed);
/// Reads a double from `text` into `value` when it lies in [`lower`, `upper`]: 1 on error (shown),
/// else 0.
LYRUTIL_API int HandleFloat(char* text, double& value, double lower, double upper,
                            char const* fieldName);
/// Exchanges a signed 32-bit integer ("%ld", read as atol reads it) in [`lower`, `upper`]: 1 on
/// error, else 0.
LYRUTIL_API int HandleInteger(char toField, char* text, LONG* value, LONG lower, LONG upper,
                              char const* fieldName, int* changed);
/// Exchanges an unsigned 32-bit integer ("%lu", read as atol reads it) in [`lower`, `upper`]: 1
/// on error, else 0.
LYRUTIL_API int HandleInteger(char toField, char* text, ULONG* value, ULONG lower, ULONG upper,
                              char const* fieldName, int* changed);
/// Exchanges an unsigned 16-bit integer ("%u"; the low 16 bits of what is read: "70000" reads
/// 4464) in [`lower`, `upper`]: 1 on error, else 0.
LYRUTIL_API int HandleInteger(char toField, char* text, unsigned short* value, unsigned short lower,
                              unsigned short upper, char const* fieldName, int* changed);
/// Exchanges an unsigned 16-bit integer without range ("%u", low 16 bits): 1 when the value was
/// replaced, else 0.
LYRUTIL_API int HandleInteger(char toField, char* text, unsigned short* value);
/// Exchanges a signed 32-bit integer without range ("%ld"): 1 when replaced, else 0.
LYRUTIL_API int HandleInteger(char toField, char* text, LONG* value);
/// Exchanges an unsigned 32-bit integer without range, written as "%ld" (values from 2^31 show
/// as negative numbers): 1 when replaced, else 0.
LYRUTIL_API int HandleInteger(char toField, char* text, ULONG* value);

// --- Axis scaling ---

/// The ticks of a plot axis, as `GetAxis` writes them.
struct AxisStruct {
  LONG nCount;         ///< tick values written
  double dValues[10];  ///< ascending; GetAxis writes at most 5
};

/// Fills `axis` with the multiples of a round step (1, 2 or 5 times a power of ten, dividing the
/// range into about two to four parts) that lie between `lowest` and `highest`. A zero range gets
/// one tick at its value; ends that are not finite get none.
LYRUTIL_API void GetAxis(double lowest, double highest, AxisStruct& axis);

// --- Text utilities ---

/// Breaks `title` into two lines at the space nearest its middle (only the space character
/// counts); a title without a space is all first line. Each out-buffer holds the whole title.
LYRUTIL_API void ParseTitle(const char* title, char* firstLine, char* secondLine);
/// Removes every space character from `text` in place.
LYRUTIL_API void RemoveSpaces(CString& text);
/// Removes every space character from the NUL-terminated `text` in place.
LYRUTIL_API void RemoveSpaces(char* text);
/// 1 when the two masks share a set bit, else 0.
LYRUTIL_API int CheckFlag(int mask1, int mask2);
/// 1 when the two masks share a set bit, else 0.
LYRUTIL_API int CheckFlag(ULONG mask1, ULONG mask2);
/// 1 when the two 16-bit masks share a set bit, else 0.
LYRUTIL_API int CheckFlag(unsigned short mask1, unsigned short mask2);

#endif  // LYRUTIL_NUMERIC_H
