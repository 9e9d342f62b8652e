// Rewriting a settings file (an INI file, the registry) in place, with a journal for crashes.
//
// Windows changes a profile file through the file itself: a symbolic link stays a link, a holder
// that shares writing sees the change in the file it holds, a holder that shares nothing makes the
// change fail with a sharing violation, and write access to the file is all it takes, whatever
// the folder allows. Replacing the file by a rename gives none of that, so the stand-in writes in
// place too, and keeps crash safety with a journal in the installation's folder: the new
// contents are written there and reach the disk before the file is touched, and the journal goes
// only once the file is whole on disk. A journal found later (its writer was killed) holds what
// the file must become: readers take their text from it, and the next writer applies it first.
//
// Where the two guarantees conflict, the change wins: when no journal can be written (an
// installation folder the user may not write), the file is still rewritten in place, as Windows
// does, and only a crash in the middle of that write could then leave it torn.
#include "internal.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lyrwin {
namespace {

constexpr char kMagic[4] = {'L', 'Y', 'R', 'J'};

uint32_t Checksum(const std::string& bytes) {
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char c : bytes) {
    crc ^= c;
    for (int k = 0; k < 8; ++k) crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
  }
  return ~crc;
}

// The journal of a file is named after its identity, so that every name of the file (links,
// other spellings) finds the same one: device, inode and birth time, so that a journal left for
// a file since deleted never applies to a new file that reuses the inode. Empty when the
// descriptor cannot be examined.
std::string JournalPath(int fd) {
  struct statx stx;
  if (::statx(fd, "", AT_EMPTY_PATH, STATX_INO | STATX_BTIME, &stx) != 0) return std::string();
  const bool born = (stx.stx_mask & STATX_BTIME) != 0;
  char name[96];
  std::snprintf(name, sizeof name, "/%x.%x-%llx-%llx.%x", stx.stx_dev_major, stx.stx_dev_minor,
                static_cast<unsigned long long>(stx.stx_ino),
                born ? static_cast<unsigned long long>(stx.stx_btime.tv_sec) : 0ull,
                born ? stx.stx_btime.tv_nsec : 0u);
  return PrefixDir() + "/.lyrwin-journal" + name;
}

// Journal layout: "LYRJ", the length (8 bytes, little-endian), the contents, their CRC-32.
std::string JournalBytes(const std::string& contents) {
  std::string bytes(kMagic, sizeof kMagic);
  uint64_t length = contents.size();
  for (int i = 0; i < 8; ++i) bytes += static_cast<char>((length >> (8 * i)) & 0xFF);
  bytes += contents;
  uint32_t crc = Checksum(contents);
  for (int i = 0; i < 4; ++i) bytes += static_cast<char>((crc >> (8 * i)) & 0xFF);
  return bytes;
}

// The contents a journal holds; false for none, or for a journal torn while it was written (the
// file itself was not touched yet then).
bool ParseJournal(const std::string& bytes, std::string* contents) {
  if (bytes.size() < 16 || std::memcmp(bytes.data(), kMagic, 4) != 0) return false;
  uint64_t length = 0;
  for (int i = 0; i < 8; ++i)
    length |= static_cast<uint64_t>(static_cast<unsigned char>(bytes[4 + i])) << (8 * i);
  if (length != bytes.size() - 16) return false;
  *contents = bytes.substr(12, length);
  uint32_t crc = 0;
  for (int i = 0; i < 4; ++i)
    crc |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[12 + length + i])) << (8 * i);
  return crc == Checksum(*contents);
}

// Removes what writers killed while writing a journal left: a temporary journal an hour old has
// no living writer (a rewrite takes moments), and its file was never touched.
void SweepKilledWriters(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  const time_t now = ::time(nullptr);
  while (struct dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.size() < 4 || name.compare(name.size() - 4, 4, ".tmp") != 0) continue;
    const std::string path = folder + "/" + name;
    struct stat st;
    if (lyrwin::sys::Stat(path.c_str(), &st) == 0 && now - st.st_mtime > 3600)
      lyrwin::sys::Unlink(path.c_str());
  }
  ::closedir(dir);
}

// Writes the journal and brings it to the disk; false when it cannot be written.
bool WriteJournal(const std::string& path, const std::string& contents) {
  const std::string folder = path.substr(0, path.rfind('/'));
  ::mkdir(folder.c_str(), 0777);
  const std::string temporary = path + ".tmp";
  int fd = OpenRetrying(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd < 0) return false;
  const std::string bytes = JournalBytes(contents);
  bool ok = WriteAll(fd, bytes.data(), bytes.size()) == bytes.size() && lyrwin::sys::Fsync(fd) == 0;
  ok = CloseRetrying(fd) == 0 && ok;
  ok = ok && lyrwin::sys::Rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) {
    lyrwin::sys::Unlink(temporary.c_str());
    return false;
  }
  SyncFolder(folder);
  SweepKilledWriters(folder);
  return true;
}

// Puts the contents into the file on `fd` and brings them to the disk. 0 or a Win32 error.
DWORD WriteThrough(int fd, const std::string& contents) {
  if (lyrwin::sys::Lseek(fd, 0, SEEK_SET) < 0) return Win32ErrorFromErrno(errno);
  if (WriteAll(fd, contents.data(), contents.size()) != contents.size())
    return Win32ErrorFromErrno(errno);
  if (lyrwin::sys::Ftruncate(fd, static_cast<off_t>(contents.size())) != 0 ||
      lyrwin::sys::Fsync(fd) != 0)
    return Win32ErrorFromErrno(errno);
  return 0;
}

}  // namespace

bool InterruptedRewrite(int fd, std::string* contents) {
  const std::string journal = JournalPath(fd);
  std::string bytes;
  if (journal.empty() || !ReadWholeFile(journal, &bytes)) return false;
  return ParseJournal(bytes, contents);
}

DWORD FinishInterruptedRewrite(int fd) {
  const std::string journal = JournalPath(fd);
  std::string bytes;
  if (journal.empty() || !ReadWholeFile(journal, &bytes)) return 0;
  std::string contents;
  if (ParseJournal(bytes, &contents)) {
    DWORD err = WriteThrough(fd, contents);
    if (err != 0) return err;
  }
  lyrwin::sys::Unlink(journal.c_str());
  return 0;
}

DWORD RewriteInPlace(int fd, const std::string& before, const std::string& after) {
  struct stat st;
  if (lyrwin::sys::Fstat(fd, &st) != 0) return Win32ErrorFromErrno(errno);
  // A device (the null device, the console) takes the text as it comes.
  if (!S_ISREG(st.st_mode))
    return WriteAll(fd, after.data(), after.size()) == after.size() ? 0
                                                                    : Win32ErrorFromErrno(errno);
  const std::string journal = JournalPath(fd);
  const bool journaled = !journal.empty() && WriteJournal(journal, after);
  DWORD err = WriteThrough(fd, after);
  // A write that failed part way (a full disk) is undone: the old text fitted before, so it fits
  // again. Should even that fail, the journal stays, so that the file becomes whole (the new
  // text) rather than stay torn.
  if (err != 0 && WriteThrough(fd, before) != 0) return err;
  if (journaled) lyrwin::sys::Unlink(journal.c_str());
  return err;
}

}  // namespace lyrwin
