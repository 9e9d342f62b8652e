// Which installation a command runs in. Only `install` and `demo` make installations; a command
// that keeps something in the installation (an audit entry, its backlog, a printed page) runs
// only in one that exists; a command that only reads files the user names (a log, a bitmap, a
// frame) runs, when no installation was named and the default one does not exist, in a scratch
// installation of the user's that is kept for such runs, so that it creates nothing in the home
// folder. A named installation that does not exist (a mistyped --prefix) is refused, not made.
#ifndef LYRUTIL_TOOLS_INSTALLATION_CHOICE_H
#define LYRUTIL_TOOLS_INSTALLATION_CHOICE_H

#include <string>

// Sets the installation for `command` ("audit show", "install", ...), given the --prefix option
// (empty when not given). Throws ToolError when the command cannot run where it would.
void ChooseInstallation(const std::string& command, const std::string& prefixOption);

#endif  // LYRUTIL_TOOLS_INSTALLATION_CHOICE_H
