#include "audit_files.h"

#include "audit_reader.h"
#include "tool_error.h"

#include <lyrhost.h>

#include <algorithm>
#include <cctype>
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

// The names DOS keeps for devices, whatever their extension: "con.log" is the console.
bool IsDeviceName(const std::string& component) {
  std::string base = component.substr(0, component.find('.'));
  for (char& c : base) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  static const char* const kDevices[] = {"con", "prn", "aux", "nul", "clock$", "conin$", "conout$"};
  for (const char* device : kDevices)
    if (base == device) return true;
  return base.size() == 4 && (base.compare(0, 3, "com") == 0 || base.compare(0, 3, "lpt") == 0) &&
         base[3] >= '1' && base[3] <= '9';
}

// Why the suite could not name this component of a host path exactly; empty when it can.
std::string WhyNotADosName(const std::string& component) {
  for (unsigned char c : component) {
    if (c < 32) return "a control character";
    if (std::strchr("\\:*?\"<>|", c)) return std::string("the character ") + static_cast<char>(c);
  }
  if (component == "." || component == "..") return std::string();
  if (!component.empty() && (component.back() == '.' || component.back() == ' '))
    return "a name ending in a dot or a space";
  if (IsDeviceName(component)) return "the name of a DOS device";
  return std::string();
}

// The size of a file on a share, from its folder's listing: no open, so a writer holding it
// without sharing does not make it look unreadable. 0 or a Win32 error.
DWORD NetworkFileSize(const std::string& path, off_t* size) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return GetLastError();
  FindClose(search);
  if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return ERROR_DIRECTORY;
  *size =
      static_cast<off_t>((static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow);
  return 0;
}

// The first and the last record of a log on a share, read through the library's stand-in.
bool NetworkEndsReadAsRecords(const std::string& path, off_t records) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw ToolError(path + ": " + ErrorText(GetLastError()));
  bool readable = true;
  for (off_t index : {off_t{0}, records - 1}) {
    LOG_ENTRY_STRUCT r;
    const int64_t offset = index * static_cast<off_t>(sizeof r);
    LONG high = static_cast<LONG>(offset >> 32);
    DWORD done = 0;
    readable = readable &&
               SetFilePointer(file, static_cast<LONG>(offset), &high, FILE_BEGIN) !=
                   INVALID_SET_FILE_POINTER &&
               ReadFile(file, &r, sizeof r, &done, nullptr) && done == sizeof r &&
               UnterminatedFields(r) == 0;
  }
  CloseHandle(file);
  return readable;
}

}  // namespace

bool IsNetworkName(const std::string& path) {
  return path.size() >= 2 && (path[0] == '\\' || path[0] == '/') &&
         (path[1] == '\\' || path[1] == '/');
}

std::string DosName(const std::string& hostPath) {
  if (IsNetworkName(hostPath)) {
    std::string dos = hostPath;
    std::replace(dos.begin(), dos.end(), '/', '\\');
    if (dos.size() >= MAX_PATH) throw ToolError(hostPath + ": the path is too long for the suite");
    return dos;
  }
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
  for (size_t at = 1; at < full.size();) {
    const size_t slash = std::min(full.find('/', at), full.size());
    const std::string why = WhyNotADosName(full.substr(at, slash - at));
    if (!why.empty())
      throw ToolError(hostPath + ": the suite cannot name this file (" + why + " in \"" +
                      full.substr(at, slash - at) + "\")");
    at = slash + 1;
  }
  std::string dos = "Z:" + full;
  for (char& c : dos) {
    if (c == '/') c = '\\';
  }
  if (dos.size() >= MAX_PATH) throw ToolError(hostPath + ": the path is too long for the suite");
  return dos;
}

bool SameHostFile(const std::string& a, const std::string& b) {
  if (IsNetworkName(a) || IsNetworkName(b)) {
    char fullA[MAX_PATH], fullB[MAX_PATH];
    return IsNetworkName(a) && IsNetworkName(b) &&
           GetFullPathNameA(a.c_str(), MAX_PATH, fullA, nullptr) != 0 &&
           GetFullPathNameA(b.c_str(), MAX_PATH, fullB, nullptr) != 0 &&
           CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, fullA, -1, fullB, -1) ==
               CSTR_EQUAL;
  }
  struct stat sa, sb;
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

off_t RequireReadableFile(const std::string& hostPath) {
  if (IsNetworkName(hostPath)) {
    off_t size = 0;
    const DWORD error = NetworkFileSize(hostPath, &size);
    if (error == ERROR_DIRECTORY) throw ToolError(hostPath + ": not a file");
    if (error != 0) throw ToolError(hostPath + ": " + ErrorText(error));
    return size;
  }
  struct stat st;
  if (::stat(hostPath.c_str(), &st) != 0) throw ToolError(hostPath + ": " + std::strerror(errno));
  if (!S_ISREG(st.st_mode)) throw ToolError(hostPath + ": not a file");
  const int fd = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) throw ToolError(hostPath + ": " + std::strerror(errno));
  ::close(fd);
  return st.st_size;
}

off_t RequireAuditLog(const std::string& hostPath) {
  const off_t size = RequireReadableFile(hostPath);
  if (size % static_cast<off_t>(sizeof(LOG_ENTRY_STRUCT)) != 0)
    throw ToolError(hostPath + ": not an audit log (its size, " + std::to_string(size) +
                    " bytes, is no multiple of the 1216-byte record)");
  return size;
}

