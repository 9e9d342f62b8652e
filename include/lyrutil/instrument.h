// Instrument data: the packed method frames, the text they carry, the module range table.
#ifndef LYRUTIL_INSTRUMENT_H
#define LYRUTIL_INSTRUMENT_H

#include <afx.h>

#include <lyrutil/export.h>

// The method record, as far as the frame decoder fills it. Members are named after the frame
// field they come from; their meaning belongs to the instrument's method definition.
struct Q7400Struct {
  int32_t nField1;
  int32_t nField3;
  int32_t nField5;
  int32_t bField11Positive;  // set to 1 when field 11 is above 0.0; never cleared
  double dField2;
  double dField4;
  double dField6;
  double dField7;
  double dField8;
  double dField9;
  double dField10;
  double dField16;
  double dField11;
  double dField17;
  double dField14;
  double dField15;
  int32_t nField12;
  int32_t nField13;
  int32_t nField18;
  double dShortField9;  // the short frame's ninth field
};

// The time table of programmed events: up to 15, in four parallel arrays.
struct __structProgPressTemp {
  int32_t bUsed[15];
  int32_t nTime[15];   // seconds: the frame's milliseconds / 1000, truncated toward zero
  char cCode[15];      // 'P' pressure, 'T' temperature, 'S' other
  int32_t nValue[15];  // pressures in psi (the frame's pascals / 6894.8, truncated)
};

LYRUTIL_API void Unzip(int fullFrame, char* const frame, Q7400Struct& method,
                       __structProgPressTemp& events);
LYRUTIL_API int CheckTTValid(char* const timeTable);
LYRUTIL_API void CopyString(int position, char* const source, char* const destination);
LYRUTIL_API CString UnZipTrame(int fullFrame, char* const frame);

// One module of the instrument's profile, as far as the library reads it.
struct __Q7400ProfileModule {
  char szModuleName[16];
  double dModuleValue;
  char szType[16];  // "FIX", "VAR" or "BF", in any case
};

// One row of the module table "\module.csv".
struct __RangeValue7400 {
  char szModuleName[24];
  double dModuleValue;
  double dValue3;
  char cType;         // 'F' (FIX), 'V' (VAR), 'B' (BF)
  double dValues[9];  // columns 5 to 13
};

LYRUTIL_API void GetRangeValue(__Q7400ProfileModule module, __RangeValue7400& range);
LYRUTIL_API void ParseModuleInfo(char* const row, __RangeValue7400& range);
LYRUTIL_API int checkModule(__RangeValue7400& range, __Q7400ProfileModule module);
LYRUTIL_API CString GetModuleNameFromARArchive(char* const line);

#endif  // LYRUTIL_INSTRUMENT_H
