#include "audit_files.h"

#include "tool_error.h"

#include <lyrhost.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The backlog's seal: "LYRC" and a CRC-32 of the path (with its terminator) and the entry, in
// the bytes after the path's terminator, which the record format leaves undefined. Read here
// independently of the library, so that `verify` checks the library's work.
uint32_t Crc32(uint32_t crc, const unsigned char* data, size_t size) {
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
  }
  return ~crc;
}

bool SealHolds(const LOG_BACKLOG_STRUCT& record) {
  size_t length = strnlen(record.LogFile, sizeof record.LogFile);
  if (length == sizeof record.LogFile) return false;
  if (length + 9 > sizeof record.LogFile) return true;
  const char* seal = record.LogFile + length + 1;
  if (std::memcmp(seal, "LYRC", 4) != 0) return true;
  const unsigned char* b = reinterpret_cast<const unsigned char*>(seal + 4);
  uint32_t stored = b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24;
  uint32_t crc = Crc32(0, reinterpret_cast<const unsigned char*>(record.LogFile), length + 1);
  crc = Crc32(crc, reinterpret_cast<const unsigned char*>(&record.Entry), sizeof record.Entry);
  return stored == crc;
}

}  // namespace

std::string DosName(const std::string& hostPath) {
  std::string folder = ".";
  std::string name = hostPath;
  size_t slash = hostPath.rfind('/');
  if (slash != std::string::npos) {
    folder = slash == 0 ? "/" : hostPath.substr(0, slash);
    name = hostPath.substr(slash + 1);
  }
  // The library makes at most one missing folder for a new log and drops the entry silently
  // when it cannot, so the folder must exist before the library is given the name.
  char resolved[PATH_MAX];
  if (::realpath(folder.c_str(), resolved) == nullptr) {
    const int error = errno;
    if (error == ENOENT) throw ToolError(hostPath + ": the folder " + folder + " does not exist");
    throw ToolError(hostPath + ": " + std::strerror(error));
  }
  std::string full = std::string(resolved) + (std::strcmp(resolved, "/") ? "/" : "") + name;
  std::string dos = "Z:" + full;
  for (char& c : dos) {
    if (c == '/') c = '\\';
  }
  if (dos.size() >= MAX_PATH) throw ToolError(hostPath + ": the path is too long for the suite");
  return dos;
}

bool SameHostFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

void RequireAuditLog(const std::string& hostPath) {
  struct stat st;
  if (::stat(hostPath.c_str(), &st) != 0) throw ToolError(hostPath + ": " + std::strerror(errno));
  if (!S_ISREG(st.st_mode)) throw ToolError(hostPath + ": not a file");
  if (st.st_size % sizeof(LOG_ENTRY_STRUCT) != 0)
    throw ToolError(hostPath + ": not an audit log (its size, " + std::to_string(st.st_size) +
                    " bytes, is no multiple of the 1216-byte record)");
}

std::string ReadWholeFile(const std::string& hostPath) {
  FILE* f = std::fopen(hostPath.c_str(), "rb");
  if (f == nullptr) throw ToolError(hostPath + ": " + std::strerror(errno));
  std::string contents;
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) contents.append(buffer, n);
  bool failed = std::ferror(f);
  std::fclose(f);
  if (failed) throw ToolError(hostPath + ": read error");
  return contents;
}

std::string BacklogHostPath() {
  std::string host;
  std::string dos = std::string(GetWorkingDirectory()) + "\\error.blg";
  if (!LyrDosToHostPath(dos.c_str(), &host)) return std::string();
  return host;
}

std::vector<BacklogRecord> ReadBacklog() {
  std::vector<BacklogRecord> records;
  std::string path = BacklogHostPath();
  if (path.empty() || ::access(path.c_str(), F_OK) != 0) return records;
  std::string bytes = ReadWholeFile(path);
  for (size_t at = 0; at + sizeof(LOG_BACKLOG_STRUCT) <= bytes.size();
       at += sizeof(LOG_BACKLOG_STRUCT)) {
    BacklogRecord r;
    std::memcpy(&r.record, bytes.data() + at, sizeof r.record);
    r.intact = SealHolds(r.record);
    records.push_back(r);
  }
  return records;
}

std::string TemporaryNameBeside(const std::string& hostPath) {
  return hostPath + ".lyrutil-" + std::to_string(::getpid()) + ".tmp";
}

void CommitFile(const std::string& temporary, const std::string& hostPath) {
  int fd = ::open(temporary.c_str(), O_RDONLY);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
  if (std::rename(temporary.c_str(), hostPath.c_str()) != 0) {
    int err = errno;
    std::remove(temporary.c_str());
    throw ToolError(hostPath + ": " + std::strerror(err));
  }
}

void DiscardFile(const std::string& temporary) {
  std::remove(temporary.c_str());
}

void WriteFileWhole(const std::string& hostPath, const std::string& contents) {
  std::string temporary = TemporaryNameBeside(hostPath);
  FILE* f = std::fopen(temporary.c_str(), "wb");
  if (f == nullptr) throw ToolError(hostPath + ": " + std::strerror(errno));
  bool ok = std::fwrite(contents.data(), 1, contents.size(), f) == contents.size();
  ok = std::fclose(f) == 0 && ok;
  if (!ok) {
    DiscardFile(temporary);
    throw ToolError(hostPath + ": write error");
  }
  CommitFile(temporary, hostPath);
}
