// Profile (INI) files on a network share.
//
// On a local disk readers and writers of a profile meet at a lock on its folder; machines that
// reach the file through a server share no such lock, only the server's share modes. So the open
// is the lock: a reader opens for reading and shares reading only, a writer opens for reading and
// writing and shares reading only. Readers then admit each other, and a writer admits no other
// writer and no reader, on any machine; a party that finds the file held tries again for a
// while. A process that dies while it holds the file loses its connection, and the server lets
// the file go with it.
//
// A writer cannot rename a new file into place (a rename over an existing file on a share is a
// delete and a rename, between which the file is missing), so it rewrites the file in place, and
// in a way that a writer killed part way leaves a readable file: the new text goes out in one
// write request, padded with empty lines to the old length when it is shorter, and only then is
// the file cut to the new length. Each request either reaches the server whole or not at all.
// A file larger than the server's largest write (megabytes) would go out in several requests.
#include "profile_share.h"

#include "internal.h"

#include <algorithm>
#include <chrono>

namespace lyrwin {
namespace {

// How long a party waits for the others to let the file go. Readers and writers hold it for a
// few round trips to the server each, so a file still held after this is held for good.
constexpr auto kWaitForHolders = std::chrono::seconds(2);

// Opens the file sharing reading only, trying again while another party holds it.
HANDLE OpenLockingOthersOut(const std::string& path, DWORD access, DWORD disposition) {
  const auto giveUp = std::chrono::steady_clock::now() + kWaitForHolders;
  DWORD pause = 1;
  for (;;) {
    HANDLE file =
        CreateFileA(path.c_str(), access, FILE_SHARE_READ, nullptr, disposition, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION ||
        std::chrono::steady_clock::now() >= giveUp)
      return file;
    Sleep(pause);
    pause = std::min<DWORD>(pause * 2, 50);
  }
}

// Reads the whole file in as few requests as its size allows. False (last error set) on failure.
bool ReadAll(HANDLE file, std::string* bytes) {
  const DWORD size = GetFileSize(file, nullptr);
  if (size == INVALID_FILE_SIZE) return false;
  bytes->assign(size, '\0');
  DWORD done = 0;
  while (done < size) {
    DWORD got = 0;
    if (!ReadFile(file, &(*bytes)[done], size - done, &got, nullptr)) return false;
    if (got == 0) break;  // shorter than it said: no writer can change it now, so it ended
    done += got;
  }
  bytes->resize(done);
  return true;
}

// `after`, padded to `length` with empty lines in the file's own encoding.
std::string PaddedTo(const std::string& after, size_t length) {
  std::string padded = after;
  if (padded.size() >= length) return padded;
  const bool utf16 = IsUtf16Text(after);
  while (padded.size() + (utf16 ? 2 : 1) <= length)
    padded.append(utf16 ? std::string("\n\0", 2) : "\n");
  padded.resize(length, '\0');
  return padded;
}

// Puts `after` in the place of the file's `oldLength` bytes: one write of it (padded to the old
// length), then the cut. 0 or a Win32 error.
DWORD Rewrite(HANDLE file, size_t oldLength, const std::string& after) {
  const std::string padded = PaddedTo(after, oldLength);
  DWORD written = 0;
  if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
      !WriteFile(file, padded.data(), static_cast<DWORD>(padded.size()), &written, nullptr) ||
      written != padded.size())
    return GetLastError() != 0 ? GetLastError() : ERROR_WRITE_FAULT;
  if (padded.size() != after.size() &&
      (SetFilePointer(file, static_cast<LONG>(after.size()), nullptr, FILE_BEGIN) ==
           INVALID_SET_FILE_POINTER ||
       !SetEndOfFile(file)))
    return GetLastError();
  return FlushFileBuffers(file) ? 0 : GetLastError();
}

BOOL Fail(HANDLE file, DWORD err) {
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  SetLastError(err);
  return FALSE;
}

}  // namespace

bool ReadProfileOnShare(const std::string& path, std::string* bytes) {
  HANDLE file = OpenLockingOthersOut(path, GENERIC_READ, OPEN_EXISTING);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool read = ReadAll(file, bytes);
  const DWORD err = GetLastError();
  CloseHandle(file);
  SetLastError(err);
  return read;
}

BOOL ChangeProfileOnShare(const std::string& path, const ProfileChange& change) {
  // A missing file that another machine makes between this one's two opens is read again.
  for (int attempt = 0; attempt < 3; ++attempt) {
    HANDLE file = OpenLockingOthersOut(path, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_NOT_FOUND) return FALSE;
    std::string before;
    if (file != INVALID_HANDLE_VALUE && !ReadAll(file, &before)) return Fail(file, GetLastError());
    std::string after;
    bool changed = false;
    if (DWORD err = change(before, &after, &changed)) return Fail(file, err);
    if (!changed) {
      if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
      return TRUE;
    }
    const bool created = file == INVALID_HANDLE_VALUE;
    if (created) {
      file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                         CREATE_NEW, 0, nullptr);
      if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS) continue;
      if (file == INVALID_HANDLE_VALUE) return FALSE;
    }
    DWORD err = Rewrite(file, before.size(), after);
    // A write that failed part way (a full disk on the server) puts the old text back: it fitted.
    if (err != 0 && !created) Rewrite(file, after.size(), before);
    CloseHandle(file);
    if (err != 0 && created) DeleteFileA(path.c_str());
    if (err != 0) return Fail(INVALID_HANDLE_VALUE, err);
    return TRUE;
  }
  SetLastError(ERROR_SHARING_VIOLATION);
  return FALSE;
}

}  // namespace lyrwin
