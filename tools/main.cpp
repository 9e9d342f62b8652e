// lyrutil: the suite's utility library from a shell. An installation set up and shown, an audit
// trail reviewed, exported, verified and appended to, a method frame decoded, and a demo.
#include "commands.h"
#include "tool_error.h"
#include "tool_runtime.h"

#include <LyrUtil.h>
#include <lyrhost.h>

#include <iostream>

#ifndef LYRUTIL_VERSION
#define LYRUTIL_VERSION "0"
#endif

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
    std::cerr << "lyrutil: " << e.what() << " (lyrutil --help)\n";
    return 2;
  }
  try {
    if (!prefix.empty() && !LyrSetPrefix(prefix.c_str()))
      throw ToolError(prefix + ": cannot use this folder as the installation");
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
