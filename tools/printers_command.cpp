// lyrutil printers: the printers a suite application can print on, as the print dialog offers
// them (the default first): the print server's queues and the installation's PDF printer.
#include "audit_reader.h"
#include "commands.h"
#include "tool_error.h"
#include "tool_runtime.h"

#include <LyrUtil.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

std::string Text(const char* text) {
  return text != nullptr ? text : "";
}

std::string State(DWORD status) {
  if (status & PRINTER_STATUS_NOT_AVAILABLE) return "rejecting jobs";
  if (status & PRINTER_STATUS_PAUSED) return "stopped";
  if (status & PRINTER_STATUS_PRINTING) return "printing";
  return "idle";
}

// Where a printer's documents go: a queue of the print server, or PDF files in a folder.
std::string Source(const PRINTER_INFO_2A& printer) {
  if (printer.pServerName != nullptr) return "print server " + Text(printer.pServerName);
  return "PDF files (" + Text(printer.pPortName) + ")";
}

std::vector<PRINTER_INFO_2A> ListPrinters(std::vector<BYTE>* buffer) {
  DWORD needed = 0, count = 0;
  EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 2, nullptr, 0, &needed,
                &count);
  // The list may grow between the two calls; ask again with the size then needed.
  for (int attempt = 0; attempt < 3; ++attempt) {
    buffer->assign(needed, 0);
    if (EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 2, buffer->data(),
                      needed, &needed, &count)) {
      std::vector<PRINTER_INFO_2A> printers(count);
      std::memcpy(printers.data(), buffer->data(), count * sizeof(PRINTER_INFO_2A));
      return printers;
    }
  }
  throw ToolError("the printers could not be listed: " + ErrorText(GetLastError()));
}

int ShowPrinters(bool json) {
  StartLibrary();
  std::vector<BYTE> buffer;
  const std::vector<PRINTER_INFO_2A> printers = ListPrinters(&buffer);
  if (json) {
    nlohmann::ordered_json out = nlohmann::json::array();
    for (const PRINTER_INFO_2A& p : printers) {
      nlohmann::ordered_json row;
      row["name"] = Text(p.pPrinterName);
      row["default"] = (p.Attributes & PRINTER_ATTRIBUTE_DEFAULT) != 0;
      row["state"] = State(p.Status);
      row["source"] = p.pServerName != nullptr ? "print server" : "pdf";
      row["server"] = Text(p.pServerName);
      row["device"] = Text(p.pPortName);
      row["description"] = Text(p.pComment);
      row["location"] = Text(p.pLocation);
      row["model"] = Text(p.pDriverName);
      out.push_back(row);
    }
    std::cout << out.dump(2) << "\n";
    return 0;
  }
  size_t width = 4;
  for (const PRINTER_INFO_2A& p : printers) width = std::max(width, Text(p.pPrinterName).size());
  for (const PRINTER_INFO_2A& p : printers) {
    const std::string name = Text(p.pPrinterName);
    std::cout << ((p.Attributes & PRINTER_ATTRIBUTE_DEFAULT) ? "* " : "  ") << name
              << std::string(width - name.size() + 2, ' ') << State(p.Status)
              << std::string(16 - State(p.Status).size(), ' ') << Source(p) << "\n";
  }
  return 0;
}

}  // namespace

void AddPrintersCommand(CLI::App& app, Action& action) {
  auto* printers = app.add_subcommand(
      "printers", "the printers to print on (the default marked *): the print server's, and PDF");
  auto format = std::make_shared<std::string>("text");
  printers->add_option("-o,--output", *format, "text or json")
      ->check(CLI::IsMember({"text", "json"}));
  printers->callback([=, &action] { action = [=] { return ShowPrinters(*format == "json"); }; });
}
