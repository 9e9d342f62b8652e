// lyrutil audit verify and stats: what damage each log shows, and what it holds.
#include "audit_commands.h"
#include "audit_files.h"
#include "audit_output.h"
#include "audit_reader.h"
#include "log_seal.h"
#include "log_loads.h"
#include "text_encoding.h"
#include "time_text.h"
#include "tool_error.h"
#include "tool_runtime.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <ctime>
#include <stdexcept>
#include <cstring>
#include <iostream>
#include <map>
#include <memory>

namespace {

// A text of a record as read from its log, in UTF-8.
template <size_t N>
std::string Text(const char (&field)[N]) {
  return Cp1252ToUtf8(FieldOf(field).str());
}

// The records' own checks: times going back, text fields not ended inside them.
class RecordChecks {
 public:
  void Add(const LOG_ENTRY_STRUCT* records, size_t count) {
    for (size_t k = 0; k < count; ++k, ++index_) {
      const LOG_ENTRY_STRUCT& r = records[k];
      if (r.Time < previous_) ++outOfOrder_;
      previous_ = r.Time;
      if (UnterminatedFields(r)) {
        ++garbled_;
        if (garbledRecords_.size() < 20) garbledRecords_.push_back(index_);
      }
    }
  }
  void Report(nlohmann::json* report) const {
    (*report)["out_of_order"] = outOfOrder_;
    (*report)["unterminated_records"] = garbled_;
    (*report)["unterminated_record_indexes"] = garbledRecords_;
  }
  bool Clean() const { return outOfOrder_ == 0 && garbled_ == 0; }

 private:
  size_t index_ = 0;
  size_t outOfOrder_ = 0;
  size_t garbled_ = 0;
  nlohmann::json garbledRecords_ = nlohmann::json::array();
  int32_t previous_ = INT32_MIN;
};

// The seal's findings for one log, its records shown to `checks` on the way: none when it has no
// seal file and nothing asks for one (then `checks` saw nothing).
nlohmann::json CheckSeal(const std::string& hostPath, const SealCheck& check, RecordChecks* checks,
                         bool* checked) {
  *checked = false;
  lyrutil::SealVerificationKey key;
  const bool withKey = !check.key.empty();
  if (withKey && !lyrutil::VerificationKeyFromText(check.key, &key))
    throw ToolError(
        "--key: not a verification key (HEX/START-INTERVAL, the last line `audit seal init` "
        "printed)");
  const std::string dos = DosName(hostPath);
  const bool hasSeal = HostFileSize(hostPath + ".seal") > 0;
  if (!withKey && check.head.empty() && !hasSeal) return nullptr;
  lyrutil::SealReport report;
  try {
    report = lyrutil::VerifySeals(
        dos.c_str(), withKey ? &key : nullptr, check.head, std::time(nullptr),
        [checks](const LOG_ENTRY_STRUCT* records, size_t count) { checks->Add(records, count); });
  } catch (const std::runtime_error& e) {
    throw ToolError(hostPath + ": " + e.what());
  }
  key.key.fill(0);
  *checked = report.visitedAll;
  nlohmann::json seal;
  seal["sealed"] = report.sealed;
  seal["key_checked"] = withKey;
  seal["first_sealed_record"] = report.firstSealed;
  seal["sealed_records"] = report.sealEntries;
  seal["head"] = report.head;
  seal["findings"] = report.findings;
  return seal;
}

// What `verify` finds in one log: each count a kind of damage, 0 when whole. A sealed log is read
// once, its records checked as the seal's verification reads them.
nlohmann::json VerifyLog(const std::string& hostPath, const std::vector<BacklogRecord>& backlog,
                         const SealCheck& sealCheck) {
  const off_t size = RequireReadableFile(hostPath);
  const off_t recordBytes = sizeof(LOG_ENTRY_STRUCT);
  nlohmann::json report;
  report["log"] = HostPathText(hostPath);
  report["records"] = size / recordBytes;
  report["torn_tail_bytes"] = size % recordBytes;
  RecordChecks checks;
  bool checked = false;
  const nlohmann::json seal = CheckSeal(hostPath, sealCheck, &checks, &checked);
  if (!checked) {
    checks = RecordChecks();
    LogCursor cursor(hostPath, ReadOrder::kOldestFirst, TornTail::kLeftAside);
    for (const LOG_ENTRY_STRUCT* r; (r = cursor.Next()) != nullptr;) checks.Add(r, 1);
  }
  checks.Report(&report);
  std::string dos = DosName(hostPath);
  size_t parked = 0;
  for (const BacklogRecord& b : backlog)
    parked += b.intact && lstrcmpiA(b.record.LogFile, dos.c_str()) == 0;
  report["parked_in_backlog"] = parked;
  report["clean"] = report["torn_tail_bytes"] == 0 && checks.Clean() && parked == 0;
  if (!seal.is_null()) {
    report["seal"] = seal;
    if (!seal["findings"].empty()) report["clean"] = false;
  }
  return report;
}

}  // namespace

