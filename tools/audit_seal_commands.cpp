// lyrutil audit seal: start sealing an installation's audit logs, say what seals, and give a
// log's head for a reviewer to write down.
#include "audit_commands.h"
#include "audit_files.h"
#include "log_seal.h"
#include "qr_text.h"
#include "time_text.h"
#include "tool_error.h"
#include "tool_runtime.h"

#include <algorithm>
#include <ctime>
#include <iostream>
#include <memory>
#include <unistd.h>

namespace {

void AddInit(CLI::App& seal, Action& action) {
  auto* init = seal.add_subcommand(
      "init", "start sealing: prints the verification key, to be kept off this machine");
  auto interval = std::make_shared<std::string>("15min");
  init->add_option("--interval", *interval,
                   "how long one key seals before the next replaces it (15min, 1h, ...)")
      ->capture_default_str();
  init->callback([=, &action] {
    action = [=] {
      int32_t seconds = 0;
      if (!ParseDurationText(*interval, &seconds))
        throw ToolError("--interval: cannot read \"" + *interval + "\" (15min, 1h, 900)");
      StartLibrary();
      lyrutil::SealVerificationKey key;
      std::string error;
      if (!lyrutil::StartSealing(static_cast<uint32_t>(seconds), std::time(nullptr), &key, &error))
        throw ToolError(error);
      std::cout << "Every audit record this installation appends is sealed from now on. The key\n"
                   "changes every "
                << *interval
                << " and the one before is erased, so whoever holds this machine\n"
                   "later cannot seal an earlier record again unseen.\n"
                   "Keep the verification key below OFF this machine (on paper, with the "
                   "reviewer):\n"
                   "`lyrutil audit verify LOG --key KEY` needs it to find forgery, and whoever "
                   "holds it\ncan forge seals.\n";
      // On a terminal also as a QR code, for a phone to read; the key stays the last line.
      std::string text = lyrutil::VerificationKeyText(key);
      if (::isatty(STDOUT_FILENO)) std::cout << QrText(text);
      std::cout << text << "\n";
      key.key.fill(0);
      std::fill(text.begin(), text.end(), '\0');
      return 0;
    };
  });
}

void AddStatus(CLI::App& seal, Action& action) {
  auto* status = seal.add_subcommand("status", "whether the installation seals, and which logs");
  auto logs = std::make_shared<std::vector<std::string>>();
  status->add_option("LOG", *logs, "audit logs whose seal files to look for");
  status->callback([=, &action] {
    action = [=] {
      StartLibrary();
      lyrutil::SealKeyState state;
      if (!lyrutil::ReadSealKeyState(&state)) {
        std::cout << "sealing: off (lyrutil audit seal init starts it)\n";
      } else {
        const int64_t now = std::time(nullptr);
        const int64_t epochNow = (now - state.start) / state.interval;
        std::cout << "sealing: on since " << LocalTimeText(static_cast<int32_t>(state.start))
                  << ", a key every " << state.interval << " s; epoch " << epochNow
                  << " now, the key kept is of epoch " << state.epoch << "\n";
      }
      for (const std::string& log : *logs) {
        RequireAuditLog(log);
        std::string head;
        const std::string dos = DosName(log);
        std::cout << log << ": "
                  << (lyrutil::SealHead(dos.c_str(), &head) ? "sealed, head " + head
                                                            : std::string("no seal file"))
                  << "\n";
      }
      return 0;
    };
  });
}

void AddHead(CLI::App& seal, Action& action) {
  auto* headCommand = seal.add_subcommand(
      "head", "the chain's head (records sealed and last chain value), to write down");
  auto log = std::make_shared<std::string>();
  headCommand->add_option("LOG", *log, "the audit log")->required();
  headCommand->callback([=, &action] {
    action = [=] {
      StartLibrary();
      RequireAuditLog(*log);
      std::string head;
      if (!lyrutil::SealHead(DosName(*log).c_str(), &head))
        throw ToolError(*log + ": no readable seal file beside it");
      std::cout << head << "\n";
      return 0;
    };
  });
}

}  // namespace

void AddSeal(CLI::App& audit, Action& action) {
  auto* seal = audit.add_subcommand("seal", "seal the installation's audit logs against tampering");
  seal->require_subcommand(1);
  AddInit(*seal, action);
  AddStatus(*seal, action);
  AddHead(*seal, action);
}
