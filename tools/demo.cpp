// lyrutil demo: a sample installation and a working day in its audit trail, then the trail
// reviewed, exported and verified, each step said in a sentence. Leaves the files for the user.
#include "audit_files.h"
#include "audit_output.h"
#include "audit_reader.h"
#include "commands.h"
#include "log_seal.h"
#include "time_text.h"
#include "tool_error.h"

#include <LyrUtil.h>
#include <lyrhost.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <sys/wait.h>
#include <unistd.h>

void ShowInstallation(std::ostream& out);
bool SuiteInstalled();
void InstallSuite(const std::string& suite, const std::string& working);

namespace {

constexpr const char* kPdfPrinter = "LyrUtil PDF";  // the printer every installation has

struct DayAction {
  int minute;  // after 08:00
  const char* user;
  const char* system;
  const char* sample;
  const char* type;
  const char* what;
  const char* comment;
};

const DayAction kDay[] = {
    {0, "ALICE", "LC-1", "", "", "Logged on", ""},
    {4, "ALICE", "LC-1", "", "ISO", "Method caffeine.m3 opened", ""},
    {15, "ALICE", "LC-1", "", "ISO", "Method caffeine.m3 saved", "flow 1.2 mL/min"},
    {22, "BOB", "LC-2", "", "", "Logged on", ""},
    {30, "ALICE", "LC-1", "CAF-001", "ISO", "Sequence started", "calibration run"},
    {41, "BOB", "LC-2", "", "GRAD", "Method impurities.m3 opened", ""},
    {55, "BOB", "LC-2", "IMP-104", "GRAD", "Sample injected", ""},
    {95, "CAROL", "LC-1", "CAF-001", "ISO", "Result reviewed", "peaks integrated by hand"},
    {130, "BOB", "LC-2", "IMP-105", "GRAD", "Sample injected", ""},
    {185, "ALICE", "LC-1", "CAF-002", "ISO", "Sample injected", ""},
    {240, "CAROL", "LC-2", "IMP-104", "GRAD", "Result approved", "meets the limit"},
    {300, "BOB", "LC-2", "IMP-106", "GRAD", "Sample injected", "column changed before"},
    {360, "ALICE", "LC-1", "CAF-002", "ISO", "Result reviewed", ""},
    {420, "CAROL", "LC-1", "CAF-002", "ISO", "Result approved", ""},
    {480, "BOB", "LC-2", "", "", "Logged off", ""},
    {540, "ALICE", "LC-1", "", "", "Logged off", ""},
};

int32_t Today(int minutesAfterEight) {
  int32_t midnight;
  ParseTimeText("today", std::time(nullptr), &midnight);
  return midnight + (8 * 60 + minutesAfterEight) * 60;
}

void Record(const DayAction& a, const std::string& dosLog) {
  CLyrLog log;
  log.InitEntry();
  log.SetUsrId(a.user);
  log.SetAuthId(a.user);
  log.SetSysId(a.system);
  log.SetPrjId("QC-2026");
  log.SetSmpName(a.sample);
  log.SetSmpId(a.sample);
  log.SetMethType(a.type);
  log.SetSysMess(a.what);
  log.SetUsrMess(a.comment);
  log.SetTime(Today(a.minute));
  std::string name = dosLog;
  log.SetFile(&name[0]);
  log.FixLogMess(0);
}

// Another program holds the log open, without sharing, for `seconds`: a child process that
// opens it as the suite's own programs do. Returns once the log is held.
pid_t HoldLog(const std::string& dosLog, int seconds) {
  int ready[2];
  if (::pipe(ready) != 0) throw ToolError("cannot start the holding process");
  pid_t child = ::fork();
  if (child == 0) {
    ::close(ready[0]);
    HANDLE held = CreateFileA(dosLog.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              0, nullptr);
    char byte = held != INVALID_HANDLE_VALUE ? '1' : '0';
    if (::write(ready[1], &byte, 1) != 1) ::_exit(1);
    ::sleep(static_cast<unsigned>(seconds));
    ::_exit(0);
  }
  ::close(ready[1]);
  char byte = '0';
  if (child < 0 || ::read(ready[0], &byte, 1) != 1 || byte != '1')
    throw ToolError("cannot start the holding process");
  ::close(ready[0]);
  return child;
}

std::string Say(const std::string& sentence) {
  return "\n== " + sentence + "\n";
}

std::string HostOf(const std::string& dos) {
  std::string host;
  LyrDosToHostPath(dos.c_str(), &host);
  return host;
}

}  // namespace

