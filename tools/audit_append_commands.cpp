// lyrutil audit append and backlog: one audited action made as a suite application makes it, and
// the entries parked in the backlog listed or moved into their logs.
#include "audit_commands.h"
#include "audit_files.h"
#include "audit_output.h"
#include "audit_reader.h"
#include "text_encoding.h"
#include "time_text.h"
#include "tool_error.h"
#include "tool_runtime.h"

#include <lyrhost.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <iostream>
#include <map>
#include <memory>

// One audited action through CLyrLog, exactly as a suite application makes it.
namespace {

// A text as the record will hold it (code page 1252, cut to its field), and what that changed,
// for the user to hear of: an audit entry must not differ silently from what was typed.
class EntryTexts {
 public:
  template <size_t N>
  std::string Fit(const char* option, const std::string& utf8, const char (&)[N]) {
    std::string text = Utf8ToCp1252(utf8);
    if (Cp1252ToUtf8(text) != utf8)
      changes_.push_back(std::string(option) +
                         ": characters code page 1252 lacks were written as '?'");
    if (text.size() > N - 1) {
      changes_.push_back(std::string(option) + ": cut from " + std::to_string(text.size()) +
                         " to " + std::to_string(N - 1) + " characters, the field's size");
      text.resize(N - 1);
    }
    return text;
  }
  void Note(const std::string& change) { changes_.push_back(change); }
  // Warns of each change on standard error, or with `strict` refuses the entry.
  void Report(bool strict) const {
    if (changes_.empty()) return;
    if (strict) {
      std::string all;
      for (const std::string& change : changes_) all += (all.empty() ? "" : "; ") + change;
      throw ToolError(all + " (--strict: nothing recorded)");
    }
    for (const std::string& change : changes_) std::cerr << "lyrutil: warning: " << change << "\n";
  }

 private:
  std::vector<std::string> changes_;
};

}  // namespace

