// Profile (INI) files on a network share, where the server is the only party that every machine
// reaching the file shares: it keeps the lock between their readers and writers.
#ifndef LYRWIN_PROFILE_SHARE_H
#define LYRWIN_PROFILE_SHARE_H

#include <windows.h>

#include <functional>
#include <string>

namespace lyrwin {

// The file's bytes, read while no writer on any machine has it open; false (last error set)
// when it cannot be opened.
bool ReadProfileOnShare(const std::string& path, std::string* bytes);

// What a change makes of a file's bytes (empty for a missing file): 0 and the new bytes in
// `after`, with `changed` false when there is nothing to write; or a Win32 error.
using ProfileChange =
    std::function<DWORD(const std::string& before, std::string* after, bool* changed)>;

// Reads the file, applies `change` and writes the result, while no reader or writer on any
// machine has the file open. FALSE with the last error set when it fails.
BOOL ChangeProfileOnShare(const std::string& path, const ProfileChange& change);

}  // namespace lyrwin

#endif  // LYRWIN_PROFILE_SHARE_H