void AddDemoCommand(CLI::App& app, Action& action, std::string& prefix) {
  auto* demo = app.add_subcommand("demo", "a sample installation and a working day, reviewed");
  demo->callback([&action, &prefix] {
    action = [&prefix] {
      if (prefix.empty()) {
        char folder[] = "/tmp/lyrutil-demo.XXXXXX";
        if (::mkdtemp(folder) == nullptr) throw ToolError("cannot make a folder in /tmp");
        prefix = folder;
        if (!LyrSetPrefix(folder)) throw ToolError(prefix + ": cannot be used");
      } else if (SuiteInstalled() || ::access(HostOf("C:\\Tessera").c_str(), F_OK) == 0) {
        // The demo invents a working day: never in the logs of a real installation.
        throw ToolError(prefix +
                        ": holds an installation already; the demo makes its own, in a new "
                        "folder (leave out --prefix)");
      }
      std::cout << Say("A fresh installation in " + prefix +
                       ", made as the suite's installer makes it:");
      InstallSuite("C:\\Tessera", "C:\\Tessera\\Work");
      ShowInstallation(std::cout);

      // Sealed from the first record on; the key goes to a file of its own, which in real use
      // leaves the machine.
      lyrutil::SealVerificationKey key;
      std::string sealError;
      if (!lyrutil::StartSealing(15 * 60, std::time(nullptr), &key, &sealError))
        throw ToolError("sealing: " + sealError);
      const std::string keyFile = prefix + "/verification-key.txt";
      std::ofstream(keyFile) << lyrutil::VerificationKeyText(key) << "\n";
      std::cout << Say(
          "Sealed (lyrutil audit seal init): every record appended from now on is"
          " sealed beside its log; the key changes every 15 minutes and the old one"
          " is erased. The verification key went to " +
          keyFile + " (in real use: on paper, off this machine).");

      const std::string lc1 = "C:\\Tessera\\Work\\Audit\\LC-1.log";
      const std::string lc2 = "C:\\Tessera\\Work\\Audit\\LC-2.log";
      std::cout << Say(
          "A working day: ALICE, BOB and CAROL on systems LC-1 and LC-2, each action"
          " appended to its system's audit log and flushed to disk.");
      size_t n = sizeof kDay / sizeof kDay[0];
      for (size_t i = 0; i < n; ++i) {
        if (i == 9) {
          std::cout << "   At 10:05 another program holds LC-2.log; BOB's injection waits about"
                       " five seconds for it, then parks in the backlog...\n";
          pid_t holder = HoldLog(lc2, 6);
          Record({125, "BOB", "LC-2", "IMP-105", "GRAD", "Sample injected (while the log was held)",
                  "second injection"},
                 lc2);
          std::cout << "   parked: " << ReadBacklog().size() << " entry in "
                    << HostOf(std::string(GetWorkingDirectory()) + "\\error.blg") << "\n";
          ::waitpid(holder, nullptr, 0);
          std::cout << "   ...and the next action on LC-2 moves it into the log behind itself.\n";
        }
        const DayAction& a = kDay[i];
        Record(a, std::string(a.system) == "LC-1" ? lc1 : lc2);
      }
      std::cout << "   " << n + 1 << " actions recorded; backlog now holds " << ReadBacklog().size()
                << " entries.\n";

      std::vector<std::string> logs = {HostOf(lc1), HostOf(lc2)};
      std::cout << Say(
          "The whole day, the two logs merged by time, each in the order its records are stored: "
          "the"
          " entry that waited comes behind the later one that brought it in (lyrutil audit show):");
      WriteRecords(ReadMerged(logs, {}), OutputFormat::kText, std::cout);

      AuditFilters bob;
      bob.user = {"bob"};
      std::cout << Say(
          "Only BOB's actions; the filter matches whole text, case ignored "
          "(--user bob):");
      WriteRecords(ReadMerged(logs, bob), OutputFormat::kText, std::cout);

      AuditFilters morning;
      morning.since = Today(2 * 60);
      morning.until = Today(3 * 60);
      std::cout << Say(
          "From 10:00 to 11:00 (--since 10:00 --until 11:00): the entry that waited is stored"
          " after 12:00 and still found, since every record is tested on its own time:");
      WriteRecords(ReadMerged(logs, morning), OutputFormat::kText, std::cout);

      std::string folder = HostOf("C:\\Tessera\\Work\\Audit");
      std::cout << Say("Exported for other programs: the suite's export text, CSV and JSON:");
      {
        std::string text = folder + "/LC-1.txt";
        WriteSelection(logs[0], text, {}, true);
        std::ofstream csv(folder + "/day.csv");
        WriteRecords(ReadMerged(logs, {}), OutputFormat::kCsv, csv);
        std::ofstream json(folder + "/day.json");
        WriteRecords(ReadMerged(logs, {}), OutputFormat::kJson, json);
        std::cout << "   " << text << " (first line below)\n   " << folder << "/day.csv\n   "
                  << folder << "/day.json\n";
        std::ifstream in(text);
        std::string line;
        std::getline(in, line);
        std::cout << "   " << line << "\n";
      }

      {
        std::string page = folder + "/day.txt";
        std::ofstream text(page);
        WriteRecords(ReadMerged(logs, {}), OutputFormat::kText, text);
        text.close();
        std::cout << Say(
            "Printed for the reviewer's signature: the day's audit report on the installation's"
            " PDF printer (lyrutil audit print; --printer takes any queue of lyrutil printers):");
        std::cout << "   " << PrintAuditReport(logs, kPdfPrinter)
                  << "\n   every page headed and numbered, every field of each record, both logs'"
                     " seal heads and a signature block at its end, so the signed paper fixes how"
                     " far the logs went\n";
      }

      std::cout << Say(
          "Verified (lyrutil audit verify): every record whole, nothing left in the"
          " backlog. The entry that waited is in LC-2.log behind a later one,"
          " which verify reports as a record earlier than the one before:");
      SealCheck withKey;
      withKey.key = lyrutil::VerificationKeyText(key);
      RunVerify(logs, false, std::cout, withKey);

      {
        // A copy of LC-1.log with its fourth record taken out, as someone covering a mistake
        // would, and its seal file beside it.
        const std::string original = ReadWholeFile(logs[0]);
        const std::string copy = folder + "/LC-1-tampered.log";
        std::ofstream(copy, std::ios::binary) << original.substr(0, 3 * sizeof(LOG_ENTRY_STRUCT))
                                              << original.substr(4 * sizeof(LOG_ENTRY_STRUCT));
        std::ofstream(copy + ".seal", std::ios::binary) << ReadWholeFile(logs[0] + ".seal");
        std::cout << Say(
            "Tampered with: a copy of LC-1.log with its fourth record deleted."
            " Every record left is whole, yet verify --key finds the gap:");
        RunVerify({copy}, false, std::cout, withKey);
      }
      key.key.fill(0);

      std::string lyrutil = "lyrutil --prefix " + prefix;
      std::cout << Say("Try these on the demo's files:") << "   cd " << folder << "\n"
                << "   " << lyrutil << " audit show LC-1.log LC-2.log -r -n 5\n"
                << "   " << lyrutil << " audit show LC-2.log --user carol -o json\n"
                << "   " << lyrutil << " audit stats LC-1.log LC-2.log\n"
                << "   " << lyrutil << " audit verify LC-1.log --key $(cat " << keyFile << ")\n"
                << "   " << lyrutil << " audit seal head LC-1.log\n"
                << "   " << lyrutil
                << " audit append LC-1.log --user DAVE --system LC-1 --message \"checked\"\n"
                << "   " << lyrutil << " audit show LC-1.log -f     (Ctrl-C to stop)\n"
                << "   " << lyrutil << " audit export LC-1.log --to lc1.txt --since today\n"
                << "   " << lyrutil << " audit backlog\n"
                << "   " << lyrutil << " audit print LC-1.log LC-2.log --user carol --printer \""
                << kPdfPrinter << "\"\n"
                << "   " << lyrutil << " printers\n"
                << "   " << lyrutil << " print day.txt\n"
                << "   echo '1;2.5;3;4.5;5;6.5;7.5;8.5;9.5;10.5;0.5;12;13;14.5;15.5;16.5;17.5;18;"
                   "120000;P1;100000;-1500;T2;80;#Run7;' | lyrutil frame decode -\n";
      return 0;
    };
  });
}
