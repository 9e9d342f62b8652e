// Where a command writes its result: a regular file that appears whole or not at all, or
// standard output ("-"). The target is checked before any work, so that a refusal costs nothing
// and nothing but a regular file the user may write is ever replaced.
#ifndef LYRUTIL_TOOLS_OUTPUT_FILE_H
#define LYRUTIL_TOOLS_OUTPUT_FILE_H

#include <sys/types.h>

#include <string>

struct OutputTarget {
  std::string named;  // as the user wrote it, for messages
  std::string host;   // the file replaced: a symbolic link's target; empty for standard output
  bool exists = false;
  mode_t mode = 0;  // of the existing file, given to its replacement
  uid_t owner = 0;
  gid_t group = 0;

  bool IsStandardOutput() const { return host.empty(); }
};

enum class ExistingFile { kReplace, kRefuse };

// Checks `named` as an output: "-" is standard output; a symbolic link is followed to its target
// (a link to nothing is refused); an existing target must be a regular file with write
// permission (refused as well when `existing` is kRefuse); the folder must exist. Throws
// ToolError with the reason.
OutputTarget ResolveOutput(const std::string& named, ExistingFile existing);

// The file being written, in a private folder (mode 0700, a name no one can guess in advance)
// beside its target, so that a planted link or a file of the same name cannot redirect the
// write. The destructor removes the folder and whatever it holds unless Commit moved the file
// into place; SIGINT, SIGTERM and SIGHUP remove it too. A folder left by a killed run is swept
// by the next run that writes in the same folder. One at a time per process.
class PendingFile {
 public:
  explicit PendingFile(const OutputTarget& target);
  ~PendingFile();
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  // Where to write: a host path inside the private folder, not made yet.
  const std::string& Path() const { return file_; }
  bool Exists() const;
  long long Size() const;  // -1 when missing

  // Flushes the file to disk, gives it the replaced file's mode (and owner, as root), renames it
  // over the target and flushes the folder; for standard output, copies it there. Throws
  // ToolError; the target is then as it was.
  void Commit();

 private:
  OutputTarget target_;
  std::string folder_;
  std::string file_;
  bool committed_ = false;
};

// Writes `contents` to `hostPath` whole or not at all (checked as ResolveOutput does, existing
// files replaced). Throws ToolError.
void WriteFileWhole(const std::string& hostPath, const std::string& contents);

#endif  // LYRUTIL_TOOLS_OUTPUT_FILE_H
