// Times typed on the command line, read as journalctl reads them.
#ifndef LYRUTIL_TOOLS_TIME_TEXT_H
#define LYRUTIL_TOOLS_TIME_TEXT_H

#include <cstdint>
#include <ctime>
#include <string>

// Reads "2026-12-05", "2026-12-05 14:30[:15]", "today", "yesterday", "tomorrow", "now",
// "-2h", "-30min", "+1d", "@1733400000" (seconds since 1970), relative to `now` and in local
// time. False when the text is none of these or lies outside the audit trail's 32-bit scale.
bool ParseTimeText(const std::string& text, std::time_t now, int32_t* seconds);

// "2026-12-05 14:30:15" in local time.
std::string LocalTimeText(int32_t seconds);
// "2026-12-05T14:30:15+01:00", local time with its offset.
std::string IsoTimeText(int32_t seconds);

#endif  // LYRUTIL_TOOLS_TIME_TEXT_H
