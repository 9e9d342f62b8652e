// The subcommands of `lyrutil audit`, each adding itself to the `audit` command.
#ifndef LYRUTIL_TOOLS_AUDIT_COMMANDS_H
#define LYRUTIL_TOOLS_AUDIT_COMMANDS_H

#include "commands.h"

void AddShow(CLI::App& audit, Action& action);
void AddExportAndExtract(CLI::App& audit, Action& action);
void AddAppend(CLI::App& audit, Action& action);
void AddBacklog(CLI::App& audit, Action& action);
void AddVerify(CLI::App& audit, Action& action);
void AddStats(CLI::App& audit, Action& action);
void AddSeal(CLI::App& audit, Action& action);
void AddPrint(CLI::App& audit, Action& action);

#endif  // LYRUTIL_TOOLS_AUDIT_COMMANDS_H
