// The suite's error log and time-stamped named logs.
//
// Both are opened without sharing (create, keep, write), so a second writer that comes while the
// file is open loses its entry rather than interleaving with the first. A write that fails after
// the open (a full disk) loses the entry too and is never passed to the host as an exception:
// logging must not bring an application down.
#include <LyrUtil.h>

#include <cstring>
#include <ctime>
#ifndef _WIN32
#include <lyrcrt.h>  // the Microsoft C runtime's localtime_s
#endif

#include "files/file_removal.h"
#include "frame_state.h"

namespace {

constexpr UINT kLogOpenFlags = CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite;
constexpr ULONGLONG kNamedLogCapBytes = 500000;
// A named log's entry is built in a line of 512 bytes with its terminator.
constexpr size_t kLogLineBytes = 512;

// Appends the bytes at the end of the open file, flushes and closes. False when any of it failed.
bool AppendAndClose(CFile& file, const char* bytes, size_t size) {
  try {
    file.SeekToEnd();
    file.Write(bytes, static_cast<UINT>(size));
    file.Flush();
    file.Close();
    return true;
  } catch (CException* e) {
    e->Delete();
    file.Abort();
    return false;
  }
}

// "4-3-2026 9:5:7: text\n". A text too long for the line is cut so that the line still ends with
// its line feed and the next entry starts on a line of its own.
std::string NamedLogLine(const char* text) {
  time_t now = time(nullptr);
  struct tm local = {};
  localtime_s(&local, &now);
  char stamp[64];
  wsprintfA(stamp, "%d-%d-%d %d:%d:%d", local.tm_mday, local.tm_mon + 1, local.tm_year + 1900,
            local.tm_hour, local.tm_min, local.tm_sec);
  std::string line = std::string(stamp) + ": " + (text ? text : "");
  if (line.size() > kLogLineBytes - 2) line.resize(kLogLineBytes - 2);
  return line + "\n";
}

// Zero when the size cannot be read.
ULONGLONG FileSize(const char* path) {
  CFileStatus status;
  return CFile::GetStatus(path, status) ? status.m_size : 0;
}

}  // namespace

namespace lyrutil {

CString DataDirectory() {
  char directory[255];
  GetPrivateProfileStringA("Working Path", "WorkingDirectory", "c:\\tessera", directory,
                           sizeof directory, SuiteIniName());
  return directory;
}

}  // namespace lyrutil

void SendToErrorLog(char* text) {
  if (text == nullptr) return;
  CString path;
  path.Format("%s\\error.log", static_cast<const char*>(lyrutil::DataDirectory()));
  CFile file;
  if (!file.Open(path, kLogOpenFlags)) return;
  AppendAndClose(file, text, std::strlen(text));
}

// The cap starts a new file: a log over it is deleted before the entry is written. When the
// deletion fails the entry is appended all the same, once, so that nothing is lost and the
// function cannot loop; the log then stays over its cap until it can be deleted.
int WriteToLog(char* logPath, char* text) {
  if (logPath == nullptr) return -1;
  CFile file;
  if (!file.Open(logPath, kLogOpenFlags)) {
    // A read-only log cannot be opened for writing; over its cap it is started afresh anyway.
    if (FileSize(logPath) <= kNamedLogCapBytes) return -1;
    lyrutil::DeleteEvenReadOnly(logPath);
    if (!file.Open(logPath, kLogOpenFlags)) return -1;
  }
  CFileStatus status;
  if (file.GetStatus(status) && status.m_size > kNamedLogCapBytes) {
    file.Close();
    lyrutil::DeleteEvenReadOnly(logPath);
    if (!file.Open(logPath, kLogOpenFlags)) return -1;
  }
  std::string line = NamedLogLine(text);
  return AppendAndClose(file, line.data(), line.size()) ? 0 : -1;
}
