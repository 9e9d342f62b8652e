/// @file
/// Instrument data: the packed method frames, the text they carry, the module range table.
///
/// A frame is a single-byte text of fields each ended by ";" (at most 9 characters a field), the
/// full frame's 18 fixed fields optionally followed by a time table of "time;code;value;" triples
/// and a "#name;" tail; the short frame has 13 fields and an optional trailing name. Frames come
/// from the instrument and from files people edit: a frame that breaks the format fills nothing
/// and no function reads or writes past a text or a record. The functions keep no state and may
/// be called from any thread.
#ifndef LYRUTIL_INSTRUMENT_H
#define LYRUTIL_INSTRUMENT_H

#include <afx.h>

#include <lyrutil/export.h>

/// The method record, as far as the frame decoder fills it. Members are named after the frame
/// field they come from; their meaning belongs to the instrument's method definition. A member
/// the frame's kind does not carry keeps its value.
struct Q7400Struct {
  int32_t nField1;           ///< full frame's field 1, as atoi reads it
  int32_t nField3;           ///< full frame's field 3
  int32_t nField5;           ///< full frame's field 5
  int32_t bField11Positive;  ///< set to 1 when field 11 is above 0.0; never cleared
  double dField2;            ///< full frame's field 2, as atof reads it
  double dField4;            ///< full frame's field 4
  double dField6;            ///< field 6 (both kinds)
  double dField7;            ///< field 7 (both kinds)
  double dField8;            ///< field 8 (both kinds)
  double dField9;            ///< full frame's field 9
  double dField10;           ///< field 10 (both kinds)
  double dField16;           ///< full frame's field 16
  double dField11;           ///< field 11 (both kinds)
  double dField17;           ///< full frame's field 17
  double dField14;           ///< full frame's field 14
  double dField15;           ///< full frame's field 15
  int32_t nField12;          ///< field 12 (both kinds), as atoi reads it
  int32_t nField13;          ///< field 13 (both kinds)
  int32_t nField18;          ///< full frame's field 18
  double dShortField9;       ///< the short frame's ninth field
};

/// The time table of programmed events: up to 15, in four parallel arrays indexed by event.
/// Entries past the last event read keep their values.
struct __structProgPressTemp {
  int32_t bUsed[15];   ///< 1 for each event read
  int32_t nTime[15];   ///< seconds: the frame's milliseconds / 1000, truncated toward zero
  char cCode[15];      ///< 'P' pressure, 'T' temperature, 'S' other
  int32_t nValue[15];  ///< pressures in psi (the frame's pascals / 6894.8, truncated); else as read
};

/// Decodes a full (`fullFrame` nonzero) or short frame into `method` and, for a full frame with a
/// valid time table, `events`. Reports nothing: a frame that breaks the format (a field over 9
/// characters, too few fixed fields) fills nothing, and an invalid time table (or one of more
/// than 15 events or 511 characters) fills no event.
LYRUTIL_API void Unzip(int fullFrame, char* const frame, Q7400Struct& method,
                       __structProgPressTemp& events);
/// 1 when `timeTable` is empty or whole "time;code;value;" triples whose codes start with 'P',
/// 'T' or 'S', else 0. Never reads past the text's terminator.
LYRUTIL_API int CheckTTValid(char* const timeTable);
/// Copies `source` from `position` to its end into `destination` and terminates it; a ";" at
/// `position` itself is skipped. `destination` holds the copy and its terminator; a negative
/// position or one past the text gives an empty text.
LYRUTIL_API void CopyString(int position, char* const source, char* const destination);
/// The name a frame carries (after "#" up to ";" in a full frame, the 19th field of a short one),
/// at most 19 characters; empty when it holds none or is not in the expected form.
LYRUTIL_API CString UnZipTrame(int fullFrame, char* const frame);

/// One module of the instrument's profile, as far as the library reads it.
struct __Q7400ProfileModule {
  char szModuleName[16];  ///< the module kind's name
  double dModuleValue;    ///< selects the row together with the name
  char szType[16];        ///< "FIX", "VAR" or "BF", in any case
};

/// One row of the module table "\module.csv" (13 columns separated by ";").
struct __RangeValue7400 {
  char szModuleName[24];  ///< column 1
  double dModuleValue;    ///< column 2
  double dValue3;         ///< column 3
  char cType;             ///< column 4: 'F' (FIX), 'V' (VAR), 'B' (BF); kept when none matches
  double dValues[9];      ///< columns 5 to 13
};

/// Finds the first row of "\module.csv" in the working directory that fits `module`
/// (`checkModule`) and copies it into `range`. When there is no table, no row fits, or the table
/// is malformed (a line over 254 characters, a row without its 12 separators or with a column
/// over 19 characters, fewer rows than its first line counts), `range` keeps what it held.
LYRUTIL_API void GetRangeValue(__Q7400ProfileModule module, __RangeValue7400& range);
/// Parses one data row of the table into `range`: column 1 the name, columns 2, 3 and 5 to 13
/// numbers (empty: the column's default), column 4 the type word (case counts).
LYRUTIL_API void ParseModuleInfo(char* const row, __RangeValue7400& range);
/// 1 when the row's name and type word equal the module's without regard to case and its value
/// equals the module's exactly, else 0.
LYRUTIL_API int checkModule(__RangeValue7400& range, __Q7400ProfileModule module);
/// The 20th field of an AR archive line (between its 19th and 20th ";"); empty when the line has
/// fewer fields or the name is over 99 characters.
LYRUTIL_API CString GetModuleNameFromARArchive(char* const line);

#endif  // LYRUTIL_INSTRUMENT_H
