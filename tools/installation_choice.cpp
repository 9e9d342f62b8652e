#include "installation_choice.h"

#include "tool_error.h"

#include <lyrhost.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace {

enum class Use { kMakes, kKeeps, kReads };

Use UseOf(const std::string& command) {
  static const std::set<std::string> makers = {"install", "demo"};
  static const std::set<std::string> readers = {"audit show",   "audit export", "audit extract",
                                                "audit verify", "audit stats",  "audit seal head",
                                                "frame",        "axis",         "number",
                                                "module",       "bmp"};
  if (makers.count(command)) return Use::kMakes;
  for (const std::string& reader : readers)
    if (command == reader || command.rfind(reader + " ", 0) == 0) return Use::kReads;
  return Use::kKeeps;
}

bool IsInstallation(const std::string& folder) {
  struct stat st;
  return ::stat((folder + "/system.reg").c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The user's scratch installation: in $XDG_RUNTIME_DIR, else in the temporary folder under a
// name with the user's id. A folder of that name that is not the user's own, private folder
// (another user's, a planted link) is refused.
std::string ScratchFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const char* tmp = std::getenv("TMPDIR");
  const std::string base = runtime && *runtime ? runtime : (tmp && *tmp ? tmp : "/tmp");
  const std::string folder = base + "/lyrutil-scratch-" + std::to_string(::getuid());
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
    throw ToolError(folder + ": " + std::strerror(errno));
  struct stat st;
  if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
      (st.st_mode & 077) != 0)
    throw ToolError(folder +
                    ": not a private folder of this user; remove it or name an "
                    "installation with --prefix");
  return folder;
}

void UseInstallation(const std::string& folder) {
  if (!LyrSetPrefix(folder.c_str()))
    throw ToolError(folder + ": cannot use this folder as the installation");
}

}  // namespace

void ChooseInstallation(const std::string& command, const std::string& prefixOption) {
  const Use use = UseOf(command);
  const char* environment = std::getenv("LYRUTIL_PREFIX");
  const bool named = !prefixOption.empty() || (environment && *environment);
  if (use == Use::kMakes) {
    // Without --prefix, install makes the default installation and the demo a folder of its own.
    if (!prefixOption.empty()) UseInstallation(prefixOption);
    return;
  }
  const std::string folder = prefixOption.empty() ? LyrDefaultPrefix() : prefixOption;
  if (IsInstallation(folder)) return UseInstallation(folder);
  if (named || use == Use::kKeeps)
    throw ToolError(folder + ": no installation here (lyrutil" +
                    (prefixOption.empty() ? std::string() : " --prefix " + prefixOption) +
                    " install makes one)");
  UseInstallation(ScratchFolder());
}
