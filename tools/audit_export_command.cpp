// lyrutil audit export and extract: the records that pass the filters as the suite's export
// text or as a new audit log, written whole or not at all.
#include "audit_commands.h"
#include "audit_files.h"
#include "audit_filter_options.h"
#include "audit_reader.h"
#include "output_file.h"
#include "progress_bar.h"
#include "tool_error.h"
#include "tool_runtime.h"

#include <algorithm>
#include <cstring>
#include <iostream>
#include <memory>

namespace {

// The records of `log` that pass the filters, counted by a navigation of the library's own, so
// that the count is of what the library exported.
unsigned long CountMatches(const std::string& log, const AuditFilters& filters) {
  std::string dos = DosName(log);
  CLyrLog reader;
  reader.SetFile(&dos[0]);
  ApplyFilters(filters, reader);
  unsigned long count = 0;
  for (bool more = StartNavigation(reader, log); more; more = NextRecord(reader, log)) ++count;
  return count;
}

std::string RecordsText(unsigned long count) {
  return std::to_string(count) + (count == 1 ? " record" : " records");
}

std::string WrittenText(const SelectionWritten& written, const std::string& to) {
  const std::string where = to == "-" ? "standard output" : to;
  if (!written.written) return "no record matched: " + where + " not written";
  if (written.uncertain == 0) return RecordsText(written.records) + " written to " + where;
  const unsigned long low = written.records - std::min(written.records, written.uncertain);
  return "between " + std::to_string(low) + " and " + RecordsText(written.records) +
         " written to " + where + " (the log gained " + RecordsText(written.uncertain) +
         " while it was read)";
}

}  // namespace

// The library writes the selection into a private folder beside the target; the file is renamed
// into place only once the navigation is known to have reached the end of the log. A navigation
// cut short by a failed load is run once more before the run fails, since the hold that stopped
// it may have been brief.
SelectionWritten WriteSelection(const std::string& log, const std::string& to,
                                const AuditFilters& filters, bool exportText) {
  RequireAuditLog(log);
  // The output replaces its file when whole; replacing the log it reads would lose the log.
  if (SameHostFile(log, to)) throw ToolError(to + ": is the log being read; write to another file");
  const OutputTarget target =
      ResolveOutput(to, exportText ? ExistingFile::kReplace : ExistingFile::kRefuse);
  std::string dosLog = DosName(log);
  for (int attempt = 0;; ++attempt) {
    const bool lastAttempt = attempt == 1;
    PendingFile pending(target);
    std::string dosOutput = DosName(pending.Path());
    const off_t recordsBefore = RecordsInLog(log);
    CLyrLog reader;
    reader.SetFile(&dosLog[0]);
    ApplyFilters(filters, reader);
    FileFailureWatch watch;
    unsigned long copied = 0;
    {
      ReadProgress progress(exportText ? "exporting" : "extracting", recordsBefore);
      if (exportText) {
        try {
          reader.ExportASCIILog(&dosOutput[0]);
        } catch (CException* e) {
          e->Delete();
          throw ToolError(to + ": cannot be written: " + LastFileFailureText());
        }
      } else {
        copied = reader.CreateTempLog(&dosOutput[0]);
      }
    }
    if (!pending.Exists()) {
      // Nothing written: no record matched, or the log (or the new file) could not be opened.
      if (!watch.Failed()) {
        RequireReadableFile(log);  // not removed meanwhile: the library reads that as empty
        return {};
      }
      if (!lastAttempt) continue;
      throw ToolError(log + ": cannot be read: " + LastFileFailureText());
    }
    // CreateTempLog answers 0 for a failure too, and leaves what it had written.
    if (!exportText &&
        (copied == 0 || pending.Size() != static_cast<long long>(copied) *
                                              static_cast<long long>(sizeof(LOG_ENTRY_STRUCT))))
      throw ToolError(to + ": cannot be written: " + LastFileFailureText());
    if (!NavigationReachedEnd(reader)) {
      if (!lastAttempt) continue;
      throw ToolError(log + ": could not be read to its end: " + LastFileFailureText());
    }
    SelectionWritten written;
    written.written = true;
    written.records = copied;
    if (exportText) {
      // The export's lines cannot be counted as records (a system message may hold line
      // breaks, a long line is cut with its line end): a second navigation counts them.
      written.records = CountMatches(log, filters);
      const off_t recordsAfter = RecordsInLog(log);
      written.uncertain = recordsAfter > recordsBefore
                              ? static_cast<unsigned long>(recordsAfter - recordsBefore)
                              : 0;
    }
    pending.Commit();
    return written;
  }
}

// export and extract: a library call writes the file in a private folder beside the target,
// renamed into place when it is whole.
void AddExportAndExtract(CLI::App& audit, Action& action) {
  for (bool isExport : {true, false}) {
    auto* command =
        audit.add_subcommand(isExport ? "export" : "extract",
                             isExport ? "the matching records as the suite's export text"
                                      : "the matching records as a new audit log");
    auto log = std::make_shared<std::string>();
    auto to = std::make_shared<std::string>();
    auto options = std::make_shared<FilterOptions>();
    command->add_option("LOG", *log, "the audit log")->required();
    command
        ->add_option("--to", *to,
                     isExport ? "the file to write or replace (- for standard output)"
                              : "the new file to write (- for standard output)")
        ->required();
    options->AddTo(command, FilterScope::kLibraryMasks);
    command->callback([=, &action] {
      action = [=] {
        StartLibrary();
        AuditFilters filters = options->Resolved();
        const SelectionWritten written = WriteSelection(*log, *to, filters, isExport);
        std::cerr << WrittenText(written, *to) << "\n";
        return 0;
      };
    });
  }
}