void AddAppend(CLI::App& audit, Action& action) {
  auto* append = audit.add_subcommand("append", "record one audited action");
  struct Fields {
    std::string log, user, message, systemMessage, author, system, project, sampleId, sample, ar,
        method, type, channel, time;
  };
  auto f = std::make_shared<Fields>();
  append->add_option("LOG", f->log, "the audit log (made if need be, in a folder that exists)")
      ->required();
  append->add_option("--user", f->user, "who acted")->required();
  append->add_option("--message", f->message, "the user's comment")->required();
  append->add_option("--system-message", f->systemMessage, "what the system did");
  append->add_option("--author", f->author, "on whose behalf");
  append->add_option("--system", f->system, "the system id");
  append->add_option("--project", f->project, "the project id");
  append->add_option("--sample-id", f->sampleId, "the sample id");
  append->add_option("--sample", f->sample, "the sample name");
  append->add_option("--ar", f->ar, "the analysis report");
  append->add_option("--method", f->method, "the method name");
  append->add_option("--type", f->type, "the method type");
  append->add_option("--channel", f->channel, "the channel, one character");
  append->add_option("--time", f->time, "when (read as --since of show; default now)");
  auto strict = std::make_shared<bool>(false);
  append->add_flag("--strict", *strict,
                   "refuse the entry when a text would be cut or changed, instead of warning");
  append->callback([=, &action] {
    action = [=] {
      StartLibrary();
      const LOG_ENTRY_STRUCT record{};
      EntryTexts texts;
      const std::string channel = texts.Fit("--channel", f->channel, "x");
      if (Utf8ToCp1252(f->channel).size() > 1) throw ToolError("--channel: one character");
      if (f->user.empty()) texts.Note("--user: empty; the entry names no one");
      const std::string user = texts.Fit("--user", f->user, record.UsrId);
      const std::string author =
          f->author.empty() ? user : texts.Fit("--author", f->author, record.AuthId);
      const std::string system = texts.Fit("--system", f->system, record.SysId);
      const std::string project = texts.Fit("--project", f->project, record.PrjId);
      const std::string sampleId = texts.Fit("--sample-id", f->sampleId, record.SmpId);
      const std::string sample = texts.Fit("--sample", f->sample, record.SmpName);
      const std::string ar = texts.Fit("--ar", f->ar, record.ARName);
      const std::string method = texts.Fit("--method", f->method, record.MethName);
      const std::string type = texts.Fit("--type", f->type, record.MethType);
      const std::string systemMessage =
          texts.Fit("--system-message", f->systemMessage, record.SysMess);
      const std::string message = texts.Fit("--message", f->message, record.UsrMess);
      int32_t when = 0;
      std::string timeNote;
      if (!f->time.empty() &&
          !ParseTimeText(f->time, std::time(nullptr), TimeBound::kStart, &when, &timeNote))
        throw ToolError("--time: cannot read \"" + f->time + "\"");
      if (!timeNote.empty()) texts.Note("--time: " + timeNote);
      RequireAppendableLog(f->log);
      std::string dos = DosName(f->log);
      texts.Report(*strict);
      size_t parkedBefore = ReadBacklog().size();
      CLyrLog log;
      log.InitEntry();
      log.SetUsrId(user.c_str());
      log.SetAuthId(author.c_str());
      if (!f->system.empty()) log.SetSysId(system.c_str());
      if (!f->project.empty()) log.SetPrjId(project.c_str());
      if (!f->sampleId.empty()) log.SetSmpId(sampleId.c_str());
      if (!f->sample.empty()) log.SetSmpName(sample.c_str());
      if (!f->ar.empty()) log.SetARName(ar.c_str());
      if (!f->method.empty()) log.SetMethName(method.c_str());
      if (!f->type.empty()) log.SetMethType(type.c_str());
      if (!channel.empty()) log.SetChannel(channel[0]);
      if (!f->systemMessage.empty()) log.SetSysMess(systemMessage.c_str());
      log.SetUsrMess(message.c_str());
      if (!f->time.empty()) log.SetTime(when);
      log.SetFile(&dos[0]);
      log.FixLogMess(0);
      if (ReadBacklog().size() > parkedBefore) {
        std::cerr << f->log
                  << ": could not be written; the entry is safe in the backlog and moves into the "
                     "log with its next append (lyrutil audit backlog --flush)\n";
        return kExitParked;
      }
      std::cerr << "recorded\n";
      return 0;
    };
  });
}