int UnterminatedFields(const LOG_ENTRY_STRUCT& r) {
  // A field the suite wrote is padded with zeros, so its last byte settles it at once.
  const auto unterminated = [](const char* field, size_t size) {
    return field[size - 1] != '\0' && std::memchr(field, '\0', size - 1) == nullptr ? 1 : 0;
  };
#define LYR_FIELD(name) unterminated(r.name, sizeof r.name)
  return LYR_FIELD(UsrId) + LYR_FIELD(AuthId) + LYR_FIELD(SysId) + LYR_FIELD(PrjId) +
         LYR_FIELD(SmpId) + LYR_FIELD(SmpName) + LYR_FIELD(ARName) + LYR_FIELD(MethName) +
         LYR_FIELD(MethType) + LYR_FIELD(SysMess) + LYR_FIELD(UsrMess);
#undef LYR_FIELD
}

void RequireAppendableLog(const std::string& hostPath) {
  if (IsNetworkName(hostPath)) {
    // A server out of reach is no reason to refuse: the library parks the entry in the
    // backlog, and it moves in once the server is back.
    off_t size = 0;
    switch (NetworkFileSize(hostPath, &size)) {
      case ERROR_FILE_NOT_FOUND:
      case ERROR_BAD_NETPATH:
      case ERROR_NETNAME_DELETED:
      case ERROR_UNEXP_NET_ERR:
      case ERROR_SEM_TIMEOUT:
        return;
      default:
        break;
    }
  } else if (::access(hostPath.c_str(), F_OK) != 0 && errno == ENOENT) {
    return;
  }
  const off_t records = RequireAuditLog(hostPath) / static_cast<off_t>(sizeof(LOG_ENTRY_STRUCT));
  if (records == 0) return;
  if (IsNetworkName(hostPath)) {
    if (!NetworkEndsReadAsRecords(hostPath, records))
      throw ToolError(hostPath + ": not an audit log (its records do not read as records)");
    return;
  }
  const int fd = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw ToolError(hostPath + ": " + std::strerror(errno));
  bool readable = true;
  for (off_t index : {off_t{0}, records - 1}) {
    LOG_ENTRY_STRUCT r;
    const ssize_t n = ::pread(fd, &r, sizeof r, index * static_cast<off_t>(sizeof r));
    readable = readable && n == static_cast<ssize_t>(sizeof r) && UnterminatedFields(r) == 0;
  }
  ::close(fd);
  if (!readable)
    throw ToolError(hostPath + ": not an audit log (its records do not read as records)");
}

std::string ReadWholeFile(const std::string& hostPath, size_t maxBytes) {
  int fd = STDIN_FILENO;
  if (hostPath != "-") {
    RequireReadableFile(hostPath);
    fd = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw ToolError(hostPath + ": " + std::strerror(errno));
  }
  const std::string name = hostPath == "-" ? "standard input" : hostPath;
  std::string contents;
  char buffer[65536];
  int error = 0;
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) error = errno;
    if (n <= 0) break;
    if (contents.size() + static_cast<size_t>(n) > maxBytes) {
      if (fd != STDIN_FILENO) ::close(fd);
      throw ToolError(name + ": too large (over " + std::to_string(maxBytes) + " bytes)");
    }
    contents.append(buffer, static_cast<size_t>(n));
  }
  if (fd != STDIN_FILENO) ::close(fd);
  if (error != 0) throw ToolError(name + ": " + std::strerror(error));
  return contents;
}

// Read through the library's own file calls, so that a working directory on a share is read as
// the library writes it, and an append that holds the backlog a moment is waited for. A backlog
// that is there but cannot be read is an error, never an empty backlog.
std::vector<BacklogRecord> ReadBacklog() {
  std::vector<BacklogRecord> records;
  std::string dos = std::string(GetWorkingDirectory()) + "\\error.blg";
  if (GetFileAttributesA(dos.c_str()) == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return records;
    throw ToolError(dos + ": " + ErrorText(error));
  }
  CFile file;
  if (LyrOpenFile(&file, &dos[0], CFile::modeRead | CFile::shareDenyWrite) != 0)
    throw ToolError(dos + ": cannot be read: " + LastFileFailureText());
  std::string bytes;
  try {
    bytes.resize(static_cast<size_t>(file.GetLength()));
    size_t done = 0;
    while (done < bytes.size()) {
      const UINT got = file.Read(&bytes[done], static_cast<UINT>(bytes.size() - done));
      if (got == 0) break;
      done += got;
    }
    bytes.resize(done);
    file.Close();
  } catch (CFileException* e) {
    const DWORD error = static_cast<DWORD>(e->m_lOsError);
    e->Delete();
    file.Abort();
    throw ToolError(dos + ": could not be read to its end: " + ErrorText(error));
  }
  for (size_t at = 0; at + sizeof(LOG_BACKLOG_STRUCT) <= bytes.size();
       at += sizeof(LOG_BACKLOG_STRUCT)) {
    BacklogRecord r;
    std::memcpy(&r.record, bytes.data() + at, sizeof r.record);
    r.intact = SealHolds(r.record);
    records.push_back(r);
  }
  return records;
}

off_t HostFileSize(const std::string& hostPath) {
  off_t size = 0;
  if (IsNetworkName(hostPath)) return NetworkFileSize(hostPath, &size) == 0 ? size : 0;
  struct stat st;
  return ::stat(hostPath.c_str(), &st) == 0 ? st.st_size : 0;
}

off_t RecordsInLog(const std::string& hostPath) {
  return HostFileSize(hostPath) / static_cast<off_t>(sizeof(LOG_ENTRY_STRUCT));
}