int RunVerify(const std::vector<std::string>& logs, bool json, std::ostream& out,
              const SealCheck& sealCheck) {
  std::vector<BacklogRecord> backlog = ReadBacklog();
  size_t torn = std::count_if(backlog.begin(), backlog.end(),
                              [](const BacklogRecord& b) { return !b.intact; });
  nlohmann::json all;
  all["logs"] = nlohmann::json::array();
  bool clean = torn == 0;
  for (const std::string& log : logs) {
    RequireReadableFile(log);
    nlohmann::json report = VerifyLog(log, backlog, sealCheck);
    clean = clean && report["clean"].get<bool>();
    all["logs"].push_back(report);
  }
  all["backlog_records_failing_seal"] = torn;
  all["clean"] = clean;
  if (json) {
    out << DumpJson(all, 2) << "\n";
    return clean ? 0 : 1;
  }
  for (const nlohmann::json& r : all["logs"]) {
    out << r["log"].get<std::string>() << ": " << r["records"] << " records";
    if (r.contains("seal")) {
      const nlohmann::json& seal = r["seal"];
      if (seal["sealed"].get<bool>())
        out << ", " << seal["sealed_records"] << " sealed"
            << (seal["key_checked"].get<bool>() ? " (seals checked with the key)"
                                                : " (chain checked; finding forgery needs --key)");
      if (seal["first_sealed_record"] != 0)
        out << ", the first " << seal["first_sealed_record"] << " written before sealing began";
    }
    if (r["clean"].get<bool>()) {
      out << ", whole\n";
      continue;
    }
    out << "\n";
    if (r.contains("seal"))
      for (const nlohmann::json& finding : r["seal"]["findings"])
        out << "  seal: " << finding.get<std::string>() << "\n";
    if (r["torn_tail_bytes"] != 0)
      out << "  torn tail: " << r["torn_tail_bytes"] << " bytes after the last record\n";
    if (r["out_of_order"] != 0)
      out << "  records earlier than the one before them: " << r["out_of_order"] << "\n";
    if (r["unterminated_records"] != 0)
      out << "  records with a text field not ended inside it: " << r["unterminated_records"]
          << " (first: record " << r["unterminated_record_indexes"][0] << ")\n";
    if (r["parked_in_backlog"] != 0)
      out << "  entries still parked in the backlog: " << r["parked_in_backlog"]
          << " (lyrutil audit backlog --flush)\n";
  }
  if (torn) out << "backlog records failing their seal: " << torn << "\n";
  return clean ? 0 : 1;
}

void AddVerify(CLI::App& audit, Action& action) {
  auto* verify = audit.add_subcommand(
      "verify", "check logs are whole: exit 0 when clean, 1 with findings, 2 on errors");
  auto logs = std::make_shared<std::vector<std::string>>();
  auto format = std::make_shared<std::string>("text");
  verify->add_option("LOG", *logs, "audit log files")->required();
  verify->add_option("-o,--output", *format, "text or json")
      ->check(CLI::IsMember({"text", "json"}));
  auto seal = std::make_shared<SealCheck>();
  verify->add_option("--key", seal->key,
                     "the verification key `audit seal init` printed: checks every seal");
  verify->add_option("--head", seal->head,
                     "a head `audit seal head` printed earlier, which the log must still hold");
  verify->callback([=, &action] {
    action = [=] {
      StartLibrary();
      return RunVerify(*logs, *format == "json", std::cout, *seal);
    };
  });
}

void AddStats(CLI::App& audit, Action& action) {
  auto* stats = audit.add_subcommand("stats", "counts per user, system and type, and the span");
  auto logs = std::make_shared<std::vector<std::string>>();
  auto format = std::make_shared<std::string>("text");
  stats->add_option("LOG", *logs, "audit log files")->required();
  stats->add_option("-o,--output", *format, "text or json")->check(CLI::IsMember({"text", "json"}));
  stats->callback([=, &action] {
    action = [=] {
      StartLibrary();
      MergedReader reader(*logs, AuditFilters{});
      size_t count = 0;
      int32_t first = INT32_MAX;
      int32_t last = INT32_MIN;
      std::map<std::string, size_t> users, systems, types;
      while (const LOG_ENTRY_STRUCT* record = reader.Next()) {
        const LOG_ENTRY_STRUCT& r = *record;
        ++count;
        first = std::min(first, r.Time);
        last = std::max(last, r.Time);
        ++users[Text(r.UsrId)];
        ++systems[Text(r.SysId)];
        ++types[Text(r.MethType)];
      }
      nlohmann::json s;
      s["records"] = count;
      if (count != 0) {
        s["first"] = IsoTimeText(first);
        s["last"] = IsoTimeText(last);
      }
      s["users"] = users;
      s["systems"] = systems;
      s["types"] = types;
      if (*format == "json") {
        std::cout << DumpJson(s, 2) << "\n";
        return 0;
      }
      std::cout << count << " records";
      if (count != 0)
        std::cout << " from " << LocalTimeText(first) << " to " << LocalTimeText(last);
      std::cout << "\n";
      for (const auto& [title, counts] :
           {std::pair<const char*, const std::map<std::string, size_t>*>{"users", &users},
            {"systems", &systems},
            {"types", &types}}) {
        std::cout << title << ":";
        for (const auto& [name, n] : *counts)
          std::cout << "  " << (name.empty() ? "-" : name) << " " << n;
        std::cout << "\n";
      }
      return 0;
    };
  });
}