namespace {

bool SameEntry(const LOG_ENTRY_STRUCT& a, const LOG_ENTRY_STRUCT& b) {
  auto same = [](const char* x, const char* y, size_t n) { return strncmp(x, y, n) == 0; };
  return a.Time == b.Time && a.Channel == b.Channel && same(a.UsrId, b.UsrId, 16) &&
         same(a.AuthId, b.AuthId, 16) && same(a.SysId, b.SysId, 16) && same(a.PrjId, b.PrjId, 16) &&
         same(a.SmpId, b.SmpId, 16) && same(a.SmpName, b.SmpName, 64) &&
         same(a.ARName, b.ARName, 260) && same(a.MethName, b.MethName, 260) &&
         same(a.MethType, b.MethType, 32) && same(a.SysMess, b.SysMess, 256) &&
         same(a.UsrMess, b.UsrMess, 259);
}

// Takes the flush's own record back out of the backlog when the log refused it too, so that a
// failed flush leaves the backlog as it was. Only the last record, and only when it is that one:
// anything parked after it by others stays.
void TakeBackParkedEntry(const std::string& logFile, const LOG_ENTRY_STRUCT& entry) {
  std::string backlog = std::string(GetWorkingDirectory()) + "\\error.blg";
  CFile file;
  if (LyrOpenFile(&file, &backlog[0], CFile::modeReadWrite | CFile::shareExclusive) != 0) return;
  try {
    const ULONGLONG length = file.GetLength();
    if (length >= sizeof(LOG_BACKLOG_STRUCT) && length % sizeof(LOG_BACKLOG_STRUCT) == 0) {
      LOG_BACKLOG_STRUCT last;
      file.Seek(static_cast<LONGLONG>(length - sizeof last), CFile::begin);
      if (file.Read(&last, sizeof last) == sizeof last &&
          lstrcmpiA(last.LogFile, logFile.c_str()) == 0 && SameEntry(last.Entry, entry))
        file.SetLength(length - sizeof last);
    }
    file.Close();
  } catch (CFileException* e) {
    e->Delete();
    file.Abort();
  }
}

// Records the move in `logFile`, which brings its parked entries in behind it. False when the
// log still refused the append (the record of the move is then taken back).
bool FlushInto(const std::string& logFile, size_t count, const std::string& user) {
  const size_t parkedBefore = ReadBacklog().size();
  CLyrLog log;
  log.InitEntry();
  log.SetUsrId(Utf8ToCp1252(user).c_str());
  log.SetAuthId(Utf8ToCp1252(user).c_str());
  log.SetSysMess(("Moved " + std::to_string(count) + " parked entries in").c_str());
  log.SetUsrMess("backlog flushed with lyrutil");
  std::string name = logFile;
  log.SetFile(&name[0]);
  log.FixLogMess(0);
  if (ReadBacklog().size() <= parkedBefore) return true;
  TakeBackParkedEntry(logFile, CopyEntry(log));
  return false;
}

}  // namespace

// Lists the parked entries; --flush moves them in by an audited action in each of their logs,
// since an append is what moves a log's parked entries behind it. Only into files that are audit
// logs: an entry naming anything else stays parked.
void AddBacklog(CLI::App& audit, Action& action) {
  auto* backlog = audit.add_subcommand("backlog", "entries waiting for their log");
  auto flush = std::make_shared<bool>(false);
  auto user = std::make_shared<std::string>("lyrutil");
  backlog->add_flag("--flush", *flush,
                    "move them into their logs, recording the move there as an action");
  backlog->add_option("--user", *user, "who flushes (recorded with the move)");
  backlog->callback([=, &action] {
    action = [=] {
      StartLibrary();
      std::vector<BacklogRecord> parked = ReadBacklog();
      std::map<std::string, size_t> perLog;
      for (const BacklogRecord& r : parked) {
        std::string logName = Cp1252ToUtf8(r.record.LogFile);
        if (!r.intact) {
          std::cout << "(torn record, fails its seal)\n";
          continue;
        }
        std::cout << logName << "  ";
        WriteRecordLine(r.record.Entry, OutputFormat::kText, std::cout);
        ++perLog[r.record.LogFile];
      }
      if (parked.empty()) std::cout << "the backlog is empty\n";
      if (!*flush) return 0;
      bool anyLeft = false;
      for (const auto& [logFile, count] : perLog) {
        const std::string shown = Cp1252ToUtf8(logFile);
        std::string host = logFile;  // a log on a share is named as the library names it
        if (!IsNetworkName(logFile) && !LyrDosToHostPath(logFile.c_str(), &host)) {
          std::cerr << shown << ": cannot be found; " << count << " entries stay parked\n";
          anyLeft = true;
          continue;
        }
        try {
          RequireAppendableLog(host);
        } catch (const ToolError& e) {
          std::cerr << e.what() << "; " << count << " entries stay parked\n";
          anyLeft = true;
          continue;
        }
        if (!FlushInto(logFile, count, *user)) {
          std::cerr << shown << ": still cannot be written; " << count << " entries stay parked\n";
          anyLeft = true;
        }
      }
      const size_t left = ReadBacklog().size();
      std::cerr << parked.size() - std::min(parked.size(), left) << " moved in, " << left
                << " still waiting\n";
      return anyLeft || left != 0 ? 1 : 0;
    };
  });
}
