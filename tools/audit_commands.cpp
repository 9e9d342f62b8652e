// lyrutil audit: show, export, extract, append, backlog, verify, stats, seal and print.
#include "audit_commands.h"

void AddAuditCommands(CLI::App& app, Action& action) {
  auto* audit = app.add_subcommand("audit", "review, export, verify and append to audit trails");
  audit->require_subcommand(1);
  AddShow(*audit, action);
  AddExportAndExtract(*audit, action);
  AddAppend(*audit, action);
  AddBacklog(*audit, action);
  AddVerify(*audit, action);
  AddStats(*audit, action);
  AddSeal(*audit, action);
  AddPrint(*audit, action);
}
