// The date and time texts of a moment, inside the library: what GetShortDateString and
// GetShortTimeString give for the time stamp SetTimeStruct makes of it, from one local time.
#ifndef LYRUTIL_RECORDS_MOMENT_TEXTS_H
#define LYRUTIL_RECORDS_MOMENT_TEXTS_H

#include <cstdint>

namespace lyrutil {

constexpr unsigned kMomentTextBytes = 64;

// Writes "dd/mm/yyyy" and the locale's time ("%X") of `seconds`; empty texts for a moment before
// 1970.
void MomentTexts(int32_t seconds, char (&date)[kMomentTextBytes], char (&time)[kMomentTextBytes]);

}  // namespace lyrutil

#endif  // LYRUTIL_RECORDS_MOMENT_TEXTS_H
