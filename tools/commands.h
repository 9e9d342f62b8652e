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
void AddPrintersCommand(CLI::App& app, Action& action);
void AddModuleCommand(CLI::App& app, Action& action);
void AddDemoCommand(CLI::App& app, Action& action, std::string& prefix);

// Exit statuses beyond 0 (done) and 1 (findings): 2 for an error, and for `audit append` 3 when
// the entry could not reach its log and waits, safe, in the backlog.
constexpr int kExitError = 2;
constexpr int kExitParked = 3;

struct AuditFilters;
// What WriteSelection wrote: nothing when no record matched (the target left as it was), else
// `records`; `uncertain` is how many records the log gained while it was exported, which the
// count may hold and the export not.
struct SelectionWritten {
  bool written = false;
  unsigned long records = 0;
  unsigned long uncertain = 0;
};
// The records of `log` that pass the filters, written to `to` ("-": standard output) as the
// suite's export text or as a new audit log (which never replaces a file). The file appears whole
// or not at all, and only when the log was read to its end. Throws ToolError.
SelectionWritten WriteSelection(const std::string& log, const std::string& to,
                                const AuditFilters& filters, bool exportText);

// The report of `audit verify` on `logs`: 0 when clean, 1 with findings.
// With `key` (hex), each log is also checked against its seals, MACs and epochs included; with
// `head`, it must still hold that head. A log with a seal file has its chain checked either way.
struct SealCheck {
  std::string key, head;
};
int RunVerify(const std::vector<std::string>& logs, bool json, std::ostream& out,
              const SealCheck& seal = {});

// Prints the text file as one page through CUtilPrintManager on `printer` (empty: the print
// dialog's choice), with the seal heads of `sealedLogs` at its end; warns on standard error of
// lines that do not fit. Returns the PDF file the
// installation's PDF printer wrote.
std::string PrintTextPage(const std::string& file, const std::string& printer,
                          const std::vector<std::string>& sealedLogs = {});

// The suite folder the installation's registry names; empty when the suite is not installed.
std::string SuiteFolder();

// Prints the audit report of `logs` (every record, no filter) on `printer`, as `audit print`
// does. Returns what the printer made of it (the PDF file, or the queue's job).
std::string PrintAuditReport(const std::vector<std::string>& logs, const std::string& printer);

#endif  // LYRUTIL_TOOLS_COMMANDS_H
