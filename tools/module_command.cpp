// lyrutil module lookup: the row of the module range table that the library hands a suite
// application for one module of the instrument's profile (GetRangeValue).
#include "audit_files.h"
#include "commands.h"
#include "output_file.h"
#include "text_encoding.h"
#include "tool_error.h"
#include "tool_runtime.h"

#include <LyrUtil.h>
#include <lyrhost.h>

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <cstring>
#include <ftw.h>
#include <iostream>
#include <memory>
#include <unistd.h>

void InstallSuite(const std::string& suite, const std::string& working);

namespace {

// A module table has a row per module of the instrument: a few kilobytes. Larger is not one.
constexpr size_t kMaxTableBytes = 16 * 1024 * 1024;

// GetRangeValue leaves the record alone when no row fits; no row names a module so.
constexpr char kNoFit[] = "\x01";

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
  return ::remove(path);
}

// A throw-away installation whose working directory holds a copy of `table` as its
// "\module.csv", so that the library looks the module up in that table exactly as in the
// installation's own. Removed with the object.
class ScratchInstallation {
 public:
  explicit ScratchInstallation(const std::string& table) {
    const std::string contents = ReadWholeFile(table, kMaxTableBytes);
    char folder[] = "/tmp/lyrutil-module.XXXXXX";
    if (::mkdtemp(folder) == nullptr) throw ToolError("cannot make a folder in /tmp");
    folder_ = folder;
    if (!LyrSetPrefix(folder)) throw ToolError(folder_ + ": cannot be used");
    InstallSuite("C:\\Tessera", "C:\\Tessera\\Work");
    std::string host;
    LyrDosToHostPath("C:\\Tessera\\Work\\module.csv", &host);
    WriteFileWhole(host, contents);
  }
  ~ScratchInstallation() { ::nftw(folder_.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS); }
  ScratchInstallation(const ScratchInstallation&) = delete;
  ScratchInstallation& operator=(const ScratchInstallation&) = delete;

 private:
  std::string folder_;
};

std::string TypeWord(char code) {
  switch (code) {
    case 'F':
      return "FIX";
    case 'V':
      return "VAR";
    case 'B':
      return "BF";
    default:
      return std::string();
  }
}

nlohmann::ordered_json Describe(const __RangeValue7400& row) {
  nlohmann::ordered_json out;
  out["module"] = Cp1252ToUtf8(row.szModuleName);
  out["value"] = row.dModuleValue;
  out["value3"] = row.dValue3;
  out["type"] = TypeWord(row.cType);
  out["values"] = nlohmann::json::array();
  for (double v : row.dValues) out["values"].push_back(v);
  return out;
}

struct LookupOptions {
  std::string name;
  double value = 0;
  std::string type = "FIX";
  std::string table;
  bool json = false;
};

int Lookup(const LookupOptions& o) {
  const std::string name = Utf8ToCp1252(o.name);
  const std::string type = Utf8ToCp1252(o.type);
  if (name.size() >= sizeof(__Q7400ProfileModule::szModuleName) ||
      type.size() >= sizeof(__Q7400ProfileModule::szType))
    throw ToolError("the module's name and type word take at most 15 characters");
  std::unique_ptr<ScratchInstallation> scratch;
  if (!o.table.empty()) {
    scratch = std::make_unique<ScratchInstallation>(o.table);
  }
  StartLibrary();
  if (!scratch) {
    // Where the library looks: the "Working Path" of the suite INI file, else c:\tessera.
    CString ini;
    GetLyraININame(ini);
    char folder[255] = {};
    GetPrivateProfileStringA("Working Path", "WorkingDirectory", "c:\\tessera", folder,
                             sizeof folder, ini);
    const std::string table = std::string(folder) + "\\module.csv";
    // Asked through the library's own file calls: the working directory may be on a share.
    if (GetFileAttributesA(table.c_str()) == INVALID_FILE_ATTRIBUTES)
      throw ToolError("the installation has no module table (" + table +
                      "); name one with --table");
  }
  __Q7400ProfileModule module = {};
  std::strcpy(module.szModuleName, name.c_str());
  module.dModuleValue = o.value;
  std::strcpy(module.szType, type.c_str());
  __RangeValue7400 row = {};
  std::strcpy(row.szModuleName, kNoFit);
  GetRangeValue(module, row);
  if (std::strcmp(row.szModuleName, kNoFit) == 0) {
    std::cerr << "lyrutil: no row of the table fits " << o.name << " " << o.value << " " << o.type
              << "\n";
    return 1;
  }
  const nlohmann::ordered_json described = Describe(row);
  if (o.json) {
    std::cout << DumpJson(described, 2) << "\n";
    return 0;
  }
  std::cout << "module: " << described["module"].get<std::string>()
            << "\nvalue: " << described["value"].dump()
            << "\nvalue 3: " << described["value3"].dump()
            << "\ntype: " << described["type"].get<std::string>() << "\nvalues 5 to 13:";
  for (const auto& v : described["values"]) std::cout << " " << v.dump();
  std::cout << "\n";
  return 0;
}

}  // namespace

void AddModuleCommand(CLI::App& app, Action& action) {
  auto* module = app.add_subcommand("module", "the instrument's module range table");
  module->require_subcommand(1);
  auto o = std::make_shared<LookupOptions>();
  auto* lookup = module->add_subcommand(
      "lookup", "the table's row for a module: the first that fits it, or the catch-all AUTRE");
  lookup->add_option("NAME", o->name, "the module's name (matched with case ignored)")->required();
  lookup->add_option("--value", o->value, "the module's value (matched exactly)")
      ->capture_default_str();
  lookup->add_option("--type", o->type, "FIX, VAR or BF (case ignored)")->capture_default_str();
  lookup->add_option("--table", o->table,
                     "a module table file to look in, instead of the installation's "
                     "\\module.csv in its working directory");
  auto format = std::make_shared<std::string>("text");
  lookup->add_option("-o,--output", *format, "text or json")
      ->check(CLI::IsMember({"text", "json"}));
  lookup->add_flag("--json", o->json, "as JSON: the same as -o json");
  lookup->callback([=, &action] {
    action = [=] {
      LookupOptions options = *o;
      options.json = options.json || *format == "json";
      return Lookup(options);
    };
  });
}
