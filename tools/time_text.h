// Times typed on the command line, read as journalctl reads them.
#ifndef LYRUTIL_TOOLS_TIME_TEXT_H
#define LYRUTIL_TOOLS_TIME_TEXT_H

#include <cstdint>
#include <ctime>
#include <cstddef>
#include <string>

// Reads "2026-12-05", "2026-12-05 14:30[:15]", "2026-12-05T14:30:15+01:00" (or Z, or no offset),
// "14:30", "2h ago", "today", "yesterday", "tomorrow", "now",
// "-2h", "-30min", "+1d", "@1733400000" (seconds since 1970), relative to `now` and in local
// time. False when the text is none of these or lies outside the audit trail's 32-bit scale.
bool ParseTimeText(const std::string& text, std::time_t now, int32_t* seconds);

// Which end of a time window a text names, for the local times summer time repeats or skips.
enum class TimeBound { kStart, kEnd };
// As above, as a bound of a window: a local time that happens twice is its earlier instant for a
// start and its later for an end; one that does not happen is the moment the clocks jumped (a
// second before, for an end). `note`, when given, then says what was taken (else it is left).
bool ParseTimeText(const std::string& text, std::time_t now, TimeBound bound, int32_t* seconds,
                   std::string* note);

// A length of time as "15min", "2h", "90s" or "900" (seconds): false unless above 0.
bool ParseDurationText(const std::string& text, int32_t* seconds);

// "2026-12-05 14:30:15" in local time.
std::string LocalTimeText(int32_t seconds);
// "2026-12-05T14:30:15+01:00", local time with its offset.
std::string IsoTimeText(int32_t seconds);
// The same texts appended to `out`, for writers of many records.
void AppendLocalTimeText(int32_t seconds, std::string* out);
void AppendIsoTimeText(int32_t seconds, std::string* out);
// The ISO text written at `text`, which holds at least kTimeTextBytes: how many bytes it took.
constexpr size_t kTimeTextBytes = 32;
size_t PutIsoTimeText(int32_t seconds, char* text);

#endif  // LYRUTIL_TOOLS_TIME_TEXT_H
