// The subcommands of lyrutil, each group added to the application by one function. A command's
// work is stored in `action` and run once the whole command line has been read and the prefix
// chosen; it returns the exit status (0 done, 1 findings) and throws ToolError on bad input.
#ifndef LYRUTIL_TOOLS_COMMANDS_H
#define LYRUTIL_TOOLS_COMMANDS_H

#include <CLI/CLI.hpp>

#include <functional>
#include <ostream>
#include <vector>
#include <string>

using Action = std::function<int()>;

void AddSetupCommands(CLI::App& app, Action& action);
void AddAuditCommands(CLI::App& app, Action& action);
void AddDataCommands(CLI::App& app, Action& action);
void AddBmpCommands(CLI::App& app, Action& action);
void AddPrintCommand(CLI::App& app, Action& action);
void AddModuleCommand(CLI::App& app, Action& action);
void AddDemoCommand(CLI::App& app, Action& action, std::string& prefix);

struct AuditFilters;
// The records of `log` that pass the filters, written to `to` as the suite's export text or as a
// new audit log; the file appears whole or not at all. Returns the records written.
unsigned long WriteSelection(const std::string& log, const std::string& to,
                             const AuditFilters& filters, bool exportText);

// The report of `audit verify` on `logs`: 0 when clean, 1 with findings.
int RunVerify(const std::vector<std::string>& logs, bool json, std::ostream& out);

// Prints the text file as one page through CUtilPrintManager on `printer` (empty: the print
// dialog's choice); warns on standard error of lines that do not fit. Returns the PDF file the
// installation's PDF printer wrote.
std::string PrintTextPage(const std::string& file, const std::string& printer);

// InitSystemGlobalParameters, once per process, as every host calls it before anything else.
void StartLibrary();

#endif  // LYRUTIL_TOOLS_COMMANDS_H
