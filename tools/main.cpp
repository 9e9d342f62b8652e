// lyrutil: the suite's utility library from a shell. An installation set up and shown, an audit
// trail reviewed, exported, verified and appended to, a method frame decoded, and a demo.
#include "commands.h"
#include "installation_choice.h"
#include "tool_error.h"
#include "tool_runtime.h"

#include <LyrUtil.h>
#include <lyrhost.h>

#include <iostream>

#ifndef LYRUTIL_VERSION
#define LYRUTIL_VERSION "0"
#endif

namespace {

// The command chosen, as its words: "audit show".
std::string ChosenCommand(const CLI::App& app) {
  std::string words;
  for (const CLI::App* at = &app;;) {
    const std::vector<CLI::App*> chosen = at->get_subcommands();
    if (chosen.empty()) return words;
    at = chosen.front();
    words += (words.empty() ? "" : " ") + at->get_name();
  }
}

// A word where a command is expected that names none ("lyrutil audit shwo"): CLI11 would only
// say that a command is required. Empty when every command word is known.
std::string UnknownCommandMessage(CLI::App& app, int argc, char** argv) {
  CLI::App* at = &app;
  std::string path = "lyrutil";
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word == "--prefix") {
      ++i;  // its value
      continue;
    }
    if (word.empty() || word[0] == '-') continue;
    if (at->get_subcommands([](const CLI::App*) { return true; }).empty()) return std::string();
    CLI::App* next = nullptr;
    for (CLI::App* command : at->get_subcommands([](const CLI::App*) { return true; }))
      if (command->check_name(word)) next = command;
    if (next == nullptr)
      return "unknown command '" + word + "' (" + path + " --help lists the commands)";
    at = next;
    path += " " + word;
  }
  return std::string();
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"lyrutil: the suite's installation, audit trail and instrument data from a shell"};
  app.name("lyrutil");
  app.set_version_flag("--version", "lyrutil " LYRUTIL_VERSION);
  app.require_subcommand(1);
  std::string prefix;
  app.add_option("--prefix", prefix,
                 "the installation folder (else $LYRUTIL_PREFIX, else ~/.lyrutil)");
  Action action;
  AddSetupCommands(app, action);
  AddAuditCommands(app, action);
  AddDataCommands(app, action);
  AddModuleCommand(app, action);
  AddBmpCommands(app, action);
  AddPrintCommand(app, action);
  AddPrintersCommand(app, action);
  AddDemoCommand(app, action, prefix);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    const std::string unknown = UnknownCommandMessage(app, argc, argv);
    std::cerr << "lyrutil: "
              << (unknown.empty() ? e.what() + std::string(" (lyrutil --help)") : unknown) << "\n";
    return 2;
  }
  try {
    ChooseInstallation(ChosenCommand(app), prefix);
    const int status = action ? action() : 0;
    FlushStandardOutput();
    return status;
  } catch (const ToolError& e) {
    std::cout.flush();
    std::cerr << "lyrutil: " << e.what() << "\n";
    return kExitError;
  } catch (CException* e) {
    char message[256] = "";
    e->GetErrorMessage(message, sizeof message);
    e->Delete();
    std::cerr << "lyrutil: " << (message[0] ? message : "a file error") << "\n";
    return kExitError;
  }
}
